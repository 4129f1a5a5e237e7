#include "source.hpp"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using source::StreamChange;

TEST(SourceLayout, StrideAndSampleSizeOfBothOutputs) {
  EXPECT_EQ(source::layout(true).stride, 1280u);
  EXPECT_EQ(source::layout(true).sample_size, 1382400u);
  EXPECT_EQ(source::layout(false).stride, 5120u);
  EXPECT_EQ(source::layout(false).sample_size, 3686400u);
}

TEST(SourceStateChange, EveryNewValueButRunningStopsTheStream) {
  struct Case {
    std::uint32_t current;
    std::uint32_t next;
    StreamChange change;
  };
  const Case cases[] = {
      {0, 0, StreamChange::none},    {2, 2, StreamChange::none},
      {1, 1, StreamChange::none},    {7, 7, StreamChange::none},
      {0, 2, StreamChange::started}, {1, 2, StreamChange::started},
      {7, 2, StreamChange::started}, {2, 0, StreamChange::stopped},
      {2, 1, StreamChange::stopped}, {0, 1, StreamChange::stopped},
      {1, 0, StreamChange::stopped}, {2, 7, StreamChange::stopped},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(source::state_change(c.current, c.next), c.change) << c.current << " -> " << c.next;
  }
}

}  // namespace
