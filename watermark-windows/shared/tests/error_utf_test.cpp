#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "error.hpp"
#include "utf.hpp"

namespace {

TEST(ErrorText, FormsOfEachKind) {
  EXPECT_EQ(shared::Error::from_hresult(static_cast<std::int32_t>(0x80070002),
                                        "The system cannot find the file specified.\r\n")
                .text(),
            "The system cannot find the file specified. (0x80070002)");
  EXPECT_EQ(shared::Error::from_hresult(static_cast<std::int32_t>(0x8000FFFF)).text(), "0x8000FFFF");
  EXPECT_EQ(shared::Error::from_hresult(0x1, "x").text(), "x (0x00000001)");
  EXPECT_EQ(shared::Error::from_io(5, "Access is denied.\r\n").text(), "Access is denied. (os error 5)");
  EXPECT_EQ(shared::Error::from_io(-3, "odd").text(), "odd (os error -3)");
  EXPECT_EQ(shared::Error::own("watermark camera DLLs failed signature verification").text(),
            "watermark camera DLLs failed signature verification");
}

struct Utf8Case {
  std::string input;
  bool valid;
  std::u16string lossy;
};

TEST(Utf8ToUtf16, StrictAndLossy) {
  const Utf8Case cases[] = {
      {"", true, u""},
      {"abc", true, u"abc"},
      {"\xC3\xA9", true, u"\u00E9"},
      {"\xE2\x82\xAC", true, u"\u20AC"},
      {"\xF0\x9F\x98\x80", true, u"\U0001F600"},
      {"\xC3", false, u"\uFFFD"},                             // truncated
      {"\xC0\xAF", false, u"\uFFFD\uFFFD"},                   // overlong
      {"\xE0\x80\x80", false, u"\uFFFD\uFFFD\uFFFD"},         // overlong three-byte
      {"\xED\xA0\x80", false, u"\uFFFD\uFFFD\uFFFD"},         // encoded surrogate
      {"\xF4\x90\x80\x80", false, u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xF0\x9F\x98", false, u"\uFFFD"},                     // one maximal subpart
      {"a\x80z", false, u"a\uFFFDz"},
      {"\xE2\x82z", false, u"\uFFFDz"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shared::is_valid_utf8(c.input), c.valid) << testing::PrintToString(c.input);
    EXPECT_EQ(shared::utf8_to_utf16(c.input).has_value(), c.valid);
    EXPECT_EQ(shared::utf8_to_utf16_lossy(c.input), c.lossy) << testing::PrintToString(c.input);
  }
}

TEST(Utf16ToUtf8, StrictAndLossy) {
  const struct {
    std::u16string input;
    bool valid;
    std::string lossy;
  } cases[] = {
      {u"", true, ""},
      {u"h\u00E9", true, "h\xC3\xA9"},
      {u"\U0001F3A5", true, "\xF0\x9F\x8E\xA5"},
      {std::u16string(1, char16_t(0xD83D)), false, "\xEF\xBF\xBD"},
      {std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, false, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {std::u16string{char16_t(0xD83D), u'a'}, false, "\xEF\xBF\xBD" "a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shared::utf16_to_utf8(c.input).has_value(), c.valid);
    EXPECT_EQ(shared::utf16_to_utf8_lossy(c.input), c.lossy);
  }
}

}  // namespace

namespace {

TEST(WhiteSpace, TrimsEveryUnicodeWhiteSpaceCharacterOnly) {
  const struct {
    std::string input;
    std::string trimmed;
    std::string leading_trimmed;
  } cases[] = {
      {"", "", ""},
      {" \t\r\n x \v\f", "x", "x \v\f"},
      {"\xC2\xA0\xE3\x80\x80" "a b" "\xE2\x80\xA9\xC2\x85", "a b", "a b" "\xE2\x80\xA9\xC2\x85"},
      // Zero-width space and byte-order mark are not White_Space.
      {"\xE2\x80\x8B" "x" "\xEF\xBB\xBF", "\xE2\x80\x8B" "x" "\xEF\xBB\xBF", "\xE2\x80\x8B" "x" "\xEF\xBB\xBF"},
      {"\xE2\x80\x8A\xE2\x80\xAF\xE2\x81\x9F\xE1\x9A\x80", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shared::trim_white_space(c.input), c.trimmed) << testing::PrintToString(c.input);
    EXPECT_EQ(shared::trim_leading_white_space(c.input), c.leading_trimmed);
  }
}

}  // namespace
