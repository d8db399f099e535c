#include "ifs/close_after.hpp"
#include "ifs/offset_range.hpp"
#include "morva/ifs/client.hpp"
#include "morva/server/remote_path.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <limits>

namespace morva::ifs {

namespace {

constexpr std::uint64_t kLargestTruncateBeforeLargeFiles = 0x7FFFFFFF;

// Whether a missing file is made, and whether an existing one is kept, emptied or refused.
enum OpenOption : std::uint16_t {
  kCreateOrOpen = 1,
  kCreateOrReplace = 2,
  kCreateOnly = 4,
  kOpenExisting = 8,
  kReplaceExisting = 16,
};

// The open option of a write: create and/or replace, with or without a given position.
Result<std::uint16_t> open_option(const WriteOptions& options) {
  if (options.create && options.overwrite) return options.offset ? kCreateOrOpen : kCreateOrReplace;
  if (options.create) return kCreateOnly;
  if (options.overwrite) return options.offset ? kOpenExisting : kReplaceExisting;
  return fail("ifs/write requires create or overwrite to be enabled");
}

}  // namespace

asio::awaitable<Result<std::uint64_t>> IfsClient::write_chunks(std::uint32_t file_handle, std::uint64_t start,
                                                               std::span<const std::uint8_t> bytes,
                                                               std::string path) {
  const std::uint64_t chunk = data_block_size_ == 0 ? 1 : data_block_size_;
  std::uint64_t position = start;
  for (std::uint64_t done = 0; done < bytes.size();) {
    const std::uint64_t length = std::min<std::uint64_t>(chunk, bytes.size() - done);
    const auto piece = bytes.subspan(done, length);
    IfsRequest request = WriteFile{file_handle, position, {piece.begin(), piece.end()}, datastream_level_};
    if (auto sent = co_await send_request(std::move(request)); !sent) co_return std::unexpected(sent.error());
    const auto packet = co_await receive_reply();
    if (!packet) co_return std::unexpected(packet.error());
    const auto written = parse_write_reply(*packet, length, path);
    if (!written) co_return std::unexpected(written.error());
    if (position > std::numeric_limits<std::uint64_t>::max() - *written)
      co_return fail("write offset overflow");
    position += *written;
    done += length;
  }
  co_return position - start;
}

asio::awaitable<Result<std::uint64_t>> IfsClient::write(std::string path, std::span<const std::uint8_t> bytes,
                                                        WriteOptions options) {
  std::string normalized = server::normalize_remote_path(path);
  if (auto allowed = server::ensure_not_root(normalized); !allowed)
    co_return std::unexpected(allowed.error());
  // A member's records hold its text as the source-member write encodes it, never raw bytes.
  if (server::is_source_member_path(normalized))
    co_return fail("native writes are unavailable for QSYS source members");
  co_return co_await write_checked(std::move(normalized), bytes, options);
}

asio::awaitable<Result<std::uint64_t>> IfsClient::write_checked(std::string normalized,
                                                                std::span<const std::uint8_t> bytes,
                                                                WriteOptions options) {
  const std::uint64_t start = options.offset.value_or(0);
  if (auto checked = check_offset_range(start, bytes.size(), datastream_level_, "write offset overflow");
      !checked)
    co_return std::unexpected(checked.error());
  const auto option = open_option(options);
  if (!option) co_return std::unexpected(option.error());

  const auto opened = co_await open_for_write(normalized, *option);
  if (!opened) co_return std::unexpected(opened.error());
  auto written = co_await write_chunks(opened->file_handle, start, bytes, normalized);
  co_return co_await close_after(*this, opened->file_handle, std::move(normalized), std::move(written));
}

asio::awaitable<Result<WrittenRange>> IfsClient::append(std::string path,
                                                        std::span<const std::uint8_t> bytes) {
  std::string normalized = server::normalize_remote_path(path);
  if (auto allowed = server::ensure_not_root(normalized); !allowed)
    co_return std::unexpected(allowed.error());
  if (server::is_source_member_path(normalized))
    co_return fail("native appends are unavailable for QSYS source members");
  const auto opened = co_await open_for_write(normalized, kOpenExisting);
  if (!opened) co_return std::unexpected(opened.error());

  const std::uint64_t start = opened->size;
  Result<WrittenRange> appended;
  if (auto checked = check_offset_range(start, bytes.size(), datastream_level_, "write offset overflow");
      !checked) {
    appended = std::unexpected(checked.error());
  } else if (auto written = co_await write_chunks(opened->file_handle, start, bytes, normalized); !written) {
    appended = std::unexpected(written.error());
  } else {
    appended = WrittenRange{.offset = start, .count = *written};
  }
  co_return co_await close_after(*this, opened->file_handle, std::move(normalized), std::move(appended));
}

asio::awaitable<Result<std::uint64_t>> IfsClient::write_file(std::string path,
                                                             std::span<const std::uint8_t> bytes, bool create,
                                                             bool overwrite) {
  co_return co_await write(std::move(path), bytes, WriteOptions{std::nullopt, create, overwrite});
}

asio::awaitable<Result<void>> IfsClient::truncate(std::string path, std::uint64_t size) {
  std::string normalized = server::normalize_remote_path(path);
  if (auto allowed = server::ensure_not_root(normalized); !allowed) co_return allowed;
  if (server::is_source_member_path(normalized))
    co_return fail("native truncation is unavailable for QSYS source members");
  if (size > kLargestTruncateBeforeLargeFiles && datastream_level_ < kLargeFileLevel)
    co_return fail(fmt::format("file size {} requires file-service data stream level 16 or newer", size));
  IfsRequest request = Truncate{normalized, ccsid_, size, datastream_level_};
  co_return co_await request_return_code(std::move(request), std::move(normalized));
}

}  // namespace morva::ifs
