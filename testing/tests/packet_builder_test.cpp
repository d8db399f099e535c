#include "fake_ibmi/packet_builder.hpp"

#include <gtest/gtest.h>

namespace fake_ibmi {
namespace {

struct BuilderCase {
  const char* name;
  Bytes built;
  const char* expected;  // length, header ID, server ID, 8 zero bytes, template length, ID | template | items
};

TEST(PacketBuilder, LaysFieldsAtTheirOffsets) {
  const BuilderCase cases[] = {
      {"header only", PacketBuilder(0xE009, 0x7003).build(),
       "00000014 0000 E009 00000000 00000000 0000 7003"},
      {"header ID and template fields of every width",
       PacketBuilder(0xE002, 0x7001)
           .header_id(3, 1)
           .u8(20, 0x01)
           .u16(21, 0x0203)
           .u32(23, 0x04050607)
           .u64(27, 0x08090A0B0C0D0E0F)
           .build(),
       "00000023 0301 E002 00000000 00000000 000F 7001 | 01 0203 04050607 08090A0B0C0D0E0F"},
      {"a field past the end leaves zeros before it", PacketBuilder(0xE002, 0x0002).u8(25, 0xFF).build(),
       "0000001A 0000 E002 00000000 00000000 0006 0002 | 00000000 00FF"},
      {"items after the template",
       PacketBuilder(0xE008, 0x1002).u16(20, 0x0001).item(0x1101, from_hex("C1C2")).item(0x1102).build(),
       "00000024 0000 E008 00000000 00000000 0002 1002 | 0001 | 00000008 1101 C1C2 | 00000006 1102"},
      {"items without a template", PacketBuilder(0xE009, 0xF003).item(0x1104, from_hex("01")).build(),
       "0000001B 0000 E009 00000000 00000000 0000 F003 | 00000007 1104 01"},
      {"lengths set by the test",
       PacketBuilder(0xE002, 0x8001)
           .template_length(10)
           .total_length(0x30)
           .bytes(20, from_hex("AABB"))
           .build(),
       "00000030 0000 E002 00000000 00000000 000A 8001 | AABB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(to_hex(c.built), to_hex(from_hex(c.expected)));
  }
}

}  // namespace
}  // namespace fake_ibmi
