#include <gtest/gtest.h>

#include <windows.h>

#include <utility>

#include "handle_win.hpp"

namespace {

using shared::win::UniqueHandle;

bool is_open(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE new_event() {
  return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

TEST(UniqueHandle, BothFailureValuesAreEmpty) {
  for (HANDLE none : {HANDLE(nullptr), INVALID_HANDLE_VALUE}) {
    UniqueHandle owner(none);
    EXPECT_FALSE(owner);
    EXPECT_FALSE(owner.valid());
  }
  EXPECT_FALSE(UniqueHandle());
}

TEST(UniqueHandle, ClosesExactlyOnceWhereverOwnershipEnds) {
  const HANDLE first = new_event();
  const HANDLE second = new_event();
  ASSERT_TRUE(is_open(first) && is_open(second));
  {
    UniqueHandle owner(first);
    UniqueHandle moved(std::move(owner));
    EXPECT_FALSE(owner);
    EXPECT_EQ(moved.get(), first);
    EXPECT_TRUE(is_open(first));

    moved.reset(second);  // closes the first, adopts the second
    EXPECT_FALSE(is_open(first));
    EXPECT_TRUE(is_open(second));

    UniqueHandle assigned;
    assigned = std::move(moved);
    EXPECT_FALSE(moved);
    EXPECT_EQ(assigned.get(), second);
  }
  EXPECT_FALSE(is_open(second));

  const HANDLE kept = new_event();
  {
    UniqueHandle owner(kept);
    EXPECT_EQ(owner.release(), kept);
    EXPECT_FALSE(owner);
  }
  EXPECT_TRUE(is_open(kept));
  CloseHandle(kept);
}

}  // namespace
