#include "unicode_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varlin {
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

TEST(Utf16, ConvertsBothWaysAndMarksLoneSurrogates) {
  const std::u16string units = u"a\u00E9\u20AC\U0001F600";
  std::string utf8;
  append_utf8(units, utf8);
  EXPECT_EQ(utf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  std::u16string back;
  append_utf16(utf8, back);
  EXPECT_EQ(back, units);

  for (const std::u16string& lone :
       {std::u16string(1, u'\xD800'), std::u16string(u"x\xDC00"), std::u16string{u'\xD83D', u'a'}}) {
    std::string bytes;
    append_utf8(lone, bytes);
    EXPECT_FALSE(is_valid_utf8(bytes));
  }
}

TEST(Utf16, ReplacesLoneSurrogatesWhereAskedTo) {
  const std::vector<std::pair<std::u16string, std::string>> cases = {
      {u"a\U0001F600", "a\xF0\x9F\x98\x80"},
      {std::u16string(1, u'\xD800'), "\xEF\xBF\xBD"},
      {std::u16string{u'x', u'\xDC00', u'y'}, "x\xEF\xBF\xBDy"},
      {std::u16string{u'\xD83D', u'a'},
       "\xEF\xBF\xBD"
       "a"},
  };
  for (const auto& [units, text] : cases) EXPECT_EQ(utf8_replacing_lone_surrogates(units), text);
}

}  // namespace
}  // namespace varlin
