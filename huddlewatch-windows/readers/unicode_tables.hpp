#pragma once
// Tables generated from the Unicode Character Database by tools/gen_unicode.py.
#include <cstddef>

namespace readers::unicode::tables {

// Full lower-case mapping of one code point; unused places of `to` are 0.
struct LowerEntry {
  char32_t from;
  char32_t to[3];
};

// Inclusive code point range.
struct Range {
  char32_t first;
  char32_t last;
};

extern const char VERSION[];
extern const LowerEntry LOWER[];  // sorted by `from`
extern const std::size_t LOWER_SIZE;
extern const Range CASED[];  // sorted, disjoint
extern const std::size_t CASED_SIZE;
extern const Range CASE_IGNORABLE[];  // sorted, disjoint
extern const std::size_t CASE_IGNORABLE_SIZE;

}  // namespace readers::unicode::tables
