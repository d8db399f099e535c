#include "morva/ifs/entry.hpp"

#include "reply_packets.hpp"

#include <gtest/gtest.h>

#include <string>

namespace morva::ifs {
namespace {

using fake_ibmi::PacketBuilder;
using testing::reply;

constexpr std::uint16_t kNameCp = 0x0002;
constexpr std::uint16_t kAttributesCp = 0x000F;
const std::vector<std::uint8_t> kNameAb = {0x00, 0x61, 0x00, 0x62};

// An entry reply whose template reaches past the 64-bit size, so its items start at 89.
PacketBuilder entry_reply(std::uint16_t object_type = 1) {
  return std::move(
      reply(0x8005, 89).u32(30, 1700000000).u32(46, 0x11111111).u16(54, object_type).u64(81, 0x200000003));
}

// An object-attributes item of `length` bytes with `ccsid` at item offset 140 where it fits.
std::vector<std::uint8_t> attributes(std::size_t length, std::uint16_t ccsid) {
  std::vector<std::uint8_t> data(length - 6);
  if (length >= 142) {
    data[134] = static_cast<std::uint8_t>(ccsid >> 8);
    data[135] = static_cast<std::uint8_t>(ccsid);
  }
  return data;
}

TEST(EntryParse, ReadsTheEntry) {
  const auto entry = IfsEntry::parse(entry_reply(1).item(kNameCp, kNameAb).build(), 16);
  ASSERT_TRUE(entry.has_value()) << entry.error().text();
  EXPECT_EQ(entry->name, "ab");
  EXPECT_EQ(entry->modified, 1700000000u);
  EXPECT_EQ(entry->size, 0x200000003u);
  EXPECT_EQ(entry->object_type, 1);
  EXPECT_EQ(entry->kind, 0);
  EXPECT_FALSE(entry->ccsid.has_value());
  EXPECT_FALSE(entry->member_info.has_value());
  EXPECT_FALSE(entry->source_type.has_value());
}

TEST(EntryParse, MapsObjectTypesToKinds) {
  const std::pair<std::uint16_t, std::uint16_t> cases[] = {{0, 8}, {1, 0}, {2, kDirectoryKind},
                                                           {8, 7}, {9, 8}, {0xFFFF, 8}};
  for (const auto& [type, kind] : cases) {
    const auto entry = IfsEntry::parse(entry_reply(type).item(kNameCp, kNameAb).build(), 16);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->kind, kind) << "object type " << type;
    EXPECT_EQ(entry->object_type, type);
  }
}

TEST(EntryParse, TakesTheWideSizeFromLevel8InALongEnoughPacket) {
  const auto long_packet = entry_reply().item(kNameCp, kNameAb).build();
  EXPECT_EQ(IfsEntry::parse(long_packet, 7)->size, 0x11111111u);
  EXPECT_EQ(IfsEntry::parse(long_packet, 8)->size, 0x200000003u);
  // Items from 56: the packet ends before the 64-bit size field.
  const auto short_packet = reply(0x8005, 56).u32(46, 42).item(kNameCp, kNameAb).build();
  ASSERT_LT(short_packet.size(), 89u);
  EXPECT_EQ(IfsEntry::parse(short_packet, 16)->size, 42u);
}

TEST(EntryParse, WalksNameAndAttributeItems) {
  const std::vector<std::uint8_t> name_cd = {0x00, 0x63, 0x00, 0x64};
  const std::vector<std::uint8_t> smiley = {0xD8, 0x3D, 0xDE, 0x00};
  const std::uint8_t other[] = {9, 9};
  auto parse = [](const PacketBuilder& packet) { return IfsEntry::parse(packet.build(), 16); };

  EXPECT_EQ(parse(entry_reply().item(kNameCp, kNameAb).item(kNameCp, name_cd))->name, "cd");
  EXPECT_EQ(parse(entry_reply().item(0x0099, other).item(kNameCp, smiley))->name, "\xF0\x9F\x98\x80");
  EXPECT_EQ(parse(entry_reply().item(kNameCp, {}))->name, "");

  EXPECT_EQ(parse(entry_reply().item(kNameCp, kNameAb).item(kAttributesCp, attributes(142, 1208)))->ccsid,
            1208);
  EXPECT_FALSE(parse(entry_reply().item(kNameCp, kNameAb).item(kAttributesCp, attributes(141, 0)))->ccsid);
  EXPECT_EQ(parse(entry_reply()
                      .item(kAttributesCp, attributes(150, 37))
                      .item(kAttributesCp, attributes(141, 0))
                      .item(kAttributesCp, attributes(142, 277))
                      .item(kNameCp, kNameAb))
                ->ccsid,
            277);
}

TEST(EntryParse, RefusesMalformedReplies) {
  const std::uint8_t three[] = {0x00, 0x61, 0x00};
  const std::vector<std::uint8_t> lone_high = {0x00, 0x61, 0xD8, 0x00};
  const std::vector<std::uint8_t> lone_low = {0xDC, 0x00, 0x00, 0x61};
  const std::pair<std::vector<std::uint8_t>, std::string> cases[] = {
      {entry_reply().build(), "file-service list reply has no name field"},
      {entry_reply().item(kAttributesCp, attributes(142, 1)).build(),
       "file-service list reply has no name field"},
      {entry_reply().item(kNameCp, three).build(), "UTF-16 field has an odd byte length"},
      {entry_reply().item(kNameCp, lone_high).build(),
       "invalid UTF-16 file name: invalid utf-16: lone surrogate found"},
      {entry_reply().item(kNameCp, lone_low).build(),
       "invalid UTF-16 file name: invalid utf-16: lone surrogate found"},
      {entry_reply().u32(89, 5).u16(93, kNameCp).bytes(95, kNameAb).template_length(69).build(),
       "invalid field length 5 at offset 89"},
      {entry_reply().u32(89, 11).u16(93, kNameCp).bytes(95, kNameAb).template_length(69).build(),
       "invalid field length 11 at offset 89"},
      {entry_reply().item(kNameCp, kNameAb).template_length(0).build(),
       "invalid field length 0 at offset 20"},
      {reply(0x8005, 55).build(), "reply 0x8005 requires at least 56 bytes; received 55"},
      {reply(0x8001, 89).build(), "unexpected file-service reply: length=89, server=E002, id=8001"},
  };
  for (const auto& [packet, error] : cases) {
    const auto entry = IfsEntry::parse(packet, 16);
    ASSERT_FALSE(entry.has_value()) << error;
    EXPECT_EQ(entry.error().text(), error);
  }
}

TEST(ObjectCcsid, TakesTheFirstLongEnoughAttributeItem) {
  const std::uint8_t other[] = {1};
  auto parse = [](const PacketBuilder& packet) { return parse_object_ccsid(packet.build()); };
  EXPECT_EQ(*parse(reply(0x8005, 20)), std::nullopt);
  EXPECT_EQ(*parse(reply(0x8005, 20).item(0x0001, other).item(kAttributesCp, attributes(141, 0))),
            std::nullopt);
  EXPECT_EQ(*parse(reply(0x8005, 20)
                       .item(kAttributesCp, attributes(141, 0))
                       .item(kAttributesCp, attributes(142, 1200))
                       .item(kAttributesCp, attributes(142, 37))),
            1200);
  // Items follow the template.
  EXPECT_EQ(*parse(reply(0x8005, 24).item(kAttributesCp, attributes(200, 13488))), 13488);
  // The walk ends at the CCSID, before a broken item behind it.
  EXPECT_EQ(*parse(reply(0x8005, 20)
                       .item(kAttributesCp, attributes(142, 1208))
                       .u32(162, 99)
                       .u16(166, 0x0001)
                       .bytes(168, other)),
            1208);

  EXPECT_EQ(
      parse(reply(0x8005, 20).u32(20, 3).u16(24, 0x0001).bytes(26, other).template_length(0)).error().text(),
      "invalid field length 3 at offset 20");
  auto cut = reply(0x8005, 20).total_length(19).build();
  cut.pop_back();
  EXPECT_EQ(parse_object_ccsid(cut).error().text(), "reply 0x8005 requires at least 20 bytes; received 19");
}

}  // namespace
}  // namespace morva::ifs
