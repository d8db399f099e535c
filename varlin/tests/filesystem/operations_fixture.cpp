#include "operations_fixture.hpp"

#include <cstring>
#include <span>

#include "winfsp/dir_info.hpp"

namespace varlin::filesystem {

void add_operation_entries(fake_ibmi::IfsTree& tree) {
  tree.add_file("/home/dev/notes.txt", "0123456789")
      .add_file("/home/dev/B", "")
      .add_file("/home/dev/_", "")
      .add_file("/home/dev/a", "")
      .add_directory("/home/dev/sub")
      .add_file("/home/dev/sub/inner.txt", "inner")
      .add_library("OPSLIB")
      .add_source_file("OPSLIB", "QCLSRC", {.record_length = 92, .ccsid = 277})
      .add_member("OPSLIB", "QCLSRC", "HELLO",
                  {.lines = {"PGM", "SNDPGMMSG MSG('Hej')", "ENDPGM"}, .source_type = "CLP"});
}

std::u16string name(std::u16string_view text) {
  std::u16string terminated(text);
  terminated.push_back(u'\0');
  return terminated;
}

Listing listing_in(const std::vector<std::byte>& buffer, std::uint32_t bytes) {
  Listing listing;
  std::uint32_t at = 0;
  while (at + sizeof(std::uint16_t) <= bytes) {
    std::uint16_t size = 0;
    std::memcpy(&size, buffer.data() + at, sizeof(size));
    if (size == 0) {
      listing.ended = true;
      break;
    }
    const auto* record = reinterpret_cast<const winfsp::FSP_FSCTL_DIR_INFO*>(buffer.data() + at);
    listing.names.emplace_back(winfsp::dir_info_name(*record));
    at += (size + 7u) & ~7u;
  }
  return listing;
}

void OperationsTest::SetUp() {
  host.with_tree(add_operation_entries);
  remount(morva::server::kExchangeTimeLimit);
}

void OperationsTest::remount(std::chrono::milliseconds limit) {
  MountSettings settings = settings_for("/");
  settings.max_file_size = 1000;
  settings.time_limit = limit;
  settings.lost_changes = [this](std::string_view line) {
    std::lock_guard lock(lost_changes_lock_);
    lost_changes_.emplace_back(line);
  };
  fs_.reset();
  auto mounted = IfsFileSystem::connect(std::move(settings));
  ASSERT_TRUE(mounted) << mounted.error().text();
  fs_ = std::move(*mounted);
}

OperationResult<OpenFileRef> OperationsTest::open(std::u16string_view path, std::uint32_t options) {
  winfsp::FSP_FSCTL_OPEN_FILE_INFO info{};
  return fs_->open(name(path), options, 0, info);
}

OpenFileRef OperationsTest::opened(std::u16string_view path) {
  auto file = open(path);
  EXPECT_TRUE(file.has_value());
  return file ? *file : nullptr;
}

std::string OperationsTest::read_all(const OpenFileRef& file, std::uint64_t offset, std::uint32_t length) {
  std::vector<std::byte> buffer(length);
  auto count = fs_->read(file, buffer, offset);
  EXPECT_TRUE(count.has_value());
  return count ? std::string(reinterpret_cast<const char*>(buffer.data()), *count) : std::string();
}

std::uint32_t OperationsTest::write(const OpenFileRef& file, std::string_view text, std::uint64_t offset) {
  winfsp::FSP_FSCTL_FILE_INFO info{};
  auto written = fs_->write(file, std::as_bytes(std::span(text)), offset, false, false, info);
  EXPECT_TRUE(written.has_value());
  return written.value_or(0);
}

Listing OperationsTest::list(const OpenFileRef& directory, std::optional<std::u16string> marker,
                             std::uint32_t length) {
  std::vector<std::byte> buffer(length);
  DirectoryBuffer directory_buffer(winfsp_, buffer.data(), length);
  std::optional<std::u16string> terminated = marker ? std::optional(name(*marker)) : std::nullopt;
  auto bytes =
      fs_->read_directory(directory, std::nullopt,
                          terminated ? std::optional<FileName>(*terminated) : std::nullopt, directory_buffer);
  EXPECT_TRUE(bytes.has_value());
  return bytes ? listing_in(buffer, *bytes) : Listing{};
}

void OperationsTest::rename_folder(std::u16string_view from, std::u16string_view to) {
  const auto folder = opened(from);
  ASSERT_TRUE(fs_->rename(folder, name(to), false));
  fs_->cleanup(folder, 0);
  fs_->close(folder);
}

}  // namespace varlin::filesystem
