#include "morva/ccsid/codec.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <array>

#include "fake_ibmi/hex.hpp"

namespace morva::ccsid {
namespace {

using namespace std::literals;
using fake_ibmi::from_hex;

// The UTF-8 text that glibc's iconv gives for each byte under IBM277 (generate_ibm277_fixture.sh).
constexpr std::array<std::string_view, 256> kIconvIbm277 = {
#include "ibm277_iconv.inc"
};

template <typename T>
std::string error_of(const Result<T>& result) {
  return result ? "<no error>" : result.error().text();
}

TEST(CodecFor, ChoosesTheThreeCodecsAndRefusesOtherCcsids) {
  for (const Ccsid ccsid : std::array<Ccsid, 3>{277, 1200, 1208}) {
    const auto codec = codec_for(ccsid);
    ASSERT_TRUE(codec) << ccsid;
    EXPECT_EQ((*codec)->ccsid(), ccsid);
  }
  for (const Ccsid ccsid : std::array<Ccsid, 5>{0, 37, 500, 13488, 65535}) {
    EXPECT_EQ(error_of(codec_for(ccsid)), fmt::format("file data CCSID {} is not supported", ccsid));
  }
}

TEST(Decode, DecodesWithTheCodecOfTheCcsid) {
  EXPECT_EQ(decode(from_hex("C1 5B 7B"), 277), "A\xC3\x85\xC3\x86");
  EXPECT_EQ(decode(from_hex("0041 00C5"), 1200), "A\xC3\x85");
  EXPECT_EQ(decode(from_hex("41 C3 85"), 1208), "A\xC3\x85");
  EXPECT_EQ(error_of(decode(from_hex("C3"), 1208)),
            "invalid UTF-8 data for CCSID 1208: incomplete utf-8 byte sequence from index 0");
  EXPECT_EQ(error_of(decode({}, 37)), "file data CCSID 37 is not supported");
}

TEST(Ccsid277, EveryByteDecodesAsIconvDecodesItAndEncodesBack) {
  const Ccsid277 codec;
  for (std::size_t byte = 0; byte < 256; ++byte) {
    const std::uint8_t one[] = {static_cast<std::uint8_t>(byte)};
    EXPECT_EQ(codec.decode(one), kIconvIbm277[byte]) << fmt::format("byte 0x{:02X}", byte);
    EXPECT_EQ(codec.encode(kIconvIbm277[byte]), std::vector<std::uint8_t>{one[0]})
        << fmt::format("byte 0x{:02X}", byte);
  }
}

TEST(Ccsid277, UsesTheFormWithNextLineAt15AndLineFeedAt25) {
  // iconv has more than one EBCDIC 277 form; the fixture must be the one the IBM i uses.
  EXPECT_EQ(kIconvIbm277[0x15], "\xC2\x85");
  EXPECT_EQ(kIconvIbm277[0x25], "\n");
  const Ccsid277 codec;
  EXPECT_EQ(codec.decode(from_hex("40 41 4A 4F 5A 5B 5F 6A 7B 7C 9F C0 D0 E0 FF")),
            " \u00A0#!\u00A4\u00C5^\u00F8\u00C6\u00D8]\u00E6\u00E5\\\u009F");
}

TEST(Ccsid277, EncodeFailsOnTheFirstCharacterOutsideLatin1) {
  const struct {
    std::string_view text;
    std::string_view error;
  } cases[] = {
      {"\xE2\x82\xAC", "character \xE2\x82\xAC (U+20AC) is not representable in CCSID 277"},
      {"ab\xC4\x80\xE2\x82\xAC", "character \xC4\x80 (U+0100) is not representable in CCSID 277"},
      {"\xF0\x9F\x98\x80", "character \xF0\x9F\x98\x80 (U+1F600) is not representable in CCSID 277"},
      {"a\xFF", "character \xEF\xBF\xBD (U+FFFD) is not representable in CCSID 277"},  // ill-formed UTF-8
  };
  const Ccsid277 codec;
  for (const auto& c : cases) EXPECT_EQ(error_of(codec.encode(c.text)), c.error) << c.text;
}

TEST(Ccsid1200, DecodesStrictUtf16) {
  const struct {
    std::string_view bytes;
    std::string_view text;  // empty when an error is expected
    std::string_view error;
  } cases[] = {
      {"", "", ""},
      {"0041 00E6 20AC", "A\xC3\xA6\xE2\x82\xAC", ""},
      {"D83D DE00", "\xF0\x9F\x98\x80", ""},
      {"DBFF DFFF 0000", "\xF4\x8F\xBF\xBF\0"sv, ""},
      {"004100", "", "UTF-16 data has an odd byte length"},
      {"D800 0041", "", "invalid UTF-16 data: invalid utf-16: lone surrogate found"},
      {"0041 D800", "", "invalid UTF-16 data: invalid utf-16: lone surrogate found"},  // at the end
      {"DC00 D800", "", "invalid UTF-16 data: invalid utf-16: lone surrogate found"},  // reversed pair
      {"D800 D800 DC00", "", "invalid UTF-16 data: invalid utf-16: lone surrogate found"},
  };
  const Ccsid1200 codec;
  for (const auto& c : cases) {
    const auto text = codec.decode(from_hex(c.bytes));
    if (c.error.empty()) {
      EXPECT_EQ(text, std::string(c.text)) << c.bytes;
    } else {
      EXPECT_EQ(error_of(text), c.error) << c.bytes;
    }
  }
}

TEST(Ccsid1208, DecodesValidUtf8AsACopy) {
  const Ccsid1208 codec;
  for (const std::string_view bytes :
       {""sv, "41 00 7F"sv, "C2 80 DF BF"sv, "E0 A0 80 ED 9F BF EF BF BF"sv, "F0 90 80 80 F4 8F BF BF"sv}) {
    const auto input = from_hex(bytes);
    EXPECT_EQ(codec.decode(input), std::string(input.begin(), input.end())) << bytes;
  }
}

TEST(Ccsid1208, ReportsTheMaximalSubpartOfTheFirstInvalidSequence) {
  const struct {
    std::string_view bytes;
    std::string_view detail;
  } cases[] = {
      {"41 FF", "invalid utf-8 sequence of 1 bytes from index 1"},
      {"80", "invalid utf-8 sequence of 1 bytes from index 0"},     // stray continuation
      {"C0 80", "invalid utf-8 sequence of 1 bytes from index 0"},  // overlong lead
      {"41 42 E2 82 41", "invalid utf-8 sequence of 2 bytes from index 2"},
      {"F0 9F 98 41", "invalid utf-8 sequence of 3 bytes from index 0"},
      {"E0 80 80", "invalid utf-8 sequence of 1 bytes from index 0"},     // overlong three-byte form
      {"ED A0 80", "invalid utf-8 sequence of 1 bytes from index 0"},     // surrogate
      {"F0 80 80 80", "invalid utf-8 sequence of 1 bytes from index 0"},  // overlong four-byte form
      {"F4 90 80 80", "invalid utf-8 sequence of 1 bytes from index 0"},  // above U+10FFFF
      {"F5 80", "invalid utf-8 sequence of 1 bytes from index 0"},
      {"C3 A6 E2 82 AC E2 41", "invalid utf-8 sequence of 1 bytes from index 5"},
      // Cut off by the end of the data.
      {"41 E2 82", "incomplete utf-8 byte sequence from index 1"},
      {"C3", "incomplete utf-8 byte sequence from index 0"},
      {"41 F0 9F 98", "incomplete utf-8 byte sequence from index 1"},
      {"E2 82 AC F4 8F", "incomplete utf-8 byte sequence from index 3"},
      // A cut-off sequence that could never have been valid is invalid, not incomplete.
      {"41 F0 80", "invalid utf-8 sequence of 1 bytes from index 1"},
      {"41 ED BF", "invalid utf-8 sequence of 1 bytes from index 1"},
  };
  const Ccsid1208 codec;
  for (const auto& c : cases) {
    EXPECT_EQ(error_of(codec.decode(from_hex(c.bytes))),
              fmt::format("invalid UTF-8 data for CCSID 1208: {}", c.detail))
        << c.bytes;
  }
}

TEST(Codecs, EncodeTextInTheirCcsid) {
  const std::string_view text = "Bl\xC3\xA5 \xC3\xB8l";  // "Blå øl"
  EXPECT_EQ(Ccsid277().encode(text), from_hex("C2 93 D0 40 6A 93"));
  EXPECT_EQ(Ccsid1200().encode(text), from_hex("0042 006C 00E5 0020 00F8 006C"));
  EXPECT_EQ(Ccsid1208().encode(text), from_hex("42 6C C3 A5 20 C3 B8 6C"));
  EXPECT_EQ(Ccsid277().encode("\t#"), from_hex("05 4A"));
}

}  // namespace
}  // namespace morva::ccsid
