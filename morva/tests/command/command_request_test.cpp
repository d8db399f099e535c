#include "morva/command/command_request.hpp"

#include "fake_ibmi/hex.hpp"

#include <gtest/gtest.h>

namespace morva::command {
namespace {

using fake_ibmi::from_hex;

std::array<std::uint8_t, 10> user_bytes(std::string_view digits) {
  std::array<std::uint8_t, 10> user{};
  const auto bytes = from_hex(digits);
  std::copy(bytes.begin(), bytes.end(), user.begin());
  return user;
}

struct RequestCase {
  CommandRequest request;
  std::string_view name;
  bool sensitive;
  std::string_view packet;
};

void expect_request(const RequestCase& c) {
  EXPECT_EQ(c.request.name(), c.name);
  EXPECT_EQ(c.request.sensitive(), c.sensitive) << c.name;
  EXPECT_EQ(c.request.encode(), from_hex(c.packet)) << c.name;
}

CommandRequest start_server(std::string_view substitute) {
  const auto bytes = from_hex(substitute);
  return CommandRequest(
      StartServer{.user = user_bytes("E4E2C5D9 6DF1 40404040"), .substitute = Secret(bytes)});
}

TEST(CommandRequest, ConnectionRequestsAreLaidOutByteForByte) {
  const RequestCase cases[] = {
      {CommandRequest(ExchangeSeeds{.client_seed = 0x0102030405060708}), "command.exchange-seeds", false, R"(
          0000001C 0300 E008 00000000 00000000 0008 7001
          0102030405060708)"},
      {start_server("1112131415161718"), "command.start-server", true, R"(
          00000034 0200 E008 00000000 00000000 0002 7002
          01 01
          0000000E 1105 1112131415161718
          00000010 1104 E4E2C5D96DF140404040)"},
      {start_server("0102030405060708090A0B0C0D0E0F1011121314"), "command.start-server", true, R"(
          00000040 0200 E008 00000000 00000000 0002 7002
          03 01
          0000001A 1105 0102030405060708090A0B0C0D0E0F1011121314
          00000010 1104 E4E2C5D96DF140404040)"},
      {CommandRequest(ExchangeAttributes{}), "command.exchange-attributes", false, R"(
          00000022 0000 E008 00000000 00000000 000E 1001
          000004B0 F2F9F2F4 00000001 0000)"},
  };
  for (const RequestCase& c : cases) expect_request(c);
}

TEST(CommandRequest, ApiCallsCarryTheirParameterLists) {
  const RequestCase cases[] = {
      {CommandRequest(RetrieveMemberDescription{
           .datastream_level = 10, .library = "mylib", .file = "qrpglesrc", .member = "hello"}),
       "command.retrieve-member-description", false, R"(
          000000AA 0000 E008 00000000 00000000 0017 1003
          D8E4E2D9D4C2D9C44040  D8E2E8E2404040404040  04  0007
          0000000C 1103 0000014C 0016
          00000010 1103 00000004 000B 0000014C
          00000014 1103 00000008 000B D4C2D9C4F0F1F0F0
          00000020 1103 00000014 000B D8D9D7C7D3C5E2D9C340 D4E8D3C9C24040404040
          00000016 1103 0000000A 000B C8C5D3D3D64040404040
          0000000D 1103 00000001 000B F1
          0000000C 1103 00000008 0021)"},
      {CommandRequest(RetrieveFileDescription{.datastream_level = 11, .library = "QGPL", .file = "QCLSRC"}),
       "command.retrieve-file-description", false, R"(
          000000E2 0000 E008 00000000 00000000 0017 1003
          D8C4C2D9E3E5C6C44040  D8E2E8E2404040404040  06  000A
          0000000C 1103 00000190 0016
          00000010 1103 00000004 000B 00000190
          0000000C 1103 00000014 0016
          00000014 1103 00000008 000B C6C9D3C4F0F1F0F0
          00000020 1103 00000014 000B D8C3D3E2D9C340404040 D8C7D7D3404040404040
          00000016 1103 0000000A 000B 40404040404040404040
          0000000D 1103 00000001 000B F0
          00000016 1103 0000000A 000B 5CD3C3D3404040404040
          00000016 1103 0000000A 000B 5CC9D5E3404040404040
          0000000C 1103 00000008 0021)"},
      {CommandRequest(RetrieveObjectDescription{
           .datastream_level = 12, .library = "mylib", .object = "averyverylongname", .object_type = "FILE"}),
       "command.retrieve-object-description", false, R"(
          0000009D 0000 E008 00000000 00000000 0017 1003
          D8E4E2D9D6C2D1C44040  D8E2E8E2404040404040  06  0006
          0000000C 1103 000000B4 0016
          00000010 1103 00000004 000B 000000B4
          00000014 1103 00000008 000B D6C2D1C4F0F2F0F0
          00000020 1103 00000014 000B C1E5C5D9E8E5C5D9E8D3 D4E8D3C9C24040404040
          00000016 1103 0000000A 000B 5CC6C9D3C54040404040
          0000000C 1103 00000008 0021)"},
      {CommandRequest(RetrieveSystemStorage{.datastream_level = 9}), "command.retrieve-system-storage", false,
       R"(
          0000007D 0000 E008 00000000 00000000 0017 1003
          D8E6C3D9E2E2E3E24040  D8E2E8E2404040404040  04  0005
          0000000C 1103 00000090 0016
          00000010 1103 00000004 000B 00000090
          00000014 1103 00000008 000B E2E2E3E2F0F2F0F0
          00000016 1103 0000000A 000B 5CD5D640404040404040
          0000000C 1103 00000008 0021)"},
  };
  for (const RequestCase& c : cases) expect_request(c);
}

}  // namespace
}  // namespace morva::command
