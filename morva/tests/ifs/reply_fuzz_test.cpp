#include "morva/ifs/entry.hpp"
#include "morva/ifs/file_replies.hpp"

#include "reply_packets.hpp"

#include <gtest/gtest.h>

#include <random>

namespace morva::ifs {
namespace {

using testing::reply;

std::vector<std::vector<std::uint8_t>> seed_replies() {
  const std::vector<std::uint8_t> name = {0x00, 0x61};
  const std::vector<std::uint8_t> attributes(150, 0x04);
  return {
      reply(0x8002, 97).build(),
      reply(0x8001, 24).u16(22, 2).build(),
      reply(0x8003, 24).item(0x0020, name).build(),
      reply(0x800B, 32).u32(28, 1).build(),
      reply(0x8005, 89).item(0x0002, name).item(0x000F, attributes).build(),
      reply(0x8005, 20).item(0x000F, attributes).item(0x0002, name).build(),
  };
}

// Cuts, extends and overwrites valid replies; the length field is mostly kept true so that the checks
// pass and the parsers reach their fields and items. Every result must stay inside the packet.
TEST(ReplyFuzz, MalformedRepliesFailCleanly) {
  std::mt19937 random(20261210);
  const auto seeds = seed_replies();
  std::size_t parsed = 0;
  for (int round = 0; round < 40000; ++round) {
    std::vector<std::uint8_t> packet = seeds[random() % seeds.size()];
    packet.resize(random() % 2 == 0 ? packet.size() : random() % (packet.size() + 40));
    for (auto flips = random() % 6; flips > 0 && !packet.empty(); --flips) {
      const auto at = random() % packet.size();
      packet[at] = random() % 3 == 0 ? 0xFF : static_cast<std::uint8_t>(random());
    }
    if (packet.size() >= 4 && random() % 4 != 0) {
      const auto length = static_cast<std::uint32_t>(packet.size());
      for (int i = 0; i < 4; ++i) packet[i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    }
    packet.shrink_to_fit();  // so the sanitizer sees a read past the end

    const auto level = static_cast<std::uint16_t>(random() % 20);
    if (const auto read = parse_read_reply(packet)) {
      ASSERT_GE(read->data(), packet.data());
      ASSERT_LE(read->data() + read->size(), packet.data() + packet.size());
      ++parsed;
    } else {
      ASSERT_FALSE(read.error().text().empty());
    }
    if (const auto open = parse_open_reply(packet, level, "/f")) {
      ASSERT_GE(packet.size(), 66u);
      ++parsed;
    }
    if (const auto written = parse_write_reply(packet, 4, "/f")) {
      ASSERT_EQ(*written, 4u);
    }
    if (const auto entry = IfsEntry::parse(packet, level)) {
      ASSERT_GE(packet.size(), 56u);
      ASSERT_LE(entry->name.size(), packet.size());
      ++parsed;
    } else {
      ASSERT_FALSE(entry.error().text().empty());
    }
    (void)parse_object_ccsid(packet);
  }
  // The mutations must leave enough replies intact for the success paths to be exercised too.
  EXPECT_GT(parsed, 1000u);
}

}  // namespace
}  // namespace morva::ifs
