#include "common/utf16.hpp"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(Utf8FromUtf16, DecodesStrictly) {
  EXPECT_EQ(utf8_from_utf16(u"Z:\\a.rpgle"), "Z:\\a.rpgle");
  EXPECT_EQ(utf8_from_utf16(u"\u00E6\u20AC\U0001F600"), "\xC3\xA6\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(utf8_from_utf16(u""), "");
  const char16_t lone_high[] = {u'a', 0xD800, u'b'};
  const char16_t lone_low[] = {0xDC00};
  const char16_t high_at_end[] = {u'a', 0xDBFF};
  const char16_t swapped[] = {0xDC00, 0xD800};
  for (const std::u16string_view units :
       {std::u16string_view(lone_high, 3), std::u16string_view(lone_low, 1),
        std::u16string_view(high_at_end, 2), std::u16string_view(swapped, 2)})
    EXPECT_EQ(utf8_from_utf16(units), std::nullopt);
}

TEST(Utf16FromUtf8, EncodesAndReplacesMalformedBytes) {
  EXPECT_EQ(utf16_from_utf8("\xC3\xA6\xE2\x82\xAC\xF0\x9F\x98\x80x"), u"\u00E6\u20AC\U0001F600x");
  EXPECT_EQ(utf16_from_utf8("a\xFF"
                            "b"),
            u"a\uFFFDb");
  EXPECT_EQ(utf16_from_utf8("\xC3"), u"\uFFFD");
  EXPECT_EQ(utf16_from_utf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD") << "an encoded surrogate";
  EXPECT_EQ(utf16_from_utf8("\xC0\xAF"), u"\uFFFD\uFFFD") << "an overlong form";
}

}  // namespace
}  // namespace tarvik
