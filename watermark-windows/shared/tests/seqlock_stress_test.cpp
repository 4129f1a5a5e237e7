#include <gtest/gtest.h>

#include "seqlock_stress.hpp"

TEST(SeqlockStress, ReadersOnlyAcceptWholeWrites) {
  const stress::Outcome outcome = stress::run(20000, 4);
  EXPECT_EQ(outcome.torn, 0);
  EXPECT_GT(outcome.accepted, 0);
}
