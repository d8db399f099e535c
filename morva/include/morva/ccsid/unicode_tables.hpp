// Unicode case mappings and the White_Space property, independent of locale and platform.
// The tables behind these functions are generated (scripts/generate_unicode_tables.py).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace morva::ccsid {

// A full upper-case mapping: one to three code points.
struct UpperMapping {
  std::array<char32_t, 3> code_points{};
  std::uint8_t length = 0;

  std::u32string_view view() const { return {code_points.data(), length}; }
};

// The Unicode version the tables were generated from, such as "15.0.0".
std::string_view unicode_version();

// Full upper case without language rules: U+00DF gives "SS", U+FB01 gives "FI".
UpperMapping to_upper_full(char32_t code_point);

// Simple (one to one) lower case.
char32_t to_lower(char32_t code_point);

// Simple (one to one) case folding: code points that differ only in case fold to one, also where lower
// case leaves them apart (U+03C2 final sigma and U+03C3 sigma, U+017F long s and s).
char32_t fold_case(char32_t code_point);

bool is_white_space(char32_t code_point);

}  // namespace morva::ccsid
