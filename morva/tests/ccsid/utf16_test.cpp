#include "morva/ccsid/utf16.hpp"

#include <gtest/gtest.h>

#include "fake_ibmi/hex.hpp"

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

}  // namespace
}  // namespace morva::ccsid
