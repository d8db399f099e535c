#include "morva/ccsid/utf8.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morva::ccsid {
namespace {

TEST(Utf8, RefusesMalformedSequences) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"", true},
      {"plain", true},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", true},  // é € 😀
      {"\xF4\x8F\xBF\xBF", true},                      // U+10FFFF
      {"\xC3", false},                                 // cut short
      {"\xC0\xAF", false},                             // overlong '/'
      {"\xE0\x80\xAF", false},                         // overlong '/'
      {"\xED\xA0\x80", false},                         // surrogate
      {"\xF4\x90\x80\x80", false},                     // above U+10FFFF
      {"\x80", false},                                 // lone continuation
      {"a\xE2\x82", false},
  };
  for (const auto& [text, valid] : cases)
    EXPECT_EQ(is_valid_utf8(text), valid) << testing::PrintToString(text);
}

TEST(Utf8, TrimsUnicodeWhiteSpaceOnly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {" \t\r\n\v\f", ""},
      {"  a b  ", "a b"},
      {"\u00A0\u1680\u2000\u200A\u2028\u2029\u202F\u205F\u3000\u0085x\u3000", "x"},
      {"\u200Bx\u200B", "\u200Bx\u200B"},  // zero width space is not White_Space
      {"\uFEFFx", "\uFEFFx"},
      {" \xFF ", "\xFF"},
  };
  for (const auto& [text, trimmed] : cases)
    EXPECT_EQ(trim_white_space(text), trimmed) << testing::PrintToString(text);
}

TEST(Utf8, MapsEachCharacterAndKeepsBytesThatAreNotUtf8) {
  // Characters may change their length: U+212A (3 bytes) to 'k', U+00E5 (2 bytes) to U+212B (3 bytes).
  const auto map = [](char32_t c) -> char32_t {
    if (c == U'\u212A') return U'k';
    if (c == U'\u00E5') return U'\u212B';
    return c == U'a' ? U'b' : c;
  };
  EXPECT_EQ(map_code_points("", map), "");
  EXPECT_EQ(map_code_points("a\xE2\x84\xAA\xC3\xA5", map), "bk\xE2\x84\xAB");
  EXPECT_EQ(map_code_points("a\xFF\xC3"
                            "a\xE2\x84",
                            map),
            "b\xFF\xC3"
            "b\xE2\x84")
      << "an invalid byte, a cut sequence";
}

}  // namespace
}  // namespace morva::ccsid
