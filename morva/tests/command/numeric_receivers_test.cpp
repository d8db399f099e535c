#include "morva/command/receivers.hpp"

#include "reply_builder.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace morva::command {
namespace {

using testing::Receiver;

// FILD0100 receiver: attribute byte at 8 (0x08 marks a source file), record length (u16) at 304.
Receiver file_receiver(std::size_t size, std::uint8_t attributes, std::uint16_t record_length) {
  Receiver receiver(size);
  receiver.byte(8, attributes);
  if (size >= 306) receiver.u16(304, record_length);
  return receiver;
}

TEST(FileDescription, ReadsTheRecordLengthOfSourceFiles) {
  struct Case {
    std::string_view name;
    Receiver receiver;
    std::optional<std::uint16_t> record_length;
    std::string_view error;
  };
  const Case cases[] = {
      {"source file", file_receiver(400, 0x08, 92), 92, ""},
      {"other attribute bits", file_receiver(306, 0xFF, 13), 13, ""},
      {"data file", file_receiver(400, 0xF7, 92), std::nullopt,
       "database file is not a source physical file"},
      {"record length 12", file_receiver(400, 0x08, 12), std::nullopt,
       "source file reported invalid record length 12"},
      {"receiver of 305 bytes", file_receiver(305, 0x08, 0), std::nullopt,
       "file-description receiver does not contain a record length"},
      {"empty receiver", Receiver(0), std::nullopt,
       "file-description receiver does not contain a record length"},
  };
  for (const Case& c : cases) {
    const auto file = FileDescription::parse(c.receiver.reply());
    if (c.record_length) {
      ASSERT_TRUE(file.has_value()) << c.name << ": " << file.error().text();
      EXPECT_EQ(file->record_length, *c.record_length) << c.name;
    } else {
      ASSERT_FALSE(file.has_value()) << c.name;
      EXPECT_EQ(file.error().text(), c.error) << c.name;
    }
  }
}

// SSTS0200 receiver: bytes returned (u32) at 4, system ASP at 48, its used part at 52, total
// auxiliary storage at 56.
Receiver storage_receiver(std::size_t size, std::uint32_t bytes_returned, std::uint32_t used) {
  Receiver receiver(size);
  receiver.u32(0, 144).u32(4, bytes_returned);
  if (size >= 60) receiver.u32(48, 512'000).u32(52, used).u32(56, 2'048'000);
  return receiver;
}

TEST(SystemStorage, ReadsTheStorageFigures) {
  struct Case {
    std::string_view name;
    Receiver receiver;
    std::string_view error;  // empty: the figures of storage_receiver
  };
  const Case cases[] = {
      {"full receiver", storage_receiver(144, 144, 431'250), ""},
      {"just the storage fields", storage_receiver(60, 60, 0), ""},
      {"ASP wholly used", storage_receiver(144, 144, 1'000'000), ""},
      {"usage above the whole", storage_receiver(144, 144, 1'000'001),
       "system ASP reported invalid usage value 1000001"},
      {"receiver of 59 bytes", storage_receiver(59, 144, 0),
       "retrieve system status did not return SSTS0200 storage fields"},
      {"59 bytes returned", storage_receiver(144, 59, 0),
       "retrieve system status did not return SSTS0200 storage fields"},
  };
  for (const Case& c : cases) {
    const auto storage = SystemStorage::parse(c.receiver.reply());
    if (c.error.empty()) {
      ASSERT_TRUE(storage.has_value()) << c.name << ": " << storage.error().text();
      EXPECT_EQ(storage->system_asp, 512'000u) << c.name;
      EXPECT_EQ(storage->total_auxiliary_storage, 2'048'000u) << c.name;
    } else {
      ASSERT_FALSE(storage.has_value()) << c.name;
      EXPECT_EQ(storage.error().text(), c.error) << c.name;
    }
  }
  EXPECT_EQ(SystemStorage::parse(storage_receiver(144, 144, 431'250).reply())->system_asp_used, 431'250u);
}

TEST(Receivers, CallProgramErrorsNameTheOperation) {
  const auto failed = testing::program_reply({}, 0x0001);
  EXPECT_EQ(FileDescription::parse(failed).error().text(), "retrieve file description failed with 0x0001");
  EXPECT_EQ(SystemStorage::parse(failed).error().text(), "retrieve system storage failed with 0x0001");
}

}  // namespace
}  // namespace morva::command
