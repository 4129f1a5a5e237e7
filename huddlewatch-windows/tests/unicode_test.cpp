#include "readers/unicode.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <ios>
#include <string>

namespace readers::unicode {
namespace {

TEST(Unicode, TablesComeFromUnicode15) {
  EXPECT_EQ(version(), "15.0.0");
}

TEST(Unicode, LowerCaseUsesTheFullMapping) {
  struct Case {
    const char* text;
    const char* lower;
  } cases[] = {
      {"(VOCÊ)", "(você)"},
      {"ÀÉÎÕÜ ÇÑ", "àéîõü çñ"},
      {"İ", "i\u0307"},          // one character becomes two
      {"ẞ", "ß"},                // capital sharp s
      {"ΟΔΥΣΣΕΥΣ", "οδυσσευς"},  // final sigma only at the end of the word
      {"Σ", "σ"},                // alone it is no final sigma
      {"ΑΣ.", "ας."},            // a case-ignorable full stop after it
      {"ΑΣ'Β", "ασ'β"},          // a cased letter follows after a case-ignorable one
      {"ДОКЛАДЧИК", "докладчик"},
      {"Ǆ", "ǆ"},
      {"ＡＢ", "ａｂ"},
      {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8"},  // Deseret, outside the basic plane
      {"电脑", "电脑"},
  };
  for (const Case& c : cases) EXPECT_EQ(to_lower(c.text), c.lower) << c.text;
}

TEST(Unicode, IllFormedBytesSurviveAndCountAsOneCharacterEach) {
  const std::string bad = "A\xC3(\xE2\x82Z\xED\xA0\x80\xF8";
  EXPECT_EQ(to_lower(bad), "a\xC3(\xE2\x82z\xED\xA0\x80\xF8");
  // A, C3, (, E2, 82, Z, ED, A0, 80, F8
  EXPECT_EQ(char_count(bad), 10u);
  EXPECT_EQ(first_chars("aé€𝄞b", 4), "aé€𝄞");
  EXPECT_EQ(first_chars("ab", 5), "ab");
}

TEST(Unicode, WhiteSpaceIsTheExactList) {
  const char32_t spaces[] = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,   0x85,   0xA0,  0x1680,
                             0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
  for (char32_t cp : spaces)
    EXPECT_TRUE(is_white_space(cp)) << std::hex << static_cast<unsigned>(cp);
  const char32_t others[] = {0x08, 0x0E, 0x1F, 0x200B, 0x180E, 0xFEFF, 0x2060, 'a'};
  for (char32_t cp : others)
    EXPECT_FALSE(is_white_space(cp)) << std::hex << static_cast<unsigned>(cp);
  EXPECT_EQ(trim("\u3000\u00A0 a b\u2028\t"), "a b");
  EXPECT_EQ(trim_start("\u2003x "), "x ");
}

TEST(Unicode, BoundariesFollowUtf8) {
  const std::string text = "aé€";  // bytes: 61 | C3 A9 | E2 82 AC
  const bool expected[] = {true, true, false, true, false, false, true};
  for (std::size_t pos = 0; pos <= text.size(); ++pos) {
    EXPECT_EQ(is_boundary(text, pos), expected[pos]) << pos;
  }
  EXPECT_TRUE(is_boundary("\x80\x80", 1));  // stray continuation bytes stand alone
}

}  // namespace
}  // namespace readers::unicode
