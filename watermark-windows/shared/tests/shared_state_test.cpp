#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shared_state.hpp"

namespace {

using shared::SharedState;
using shared::Texts;

std::unique_ptr<SharedState> fresh_state() { return std::make_unique<SharedState>(); }

std::string repeat(std::string_view unit, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += unit;
  return out;
}

TEST(SharedStateLayout, FieldsLieWhereTheFileFormatPutsThem) {
  // The offsets are checked at compile time; here the byte order of the magic in memory.
  auto state = fresh_state();
  state->magic.store(shared::STATE_MAGIC);
  const auto* bytes = reinterpret_cast<const unsigned char*>(state.get());
  EXPECT_EQ(bytes[0], 0x4D);
  EXPECT_EQ(bytes[1], 0x57);
  EXPECT_EQ(bytes[2], 0x54);
  EXPECT_EQ(bytes[3], 0x56);
  EXPECT_EQ(reinterpret_cast<const unsigned char*>(&state->slot_text[3][0]) - bytes, 3228);
}

struct CutCase {
  const char* name;
  std::string text;
  std::size_t units;
  std::string expected;
};

class WideBufferCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(WideBufferCut, KeepsAtMostOneUnitLessThanTheBuffer) {
  const CutCase& c = GetParam();
  std::vector<char16_t> buffer(c.units, u'x');
  shared::to_wide(c.text, buffer);
  EXPECT_EQ(buffer.back(), 0);
  EXPECT_EQ(shared::from_wide(buffer), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WideBufferCut,
    ::testing::Values(
        CutCase{"TitleOf63Fits", repeat("a", 63), 64, repeat("a", 63)},
        CutCase{"TitleOf64Cut", repeat("a", 64), 64, repeat("a", 63)},
        CutCase{"TitleOf100Cut", repeat("b", 100), 64, repeat("b", 63)},
        CutCase{"SlotOf511Fits", repeat("c", 511), 512, repeat("c", 511)},
        CutCase{"SlotOf512Cut", repeat("c", 512), 512, repeat("c", 511)},
        // 62 units, then a pair of which only the high half fits.
        CutCase{"CutInsideSurrogatePair", repeat("d", 62) + "\xF0\x9F\x98\x80", 64,
                repeat("d", 62) + "\xEF\xBF\xBD"},
        CutCase{"PairThatFitsStaysWhole", repeat("d", 61) + "\xF0\x9F\x98\x80", 64,
                repeat("d", 61) + "\xF0\x9F\x98\x80"},
        CutCase{"Empty", "", 64, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WideBuffer, ReadsUpToFirstNulOrWhole) {
  std::vector<char16_t> full(64, u'z');
  EXPECT_EQ(shared::from_wide(full), repeat("z", 64));
  std::vector<char16_t> slot(512, u'y');
  EXPECT_EQ(shared::from_wide(slot), repeat("y", 512));
  const char16_t early[] = {u'h', u'i', 0, u'x', u'x'};
  EXPECT_EQ(shared::from_wide(early), "hi");
  const char16_t lone_low[] = {0xDC00, u'a', 0};
  EXPECT_EQ(shared::from_wide(lone_low), "\xEF\xBF\xBD" "a");
}

TEST(WriteText, SlotListsOfAnyLength) {
  const struct {
    std::vector<std::string> slots;
    std::array<std::string, 4> expected;
  } cases[] = {
      {{}, {"", "", "", ""}},
      {{"one"}, {"one", "", "", ""}},
      {{"a", "b", "c"}, {"a", "b", "c", ""}},
      {{"a", "b", "c", "d"}, {"a", "b", "c", "d"}},
      {{"a", "b", "c", "d", "e", "f"}, {"a", "b", "c", "d"}},
  };
  for (const auto& c : cases) {
    auto state = fresh_state();
    // Stale content must not survive a rewrite.
    const std::vector<std::string> old = {"old0", "old1", "old2", "old3"};
    state->write_text("before", old);
    state->write_text("title", c.slots);
    const Texts texts = state->read_text();
    EXPECT_EQ(texts.title, "title");
    EXPECT_EQ(texts.slots, c.expected) << c.slots.size() << " slots";
    for (std::size_t s = c.slots.size(); s < 4; ++s) {
      for (char16_t unit : state->slot_text[s]) ASSERT_EQ(unit, 0) << "slot " << s;
    }
  }
}

TEST(WriteText, EmptyTitleIsAllZeroAndEachWriteMovesCounterByTwo) {
  auto state = fresh_state();
  const std::vector<std::string> slots = {"x"};
  state->write_text("Brand", slots);
  state->write_text("", slots);
  for (char16_t unit : state->title) EXPECT_EQ(unit, 0);
  EXPECT_EQ(state->read_text().title, "");
  EXPECT_EQ(state->text_sequence.load(), 4u);
}

TEST(ReadText, CounterThatNeverSettlesGivesEmptyTextsAfterAllAttempts) {
  auto state = fresh_state();
  const std::vector<std::string> slots = {"cam0", "cam1"};
  state->write_text("Brand", slots);
  state->text_sequence.store(7);  // a writer stopped in the middle of a write
  int hints = 0;
  const Texts texts = state->read_text_with([&] { ++hints; });
  EXPECT_EQ(hints, shared::TEXT_COPY_ATTEMPTS);
  EXPECT_EQ(texts, Texts{});
  EXPECT_EQ(state->read_text(), Texts{});
}

// The counter is kept in state.bin, so a helper stopped inside a write leaves it odd for the
// next one. That helper's first write must make the texts readable again.
TEST(WriteText, LeavesTheCounterEvenWhateverItFound) {
  const struct {
    std::uint32_t found;
    std::uint32_t after;
  } cases[] = {{0, 2}, {6, 8}, {7, 8}, {0xFFFFFFFE, 0}, {0xFFFFFFFF, 0}};
  for (const auto& c : cases) {
    auto state = fresh_state();
    state->write_text("stale", std::vector<std::string>{"old0", "old1"});
    state->text_sequence.store(c.found);
    const std::vector<std::string> slots = {"cam0", "", "cam2", "cam3"};
    state->write_text("Brand", slots);
    EXPECT_EQ(state->text_sequence.load(), c.after) << "found " << c.found;
    int hints = 0;
    const Texts texts = state->read_text_with([&] { ++hints; });
    EXPECT_EQ(hints, 0) << "found " << c.found;
    EXPECT_EQ(texts.title, "Brand") << "found " << c.found;
    EXPECT_EQ(texts.slots, (std::array<std::string, 4>{"cam0", "", "cam2", "cam3"}))
        << "found " << c.found;
  }
}

TEST(ReadText, CounterWrapsAround) {
  auto state = fresh_state();
  state->text_sequence.store(0xFFFFFFFE);
  const std::vector<std::string> slots = {"s"};
  state->write_text("wrapped", slots);
  EXPECT_EQ(state->text_sequence.load(), 0u);
  EXPECT_EQ(state->read_text().title, "wrapped");
}

TEST(AudioLevel, ClampsToUnitRangeAndKeepsNaN) {
  const struct {
    float in;
    float out;
  } cases[] = {{1.5f, 1.0f}, {-0.2f, 0.0f}, {0.25f, 0.25f}, {1.0f, 1.0f}, {0.0f, 0.0f},
               {std::numeric_limits<float>::infinity(), 1.0f},
               {-std::numeric_limits<float>::infinity(), 0.0f}};
  for (const auto& c : cases) {
    auto state = fresh_state();
    state->set_audio_level(c.in);
    EXPECT_EQ(state->audio_level(), c.out) << c.in;
  }
  auto state = fresh_state();
  state->set_audio_level(std::numeric_limits<float>::quiet_NaN());
  EXPECT_TRUE(std::isnan(state->audio_level()));
}

TEST(UnixMs, IsTheSystemClockInMilliseconds) {
  const auto before = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  const std::uint64_t now = shared::unix_ms();
  EXPECT_GE(now, static_cast<std::uint64_t>(before));
  EXPECT_LT(now, static_cast<std::uint64_t>(before) + 60000);
}

}  // namespace
