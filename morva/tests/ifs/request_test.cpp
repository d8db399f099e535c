#include "morva/ifs/request.hpp"

#include "fake_ibmi/hex.hpp"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

namespace morva::ifs {
namespace {

using fake_ibmi::from_hex;

constexpr std::array<std::uint8_t, 10> kUser1 = {0xE4, 0xE2, 0xC5, 0xD9, 0xF1, 0x40, 0x40, 0x40, 0x40, 0x40};

Secret substitute_of(std::size_t length) {
  Secret secret;
  for (std::size_t i = 0; i < length; ++i) secret.push_back(static_cast<std::uint8_t>(0x11 + i));
  return secret;
}

struct RequestCase {
  std::string label;
  std::function<IfsRequest()> make;
  std::string_view trace_name;
  // Header: length, header ID (2 bytes), server, 8 zero bytes, template length, request ID;
  // then the template fields and the LL/CP items.
  std::string_view packet;
};

class RequestEncoding : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestEncoding, IsByteExact) {
  const IfsRequest request = GetParam().make();
  const auto expected = from_hex(GetParam().packet);
  const auto packet = request.encode();
  EXPECT_EQ(packet, expected) << fake_ibmi::hex_diff(expected, packet);
  EXPECT_EQ(request.trace_name(), GetParam().trace_name);
  EXPECT_EQ(request.sensitive(), GetParam().trace_name == "ifs.start-server");
}

// Names: "/a" = 002F 0061, "/bc" = 002F 0062 0063, "/a/*" = 002F 0061 002F 002A.
// CCSID 1200 = 04B0, 13488 = 34B0; handle 01020304; small offsets 11223344, large 0000000123456789.
const RequestCase kRequestCases[] = {
    {"exchange_seeds", [] { return IfsRequest(ExchangeSeeds{0x0102030405060708}); }, "ifs.exchange-seeds",
     "0000001C 0300 E002 00000000 00000000 0008 7001 | 0102030405060708"},
    {"start_server_des",
     [] {
       return IfsRequest(StartServer{substitute_of(8), kUser1});
     },
     "ifs.start-server",
     "00000034 0200 E002 00000000 00000000 0002 7002 | 01 01"
     " | 0000000E 1105 1112131415161718 | 00000010 1104 E4E2C5D9F14040404040"},
    {"start_server_sha",
     [] {
       return IfsRequest(StartServer{substitute_of(20), kUser1});
     },
     "ifs.start-server",
     "00000040 0200 E002 00000000 00000000 0002 7002 | 03 01"
     " | 0000001A 1105 1112131415161718191A1B1C1D1E1F2021222324 | 00000010 1104 E4E2C5D9F14040404040"},
    {"exchange_attributes", [] { return IfsRequest(ExchangeAttributes{}); }, "ifs.exchange-attributes",
     "0000002A 0000 E002 00000000 00000000 000A 0016 | 0000 0010 0005 FFFFFFFF | 0000000C 000A 04B0 34B0 "
     "F200"},
    {"list_attributes",
     [] {
       return IfsRequest(ListAttributes{"/a/*", 1200});
     },
     "ifs.list-attributes",
     "00000036 0000 E002 00000000 00000000 0014 000A"
     " | 0000 00000000 04B0 00000001 0000 FFFF 0101 0001 | 0000000E 0002 002F0061002F002A"},
    {"list_object_attributes", [] { return IfsRequest(ListObjectAttributes{0x01020304}); },
     "ifs.list-object-attributes",
     "00000028 0000 E002 00000000 00000000 0014 000A | 0000 01020304 0000 00000001 0000 FFFF 0044 0000"},
    {"open_file_level_15",
     [] {
       return IfsRequest(OpenFile{"/a", 1200, 15});
     },
     "ifs.open-file",
     "00000042 0000 E002 00000000 00000000 0024 0002"
     " | 0000 04B0 00000001 0000 0001 00000000 0008 0000000000000000 0001 0000000000000000"
     " | 0000000A 0002 002F0061"},
    {"open_file_level_16",
     [] {
       return IfsRequest(OpenFile{"/a", 1200, 16});
     },
     "ifs.open-file",
     "0000004A 0000 E002 00000000 00000000 002C 0002"
     " | 0000 04B0 00000001 0000 0001 00000000 0008 0000000000000000 0001 00000000000000000000000000000000"
     " | 0000000A 0002 002F0061"},
    {"open_file_for_write_level_15",
     [] {
       return IfsRequest(OpenFileForWrite{"/a", 1200, 15, 0x0011});
     },
     "ifs.open-file-for-write",
     "00000042 0000 E002 00000000 00000000 0024 0002"
     " | 0000 04B0 00000001 FFFF 0002 00000000 0011 0000000000000000 0001 0000000000000000"
     " | 0000000A 0002 002F0061"},
    {"open_file_for_write_level_16",
     [] {
       return IfsRequest(OpenFileForWrite{"/a", 1200, 16, 0x0011});
     },
     "ifs.open-file-for-write",
     "0000004A 0000 E002 00000000 00000000 002C 0002"
     " | 0000 04B0 00000001 FFFF 0002 00000000 0011 0000000000000000 0001 00000000000000000000000000000000"
     " | 0000000A 0002 002F0061"},
    {"read_file_level_15",
     [] {
       return IfsRequest(ReadFile{0x01020304, 0x11223344, 0x1000, 15});
     },
     "ifs.read-file",
     "0000002A 0000 E002 00000000 00000000 0016 0003 | 0000 01020304 00000000 11223344 00001000 00000000"},
    {"read_file_level_16",
     [] {
       return IfsRequest(ReadFile{0x01020304, 0x123456789, 0x1000, 16});
     },
     "ifs.read-file",
     "0000003A 0000 E002 00000000 00000000 0026 0003"
     " | 0000 01020304 00000000 00000000 00001000 00000000 0000000000000000 0000000123456789"},
    {"close_file", [] { return IfsRequest(CloseFile{0x01020304}); }, "ifs.close-file",
     "00000029 0000 E002 00000000 00000000 0015 0009 | 0000 01020304 0002 FFFF 0064 000000000000000000"},
    {"write_file_level_15",
     [] {
       return IfsRequest(WriteFile{0x01020304, 0x11223344, {0x41, 0x42, 0x43}, 15});
     },
     "ifs.write-file",
     "0000002F 0000 E002 00000000 00000000 0012 0004 | 0000 01020304 00000000 11223344 0002 FFFF"
     " | 00000009 0020 414243"},
    {"write_file_level_16",
     [] {
       return IfsRequest(WriteFile{0x01020304, 0x123456789, {0x41, 0x42, 0x43}, 16});
     },
     "ifs.write-file",
     "0000003F 0000 E002 00000000 00000000 0022 0004"
     " | 0000 01020304 00000000 00000000 0002 FFFF 0000000000000000 0000000123456789 | 00000009 0020 414243"},
    {"truncate_level_15",
     [] {
       return IfsRequest(Truncate{"/a", 1200, 0x11223344, 15});
     },
     "ifs.truncate",
     "0000004E 0000 E002 00000000 00000000 0030 000B"
     " | 0000 00000000 04B0 00000001 0001 000000000000000000000000000000000000000000000000 0001 00000000 "
     "11223344"
     " | 0000000A 0002 002F0061"},
    {"truncate_level_16",
     [] {
       return IfsRequest(Truncate{"/a", 1200, 0x123456789, 16});
     },
     "ifs.truncate",
     "00000056 0000 E002 00000000 00000000 0038 000B"
     " | 0000 00000000 04B0 00000001 0001 000000000000000000000000000000000000000000000000 0001 00000000 "
     "00000000"
     " 0000000123456789 | 0000000A 0002 002F0061"},
    {"create_directory",
     [] {
       return IfsRequest(CreateDirectory{"/a", 13488});
     },
     "ifs.create-directory",
     "00000026 0000 E002 00000000 00000000 0008 000D | 0000 34B0 00000001 | 0000000A 0001 002F0061"},
    {"delete_file",
     [] {
       return IfsRequest(DeleteFile{"/\xC3\xA9\xF0\x9F\x98\x80", 1200});
     },
     "ifs.delete-file",
     "0000002A 0000 E002 00000000 00000000 0008 000C | 0000 04B0 00000001 | 0000000E 0002 002F 00E9 "
     "D83DDE00"},
    {"delete_directory",
     [] {
       return IfsRequest(DeleteDirectory{"/a", 1200});
     },
     "ifs.delete-directory",
     "00000028 0000 E002 00000000 00000000 000A 000E | 0000 04B0 00000001 0000 | 0000000A 0001 002F0061"},
    {"rename_replace",
     [] {
       return IfsRequest(Rename{"/a", "/bc", 1200, true});
     },
     "ifs.rename",
     "0000003A 0000 E002 00000000 00000000 0010 000F | 0000 04B0 04B0 00000001 00000001 0001"
     " | 0000000A 0003 002F0061 | 0000000C 0004 002F00620063"},
    {"rename_keep",
     [] {
       return IfsRequest(Rename{"/a", "/bc", 13488, false});
     },
     "ifs.rename",
     "0000003A 0000 E002 00000000 00000000 0010 000F | 0000 34B0 34B0 00000001 00000001 0000"
     " | 0000000A 0003 002F0061 | 0000000C 0004 002F00620063"},
};

INSTANTIATE_TEST_SUITE_P(AllKinds, RequestEncoding, ::testing::ValuesIn(kRequestCases),
                         [](const auto& test) { return test.param.label; });

// Below level 16 the 32-bit offset and size fields take the low half of the value.
TEST(RequestEncoding, NarrowFieldsTakeTheLowHalf) {
  const auto read = IfsRequest(ReadFile{1, 0xAABBCCDD11223344, 8, 15}).encode();
  EXPECT_EQ(std::vector<std::uint8_t>(read.begin() + 30, read.begin() + 34), from_hex("11223344"));
  const auto truncate = IfsRequest(Truncate{"/a", 1200, 0x500000007, 15}).encode();
  EXPECT_EQ(std::vector<std::uint8_t>(truncate.begin() + 64, truncate.begin() + 68), from_hex("00000007"));
}

}  // namespace
}  // namespace morva::ifs
