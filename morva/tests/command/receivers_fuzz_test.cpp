#include "morva/command/program_call.hpp"
#include "morva/command/receivers.hpp"

#include "reply_builder.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace morva::command {
namespace {

using testing::Receiver;

struct Parser {
  std::string_view name;
  std::function<bool(std::span<const std::uint8_t>)> parses;
  std::vector<std::uint8_t> valid_reply;
};

std::vector<Parser> parsers() {
  return {
      {"program reply", [](auto packet) { return check_program_reply(packet, "call").has_value(); },
       Receiver(8).reply()},
      {"file description", [](auto packet) { return FileDescription::parse(packet).has_value(); },
       Receiver(400).byte(8, 0x08).u16(304, 92).reply()},
      {"system storage", [](auto packet) { return SystemStorage::parse(packet).has_value(); },
       Receiver(144).u32(4, 144).u32(52, 1000).reply()},
      {"member description", [](auto packet) { return MemberDescription::parse(packet, 277).has_value(); },
       Receiver(332, 0x40).u32(0, 332).reply()},
      {"member description in UTF-8",
       [](auto packet) { return MemberDescription::parse(packet, 1208).has_value(); },
       Receiver(332, ' ').u32(0, 332).reply()},
      {"object description", [](auto packet) { return ObjectDescription::parse(packet, 277).has_value(); },
       Receiver(180, 0x40).u32(0, 180).reply()},
      {"object description in UTF-8",
       [](auto packet) { return ObjectDescription::parse(packet, 1208).has_value(); },
       Receiver(180, ' ').u32(0, 180).reply()},
  };
}

// Every packet is copied into a buffer of exactly its size, so a read past its end is caught by the
// address sanitizer.
bool parses_copy(const Parser& parser, std::span<const std::uint8_t> bytes) {
  const std::vector<std::uint8_t> packet(bytes.begin(), bytes.end());
  return parser.parses(packet);
}

TEST(ReceiverFuzz, TruncatedRepliesAreRefused) {
  for (const Parser& parser : parsers()) {
    ASSERT_TRUE(parses_copy(parser, parser.valid_reply)) << parser.name;
    for (std::size_t size = 0; size < parser.valid_reply.size(); ++size)
      EXPECT_FALSE(parses_copy(parser, std::span(parser.valid_reply).first(size)))
          << parser.name << " " << size;
  }
}

TEST(ReceiverFuzz, MutatedRepliesNeverReadOutOfBounds) {
  std::mt19937 random(20261210);
  for (const Parser& parser : parsers()) {
    std::uniform_int_distribution<std::size_t> position(0, parser.valid_reply.size() - 1);
    std::uniform_int_distribution<std::size_t> cut(0, parser.valid_reply.size());
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 5000; ++round) {
      std::vector<std::uint8_t> packet = parser.valid_reply;
      const int mutations = 1 + round % 4;
      for (int i = 0; i < mutations; ++i) packet[position(random)] = static_cast<std::uint8_t>(byte(random));
      // Lengths of the parameter item and of the receiver's own counts are the fields most worth
      // breaking.
      if (round % 3 == 0) packet[24 + random() % 4] = static_cast<std::uint8_t>(byte(random));
      if (round % 5 == 0) packet.resize(cut(random));
      const bool parsed = parses_copy(parser, packet);
      const auto receiver = check_program_reply(packet, "call");
      // A record comes only from a well-formed call reply, whose receiver lies inside the packet.
      if (parsed) {
        EXPECT_TRUE(receiver.has_value()) << parser.name << " round " << round;
      }
      if (receiver) {
        EXPECT_GE(receiver->data(), packet.data() + 36);
        EXPECT_LE(receiver->data() + receiver->size(), packet.data() + packet.size());
      }
    }
  }
}

}  // namespace
}  // namespace morva::command
