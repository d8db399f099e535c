#include "ifs/close_after.hpp"
#include "morva/ccsid/codec.hpp"
#include "morva/ccsid/source_member.hpp"
#include "morva/ifs/client.hpp"
#include "morva/log.hpp"
#include "morva/server/remote_path.hpp"

#include <fmt/format.h>

namespace morva::ifs {

namespace {

constexpr std::uint16_t kNoDataCcsid = 0xFFFF;
constexpr std::uint64_t kLargestSingleRead = 0xFFFFFFFF;

std::string debug_form(const Result<std::optional<std::uint16_t>>& ccsid) {
  if (!ccsid) return fmt::format("error({:?})", ccsid.error().text());
  return *ccsid ? fmt::format("ok({})", **ccsid) : "ok(none)";
}

Result<std::vector<std::uint8_t>> decode_member(const std::vector<std::uint8_t>& data,
                                                std::uint16_t data_ccsid,
                                                std::optional<std::uint16_t> object_ccsid,
                                                std::optional<std::uint64_t> record_length) {
  const std::optional<std::uint16_t> ccsid = data_ccsid != kNoDataCcsid ? data_ccsid : object_ccsid;
  if (!ccsid) return fail("IBM i did not report a CCSID for the source member");
  auto text =
      record_length ? ccsid::decode_source_member(data, *ccsid, *record_length) : ccsid::decode(data, *ccsid);
  if (!text) return std::unexpected(text.error());
  return std::vector<std::uint8_t>(text->begin(), text->end());
}

}  // namespace

asio::awaitable<Result<std::vector<std::uint8_t>>> IfsClient::read_whole(
    std::string path, std::uint64_t maximum_size, std::optional<std::uint64_t> record_length) {
  std::string normalized = server::normalize_remote_path(path);
  const bool member = server::is_source_member_path(normalized);
  const auto opened = co_await open_for_read(normalized);
  if (!opened) co_return std::unexpected(opened.error());
  Result<std::optional<std::uint16_t>> object_ccsid = std::optional<std::uint16_t>{};
  if (member) {
    auto queried = co_await object_attributes(opened->file_handle, normalized);
    object_ccsid = std::move(queried);
  }
  log::debug(
      "morva::ifs::read", "resolved file data CCSIDs",
      {{"path", normalized}, {"data_ccsid", opened->data_ccsid}, {"object_ccsid", debug_form(object_ccsid)}});

  Result<std::vector<std::uint8_t>> data = std::vector<std::uint8_t>{};
  if (opened->size > maximum_size) {
    data =
        fail(fmt::format("file is {} bytes; terminal display limit is {} bytes", opened->size, maximum_size));
  } else if (!object_ccsid) {
    data = std::unexpected(object_ccsid.error());
  } else if (opened->size > kLargestSingleRead) {
    data = fail(fmt::format("file is too large for one file-service read: {}", normalized));
  } else {
    auto read =
        co_await read_handle(opened->file_handle, 0, static_cast<std::uint32_t>(opened->size), normalized);
    data = std::move(read);
  }
  auto closed = co_await close_after(*this, opened->file_handle, normalized, std::move(data));
  if (!closed || !member) co_return closed;
  co_return decode_member(*closed, opened->data_ccsid, *object_ccsid, record_length);
}

asio::awaitable<Result<std::vector<std::uint8_t>>> IfsClient::read_file(std::string path,
                                                                        std::uint64_t maximum_size) {
  co_return co_await read_whole(std::move(path), maximum_size, std::nullopt);
}

asio::awaitable<Result<std::vector<std::uint8_t>>> IfsClient::read_source_member(
    std::string path, std::uint64_t maximum_size, std::uint64_t record_length) {
  co_return co_await read_whole(std::move(path), maximum_size, record_length);
}

asio::awaitable<Result<void>> IfsClient::write_source_member(std::string path, std::string text,
                                                             std::uint64_t record_length) {
  std::string normalized = server::normalize_remote_path(path);
  if (!server::is_source_member_path(normalized))
    co_return fail("source-member writes require a QSYS .MBR path");
  const auto ccsid = co_await source_member_ccsid(normalized);
  if (!ccsid) co_return std::unexpected(ccsid.error());
  const auto bytes = ccsid::encode_source_member(text, *ccsid, record_length);
  if (!bytes) co_return std::unexpected(bytes.error());
  const auto written = co_await write_checked(normalized, *bytes, WriteOptions{std::nullopt, false, true});
  if (!written) co_return std::unexpected(written.error());
  if (*written != bytes->size())
    co_return fail(fmt::format("file-service wrote {} of {} encoded source bytes to {}", *written,
                               bytes->size(), normalized));
  co_return Result<void>{};
}

}  // namespace morva::ifs
