#include "morva/ccsid/source_member.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>

#include "fake_ibmi/hex.hpp"

namespace morva::ccsid {
namespace {

using namespace std::literals;
using fake_ibmi::from_hex;

// Fields of `length` bytes, each the given hex bytes padded with `blank`.
std::vector<std::uint8_t> fields(std::initializer_list<std::string_view> texts, std::size_t length,
                                 std::string_view blank = "40") {
  std::vector<std::uint8_t> bytes;
  const auto pad = from_hex(blank);
  for (const auto text : texts) {
    auto field = from_hex(text);
    while (field.size() < length) field.insert(field.end(), pad.begin(), pad.end());
    bytes.insert(bytes.end(), field.begin(), field.end());
  }
  return bytes;
}

struct Expected {
  std::string value;  // used when error is empty
  std::string error;
};

template <typename T>
void expect_result(const Result<T>& result, const T& value, const std::string& error,
                   const std::string& label) {
  if (error.empty()) {
    ASSERT_TRUE(result) << label << ": " << result.error().text();
    EXPECT_EQ(*result, value) << label;
  } else {
    ASSERT_FALSE(result) << label;
    EXPECT_EQ(result.error().text(), error) << label;
  }
}

TEST(DecodeSourceMember, GivesOneCleanedLinePerRecord) {
  const struct {
    std::string label;
    std::vector<std::uint8_t> bytes;
    Ccsid ccsid;
    std::uint64_t record_length;
    std::string text;
    std::string error;
  } cases[] = {
      {"two records", fields({"C1C2", "4040C3"}, 80), 277, 92, "AB\n  C\n", ""},
      {"all blanks", fields({""}, 80), 277, 92, "\n", ""},
      {"empty member", {}, 277, 92, "", ""},
      {"empty member, unsupported CCSID", {}, 37, 92, "", ""},
      {"tab inside the line", fields({"C1 05 C2"}, 80), 277, 92, "A B\n", ""},
      {"next line and carriage return", fields({"C1 15 C2 0D"}, 80), 277, 92, "A B\n", ""},
      {"no-break space at the end", fields({"40 C1 41 40"}, 80), 277, 92, " A\n", ""},
      {"no-break space inside", fields({"C1 41 C2"}, 80), 277, 92, "A\u00A0B\n", ""},
      {"full field", from_hex("C1C2C3"), 277, 15, "ABC\n", ""},
      {"UTF-16 white space", from_hex("0041 2003 3000 0020"), 1200, 20, "A\n", ""},
      {"UTF-16 zero-width space is no white space", from_hex("0041 200B 0020"), 1200, 18, "A\u200B\n", ""},
      {"UTF-8 C1 control", from_hex("41 C2 85 42 20 20"), 1208, 18, "A B\n", ""},
      {"UTF-8 trailing ideographic space", from_hex("41 E3 80 80 20"), 1208, 17, "A\n", ""},
      {"not whole records", fields({"C1"}, 100), 277, 92, "",
       "source member size 100 is not a multiple of source length 80"},
      {"record length 12", {}, 277, 12, "", "source record length 12 does not include source text"},
      {"record length 0", from_hex("40"), 277, 0, "", "source record length 0 does not include source text"},
      {"unsupported CCSID", fields({""}, 80), 37, 92, "", "file data CCSID 37 is not supported"},
      {"odd UTF-16 field", from_hex("004100 004100"), 1200, 15, "", "UTF-16 data has an odd byte length"},
      {"invalid UTF-8 in the second record", from_hex("41 42 43 41 FF 20"), 1208, 15, "",
       "invalid UTF-8 data for CCSID 1208: invalid utf-8 sequence of 1 bytes from index 1"},
  };
  for (const auto& c : cases) {
    expect_result(decode_source_member(c.bytes, c.ccsid, c.record_length), c.text, c.error, c.label);
  }
}

TEST(EncodeSourceMember, WritesOneBlankPaddedFieldPerLine) {
  const std::string line_81(81, 'A');
  const struct {
    std::string label;
    std::string text;
    Ccsid ccsid;
    std::uint64_t record_length;
    std::vector<std::uint8_t> bytes;
    std::string error;
  } cases[] = {
      {"empty text", "", 277, 92, {}, ""},
      {"one line", "A\n", 277, 92, fields({"C1"}, 80), ""},
      {"last line without line feed", "A", 277, 92, fields({"C1"}, 80), ""},
      {"CR LF", "A\r\nB", 277, 92, fields({"C1", "C2"}, 80), ""},
      {"empty lines", "\n\n", 277, 92, fields({"", ""}, 80), ""},
      {"lone CR stays", "A\rB", 277, 92, fields({"C1 0D C2"}, 80), ""},
      {"only the CR before LF goes", "A\r\r\n", 277, 92, fields({"C1 0D"}, 80), ""},
      {"blanks and tab kept", "\tA  ", 277, 17, from_hex("05 C1 40 40 40"), ""},
      {"field filled exactly", "ABC", 277, 15, from_hex("C1C2C3"), ""},
      {"record length 13", "A\nB\n", 277, 13, from_hex("C1 C2"), ""},
      {"UTF-16 even field", "A\n\xC3\xA6", 1200, 16, from_hex("0041 0020 00E6 0020"), ""},
      {"UTF-8", "\xC3\xA6", 1208, 16, from_hex("C3A6 2020"), ""},
      {"UTF-16 odd field, empty text", "", 1200, 93, {}, ""},
      {"UTF-16 odd field", "A", 1200, 93, {}, "CCSID 1200 space width 2 cannot pad a 81-byte source field"},
      {"UTF-16 odd field, empty line",
       "\n",
       1200,
       93,
       {},
       "CCSID 1200 space width 2 cannot pad a 81-byte source field"},
      {"line too long",
       line_81,
       277,
       92,
       {},
       "source line 1 encodes to 81 bytes but the source file allows 80"},
      {"UTF-8 line too long in bytes",
       "ab\xC3\xA6",
       1208,
       15,
       {},
       "source line 1 encodes to 4 bytes but the source file allows 3"},
      {"euro sign",
       "\xE2\x82\xAC",
       277,
       92,
       {},
       "source line 1: character \xE2\x82\xAC (U+20AC) is not representable in CCSID 277"},
      {"euro sign on line 3",
       "a\r\n\nb\xE2\x82\xAC\n",
       277,
       92,
       {},
       "source line 3: character \xE2\x82\xAC (U+20AC) is not representable in CCSID 277"},
      {"CCSID checked before the text", "", 37, 92, {}, "file data CCSID 37 is not supported"},
      {"record length 12", "", 277, 12, {}, "source record length 12 does not include source text"},
      {"record length beyond memory",
       "A\nB",
       277,
       UINT64_MAX,
       {},
       "source member of 2 lines with source length 18446744073709551603 does not fit in memory"},
  };
  for (const auto& c : cases) {
    expect_result(encode_source_member(c.text, c.ccsid, c.record_length), c.bytes, c.error, c.label);
  }
}

// A caller tells the user why a text cannot be stored: by the kind of the refusal, not its words.
TEST(EncodeSourceMember, NamesTheFaultOfATextTheMemberCannotHold) {
  const struct {
    std::string_view label;
    std::string text;
    Ccsid ccsid;
    std::uint64_t record_length;
    std::optional<TextFault> fault;
  } cases[] = {
      {"euro sign in CCSID 277", "a\nb\xE2\x82\xAC", 277, 92, TextFault::unmappable_character},
      {"byte-order mark in CCSID 277", "\xEF\xBB\xBFPGM", 277, 92, TextFault::unmappable_character},
      {"line too long", std::string(81, 'A'), 277, 92, TextFault::does_not_fit},
      {"UTF-8 line too long in bytes", "ab\xC3\xA6", 1208, 15, TextFault::does_not_fit},
      {"odd field for UTF-16", "A", 1200, 93, TextFault::does_not_fit},
      {"unsupported CCSID", "A", 37, 92, std::nullopt},
      {"record without source text", "A", 277, 12, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto encoded = encode_source_member(c.text, c.ccsid, c.record_length);
    ASSERT_FALSE(encoded) << c.label;
    EXPECT_EQ(encoded.error().text_fault(), c.fault) << c.label;
  }
}

TEST(SourceMember, OrdinarySourceRoundTripsWithTrailingBlanksAndCarriageReturnsRemoved) {
  const std::string_view source =
      "     H DFTACTGRP(*NO)   \r\n"
      "\r\n"
      "      * Bl\u00E5b\u00E6rgr\u00F8d og \u00C6\u00D8\u00C5 #!$@\n"
      "\n"
      "     C                   EVAL      X = 'x'   \n"
      "     C                   RETURN";
  const std::string_view lines =
      "     H DFTACTGRP(*NO)\n"
      "\n"
      "      * Bl\u00E5b\u00E6rgr\u00F8d og \u00C6\u00D8\u00C5 #!$@\n"
      "\n"
      "     C                   EVAL      X = 'x'\n"
      "     C                   RETURN\n";
  for (const Ccsid ccsid : std::array<Ccsid, 3>{277, 1200, 1208}) {
    for (const std::uint64_t record_length : {112u, 240u}) {
      const auto bytes = encode_source_member(source, ccsid, record_length);
      ASSERT_TRUE(bytes) << ccsid << ": " << bytes.error().text();
      EXPECT_EQ(bytes->size(), 6 * (record_length - 12));
      EXPECT_EQ(decode_source_member(*bytes, ccsid, record_length), std::string(lines)) << ccsid;
      EXPECT_EQ(encode_source_member(lines, ccsid, record_length), *bytes) << ccsid;
    }
  }
}

TEST(BlankControls, BlanksC0C1AndDeleteOnly) {
  EXPECT_EQ(blank_controls("\x00\x01\t\n\r\x1F\x20\x7E\x7F"sv), "      \x20~ ");
  EXPECT_EQ(blank_controls("a\xC2\x80"
                           "b\xC2\x9F"
                           "c\xC2\xA0"
                           "d\xC3\x80"),
            "a b c\xC2\xA0"
            "d\xC3\x80");
  EXPECT_EQ(blank_controls("\xE2\x80\xA8 \xEF\xBF\xBD"), "\xE2\x80\xA8 \xEF\xBF\xBD");
}

}  // namespace
}  // namespace morva::ccsid
