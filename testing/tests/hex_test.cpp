#include "fake_ibmi/hex.hpp"

#include <stdexcept>

#include <gtest/gtest.h>

namespace fake_ibmi {
namespace {

TEST(Hex, ReadsDigitsOfEitherCaseAcrossWhiteSpace) {
  EXPECT_EQ(from_hex("0000 0014 |\n\tE0 09 ab"), (Bytes{0x00, 0x00, 0x00, 0x14, 0xE0, 0x09, 0xAB}));
  EXPECT_EQ(from_hex("  "), Bytes{});
}

TEST(Hex, RefusesTypos) {
  EXPECT_THROW(from_hex("00 1"), std::invalid_argument);
  EXPECT_THROW(from_hex("00 0g"), std::invalid_argument);
  EXPECT_THROW(from_hex("0x14"), std::invalid_argument);
}

TEST(Hex, WritesSpacedUpperCaseBytes) {
  EXPECT_EQ(to_hex(Bytes{0x00, 0x0A, 0xFF}), "00 0A FF");
  EXPECT_EQ(to_hex(from_hex(to_hex(Bytes{0x12, 0x34}))), "12 34");
}

TEST(Hex, DiffMarksTheLinesThatDiffer) {
  Bytes expected(20, 0x00);
  Bytes actual = expected;
  actual[17] = 0x01;
  actual.push_back(0x02);
  EXPECT_EQ(first_difference(expected, actual), 17u);
  EXPECT_EQ(first_difference(expected, expected), 20u);
  EXPECT_EQ(hex_diff(expected, actual),
            "expected (20 bytes):\n"
            "  0000: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
            "* 0010: 00 00 00 00\n"
            "received (21 bytes):\n"
            "  0000: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
            "* 0010: 00 01 00 00 02\n");
}

}  // namespace
}  // namespace fake_ibmi
