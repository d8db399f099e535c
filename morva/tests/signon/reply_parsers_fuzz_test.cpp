// Feeds cut and corrupted replies to every reply parser. Each input sits in a buffer of exactly its own
// size, so under AddressSanitizer any read past its end fails the test.
#include <gtest/gtest.h>

#include <random>

#include "fake_ibmi/packet_builder.hpp"
#include "morva/ifs/reply_fields.hpp"
#include "morva/signon/exchange_attributes.hpp"
#include "morva/signon/signon_info.hpp"

namespace morva {
namespace {

using fake_ibmi::Bytes;
using fake_ibmi::PacketBuilder;

struct Parser {
  const char* name;
  Bytes valid;
  bool checks_length;  // refuses a packet whose length field does not match its size
  std::function<Result<void>(std::span<const std::uint8_t>)> parse;
};

template <typename T>
Result<void> dropped(const Result<T>& result) {
  if (!result) return std::unexpected(result.error());
  return {};
}

std::vector<Parser> parsers() {
  const Bytes seed{1, 2, 3, 4, 5, 6, 7, 8};
  Bytes attributes = PacketBuilder(0xE009, 0xF003)
                         .u32(20, 0)
                         .u32(24, 10)
                         .u16(28, 0x1101)
                         .u32(30, 1)
                         .u32(34, 8)
                         .u16(38, 0x1102)
                         .u16(40, 10)
                         .item(0x1119, Bytes{2})
                         .item(0x1103, seed)
                         .build();
  Bytes info = PacketBuilder(0xE009, 0xF004).u32(20, 0).item(0x1106, Bytes{1, 2, 3}).item(0x1129).build();
  Bytes file = PacketBuilder(0xE002, 0x8001).u32(20, 0).item(0x000A, Bytes{1, 2}).build();
  return {
      {"exchange attributes", attributes, true,
       [](auto packet) { return dropped(signon::parse_exchange_attributes_reply(packet)); }},
      {"sign-on information", info, true,
       [](auto packet) { return dropped(signon::parse_signon_info_reply(packet)); }},
      {"file-service check", file, true, [](auto packet) { return ifs::check_reply(packet, 0x8001, 24); }},
      {"item walk", file, false,
       [](auto packet) {
         return ifs::walk_items(packet, 24, [&](const ifs::Item& item) -> Result<ifs::WalkStep> {
           // The item's data must lie inside the packet.
           EXPECT_LE(item.offset + item.length, packet.size());
           EXPECT_EQ(item.data.size() + 6, item.length);
           return ifs::WalkStep::next;
         });
       }},
      {"field readers", file, false,
       [](auto packet) {
         for (std::uint64_t offset = 0; offset < packet.size() + 9; ++offset) {
           EXPECT_EQ(ifs::read_u16(packet, offset).has_value(), offset + 2 <= packet.size());
           EXPECT_EQ(ifs::read_u32(packet, offset).has_value(), offset + 4 <= packet.size());
           EXPECT_EQ(ifs::read_u64(packet, offset).has_value(), offset + 8 <= packet.size());
         }
         return Result<void>{};
       }},
  };
}

Result<void> parse_exact_copy(const Parser& parser, std::span<const std::uint8_t> input) {
  const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[input.size() + (input.empty() ? 1 : 0)]);
  std::copy(input.begin(), input.end(), exact.get());
  const auto result = parser.parse(std::span<const std::uint8_t>(exact.get(), input.size()));
  if (!result) {
    EXPECT_FALSE(result.error().text().empty());
  }
  return result;
}

TEST(ReplyParsers, RefuseEveryCutOfAValidReply) {
  for (const Parser& parser : parsers()) {
    SCOPED_TRACE(parser.name);
    ASSERT_TRUE(parse_exact_copy(parser, parser.valid).has_value());
    for (std::size_t length = 0; length < parser.valid.size(); ++length) {
      const auto result = parse_exact_copy(parser, std::span(parser.valid).first(length));
      if (parser.checks_length) {
        EXPECT_FALSE(result.has_value()) << "cut to " << length;
      }
    }
  }
}

TEST(ReplyParsers, SurviveCorruptedReplies) {
  std::mt19937 random(20261210);
  for (const Parser& parser : parsers()) {
    SCOPED_TRACE(parser.name);
    for (int round = 0; round < 3000; ++round) {
      Bytes input = parser.valid;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < changes; ++i) {
        const std::size_t at = random() % input.size();
        switch (random() % 4) {
          case 0: input[at] = static_cast<std::uint8_t>(random()); break;
          case 1: input[at] = 0xFF; break;
          case 2: input[at] = 0x00; break;
          default: input.resize(at); break;
        }
        if (input.empty()) break;
      }
      // A corrupted length field that still matches the bytes keeps the packet self-consistent.
      if (round % 2 == 0 && input.size() >= 4) {
        const auto size = static_cast<std::uint32_t>(input.size());
        for (int b = 0; b < 4; ++b) input[b] = static_cast<std::uint8_t>(size >> (24 - 8 * b));
      }
      (void)parse_exact_copy(parser, input);
    }
  }
}

}  // namespace
}  // namespace morva
