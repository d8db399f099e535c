#include "morva/ccsid/utf16.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_ibmi/hex.hpp"
#include "morva/ccsid/utf8.hpp"

namespace morva::ccsid {
namespace {

using fake_ibmi::from_hex;

TEST(EncodeUtf16be, WritesUnitsHighByteFirst) {
  const struct {
    std::string_view text;
    std::string_view expected;
  } cases[] = {
      {"", ""},
      {"A", "0041"},
      {"QSYS.LIB/\xC3\x86", "0051 0053 0059 0053 002E 004C 0049 0042 002F 00C6"},
      {"\xE2\x82\xAC", "20AC"},           // U+20AC
      {"\xEF\xBF\xBF", "FFFF"},           // U+FFFF, last unit without a pair
      {"\xF0\x90\x80\x80", "D800 DC00"},  // U+10000
      {"a\xF0\x9F\x98\x80"
       "b",
       "0061 D83D DE00 0062"},            // U+1F600 between letters
      {"\xF4\x8F\xBF\xBF", "DBFF DFFF"},  // U+10FFFF
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encode_utf16be(c.text), from_hex(c.expected)) << c.text;
  }
}

TEST(EncodeUtf16be, WritesIllFormedSequencesAsReplacementCharacters) {
  const struct {
    std::string_view text;
    std::string_view expected;
  } cases[] = {
      {"\xFF", "FFFD"},
      {"A\xE2\x82", "0041 FFFD"},  // cut off at the end: one replacement
      {"\xE2\x82"
       "A",
       "FFFD 0041"},                                // two-byte maximal subpart
      {"\xED\xA0\x80", "FFFD FFFD FFFD"},           // encoded surrogate: each byte on its own
      {"\xC0\xAF", "FFFD FFFD"},                    // overlong
      {"\xF4\x90\x80\x80", "FFFD FFFD FFFD FFFD"},  // above U+10FFFF
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encode_utf16be(c.text), from_hex(c.expected)) << c.expected;
  }
}

TEST(Utf16beUnits, PairsBytesAndIgnoresATrailingOddByte) {
  EXPECT_EQ(utf16be_units(from_hex("")), std::vector<std::uint16_t>{});
  EXPECT_EQ(utf16be_units(from_hex("12")), std::vector<std::uint16_t>{});
  EXPECT_EQ(utf16be_units(from_hex("1234 ABCD EF")), (std::vector<std::uint16_t>{0x1234, 0xABCD}));
}

TEST(Utf16, ConvertsBothWaysAndMarksLoneSurrogates) {
  const std::u16string units = u"a\u00E9\u20AC\U0001F600";
  std::string utf8;
  append_utf8_of_utf16(units, utf8);
  EXPECT_EQ(utf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  std::u16string back;
  append_utf16_of_utf8(utf8, back);
  EXPECT_EQ(back, units);

  for (const std::u16string& lone :
       {std::u16string(1, u'\xD800'), std::u16string(u"x\xDC00"), std::u16string{u'\xD83D', u'a'}}) {
    std::string bytes;
    append_utf8_of_utf16(lone, bytes);
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
}  // namespace morva::ccsid
