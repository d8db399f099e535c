#include "morva/command/receivers.hpp"

#include "reply_builder.hpp"

#include <gtest/gtest.h>

namespace morva::command {
namespace {

using testing::Receiver;

constexpr std::uint16_t kUtf8 = 1208;

// ASCII text as UTF-16 big-endian, padded with U+0020 to `length` bytes.
std::vector<std::uint8_t> utf16(std::string_view text, std::size_t length) {
  std::vector<std::uint8_t> bytes;
  for (const char c : text) bytes.insert(bytes.end(), {0, static_cast<std::uint8_t>(c)});
  while (bytes.size() < length) bytes.insert(bytes.end(), {0, 0x20});
  return bytes;
}

struct Refusal {
  std::string_view name;
  Receiver receiver;
  std::uint16_t ccsid;
  std::string_view error;
};

template <typename Parse>
void expect_refusals(std::span<const Refusal> cases, Parse parse) {
  for (const Refusal& c : cases) {
    const auto parsed = parse(c.receiver.reply(), c.ccsid);
    ASSERT_FALSE(parsed.has_value()) << c.name;
    EXPECT_EQ(parsed.error().text(), c.error) << c.name;
  }
}

// MBRD0100: bytes returned (u32) at 0, member (10) at 28, source type (10) at 48, text (50) at 84.
Receiver utf8_member(std::size_t size = 332, std::uint32_t bytes_returned = 332) {
  Receiver receiver(size, ' ');
  receiver.u32(0, bytes_returned).u32(4, 332).text(28, "HELLO").text(48, "RPGLE");
  if (size >= 134) receiver.text(84, "  Greets the world\t");
  return receiver;
}

TEST(MemberDescription, DecodesAndTrimsItsTextFields) {
  struct Case {
    std::string_view name;
    Receiver receiver;
    std::uint16_t ccsid;
    MemberDescription expected;
  };
  const Case cases[] = {
      {"utf-8", utf8_member(), kUtf8, {"HELLO", "RPGLE", "Greets the world"}},
      {"exactly 134 bytes", utf8_member(134, 134), kUtf8, {"HELLO", "RPGLE", "Greets the world"}},
      {"ebcdic 277",
       Receiver(332, 0x40)
           .u32(0, 332)
           .bytes(28, std::vector<std::uint8_t>{0xC8, 0xC5, 0xD3, 0xD3, 0xD6})
           .bytes(48, std::vector<std::uint8_t>{0xC3, 0xD3, 0xD3, 0xC5})
           .bytes(84, std::vector<std::uint8_t>{0x41, 0x7B, 0x7C, 0x5B, 0x40, 0x81, 0x41}),
       277,
       {"HELLO", "CLLE", "\u00C6\u00D8\u00C5 a"}},
      {"utf-16",
       Receiver(332)
           .u32(0, 332)
           .bytes(28, utf16("HELLO", 10))
           .bytes(48, utf16("C", 10))
           .bytes(84, utf16(" x", 50)),
       1200,
       {"HELLO", "C", "x"}},
      {"blank fields", Receiver(200, ' ').u32(0, 200), kUtf8, {"", "", ""}},
  };
  for (const Case& c : cases) {
    const auto member = MemberDescription::parse(c.receiver.reply(), c.ccsid);
    ASSERT_TRUE(member.has_value()) << c.name << ": " << member.error().text();
    EXPECT_EQ(member->member, c.expected.member) << c.name;
    EXPECT_EQ(member->source_type, c.expected.source_type) << c.name;
    EXPECT_EQ(member->description, c.expected.description) << c.name;
  }
}

TEST(MemberDescription, RefusesShortAndUndecodableReceivers) {
  const Refusal cases[] = {
      {"133 bytes", utf8_member(133, 332), kUtf8, "member-description receiver does not contain member text"},
      {"133 bytes returned", utf8_member(332, 133), kUtf8,
       "retrieve member description did not return a complete description"},
      {"ccsid 37", utf8_member(), 37, "file data CCSID 37 is not supported"},
      {"invalid utf-8", utf8_member().byte(50, 0xFF), kUtf8,
       "invalid UTF-8 data for CCSID 1208: invalid utf-8 sequence of 1 bytes from index 2"},
  };
  expect_refusals(cases, MemberDescription::parse);
  EXPECT_EQ(MemberDescription::parse(testing::program_reply({}, 0x0002), kUtf8).error().text(),
            "retrieve member description failed with 0x0002");
}

// OBJD0200 at its published offsets.
Receiver utf8_object(std::string_view type = "*PGM", std::size_t size = 180,
                     std::uint32_t bytes_returned = 180) {
  Receiver receiver(size, ' ');
  receiver.u32(0, bytes_returned)
      .u32(4, 180)
      .text(8, "PAYROLL")
      .text(18, "MYLIB")
      .text(28, type)
      .u32(48, 2)
      .text(52, "QSECOFR")
      .text(64, "1240131235959")
      .text(77, "1240201000000")
      .text(90, "RPGLE")
      .text(100, "Monthly payroll run");
  if (size >= 180) receiver.text(150, "QRPGLESRC").text(160, "SRCLIB").text(170, "PAYROLL");
  return receiver;
}

TEST(ObjectDescription, ReadsEveryField) {
  const auto object = ObjectDescription::parse(utf8_object().reply(), kUtf8);
  ASSERT_TRUE(object.has_value()) << object.error().text();
  EXPECT_EQ(object->object, "PAYROLL");
  EXPECT_EQ(object->library, "MYLIB");
  EXPECT_EQ(object->object_type, "PGM");
  EXPECT_EQ(object->attribute, "RPGLE");
  EXPECT_EQ(object->owner, "QSECOFR");
  EXPECT_EQ(object->asp, 2u);
  EXPECT_EQ(object->created, "1240131235959");
  EXPECT_EQ(object->changed, "1240201000000");
  EXPECT_EQ(object->description, "Monthly payroll run");
  EXPECT_EQ(object->source_file, "QRPGLESRC");
  EXPECT_EQ(object->source_library, "SRCLIB");
  EXPECT_EQ(object->source_member, "PAYROLL");
}

TEST(ObjectDescription, StripsTheTypeMarkAndKeepsBlankSourcesEmpty) {
  struct Case {
    std::string_view type;
    std::string_view expected;
  };
  for (const Case c : {Case{"*FILE", "FILE"}, Case{"**X", "X"}, Case{"DTAARA", "DTAARA"}, Case{"*", ""}}) {
    const auto object = ObjectDescription::parse(utf8_object(c.type).reply(), kUtf8);
    ASSERT_TRUE(object.has_value()) << c.type;
    EXPECT_EQ(object->object_type, c.expected) << c.type;
  }

  auto no_source = utf8_object().text(150, std::string(30, ' '));
  const auto object = ObjectDescription::parse(no_source.reply(), kUtf8);
  ASSERT_TRUE(object.has_value());
  EXPECT_EQ(object->source_file, "");
  EXPECT_EQ(object->source_library, "");
  EXPECT_EQ(object->source_member, "");
}

TEST(ObjectDescription, RefusesShortAndUndecodableReceivers) {
  const Refusal cases[] = {
      {"179 bytes", utf8_object("*PGM", 179, 180), kUtf8,
       "retrieve object description did not return OBJD0200"},
      {"179 bytes returned", utf8_object("*PGM", 180, 179), kUtf8,
       "retrieve object description did not return OBJD0200"},
      {"ccsid 37", utf8_object(), 37, "file data CCSID 37 is not supported"},
      // The five 10-byte fields decode; the 13-byte creation date cannot be UTF-16.
      {"utf-16", Receiver(180).u32(0, 180), 1200, "UTF-16 data has an odd byte length"},
  };
  expect_refusals(cases, ObjectDescription::parse);
}

}  // namespace
}  // namespace morva::command
