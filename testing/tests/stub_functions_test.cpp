#include "stub_functions.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "control_request.hpp"
#include "winfsp/dir_info.hpp"

namespace winfsp_stub {
namespace {

using namespace varlin::winfsp;

TEST(AddDirInfo, AlignsRecordsAndStopsWhereTheyDoNotFit) {
  DirInfoRecord record{};
  set_dir_info_name(record.info, u"abc");  // 110 bytes, 112 with padding
  std::array<std::uint8_t, 240> buffer{};
  std::uint32_t count = 0;
  ASSERT_TRUE(add_dir_info(&record.info, buffer.data(), buffer.size(), &count));
  EXPECT_EQ(count, 112u);
  ASSERT_TRUE(add_dir_info(&record.info, buffer.data(), buffer.size(), &count));
  EXPECT_EQ(count, 224u);
  EXPECT_FALSE(add_dir_info(&record.info, buffer.data(), buffer.size(), &count));
  EXPECT_EQ(count, 224u) << "a record that does not fit changes nothing";
  std::uint16_t second_size = 0;
  std::memcpy(&second_size, buffer.data() + 112, sizeof(second_size));
  EXPECT_EQ(second_size, 110u);

  buffer[224] = buffer[225] = 0xFF;
  ASSERT_TRUE(add_dir_info(nullptr, buffer.data(), buffer.size(), &count));
  EXPECT_EQ(count, 226u);
  EXPECT_EQ(buffer[224] | buffer[225], 0) << "the end marker is a zero Size";
  std::uint32_t full = 239;
  EXPECT_FALSE(add_dir_info(nullptr, buffer.data(), buffer.size(), &full)) << "no room after alignment";
}

TEST(NtStatusFromWin32, MapsTheCodesTheMountPasses) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {2, 0xC0000034},   {5, 0xC0000022},   {87, 0xC000000D}, {183, 0xC0000035}, {206, 0xC0000106},
      {267, 0xC0000103}, {336, 0xC00000BA}, {0, 0},           {1, 0xC0000001},
  };
  for (const auto& [error, status] : cases)
    EXPECT_EQ(nt_status_from_win32(error), nt_status(status)) << error;
}

TEST(ControlRequest, LinesCarryWordsAndWriteAndHoldCarryTheirBytes) {
  const std::vector<std::string> words = {"write", "\\a b\\c", "12"};
  EXPECT_EQ(request_line(words), "write\t\\a b\\c\t12\n");
  EXPECT_EQ(split_request_line("write\t\\a b\\c\t12"), words);
  EXPECT_EQ(payload_size(std::vector<std::string>{"read", "\\a"}), 0u);
  for (const std::string command : {"write", "hold"}) {
    EXPECT_EQ(payload_size(std::vector<std::string>{command, "\\a", "12"}), 12u) << command;
    for (const std::string count : {"", "-1", "1x", "268435457"}) {
      EXPECT_FALSE(payload_size(std::vector<std::string>{command, "\\a", count})) << command << " " << count;
    }
    EXPECT_EQ(payload_size(std::vector<std::string>{command, "\\a"}).error(),
              command + " takes a path and a byte count");
  }
}

TEST(ControlRequest, PipeIsNamedAfterTheMountPoint) {
  EXPECT_EQ(control_pipe_name(u"M:"), u"\\\\.\\pipe\\winfsp-stub.M:");
  EXPECT_EQ(control_pipe_name(u"C:\\mnt\\ibmi"), u"\\\\.\\pipe\\winfsp-stub.C:/mnt/ibmi");
}

}  // namespace
}  // namespace winfsp_stub
