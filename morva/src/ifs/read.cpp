#include "ifs/close_after.hpp"
#include "ifs/offset_range.hpp"
#include "ifs/reply_chain.hpp"
#include "morva/ifs/client.hpp"
#include "morva/server/remote_path.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace morva::ifs {

namespace {

constexpr std::uint16_t kReadReplyId = 0x8003;
// Return code of a read that reached the end of the data asked for.
constexpr std::uint16_t kEndOfData = 22;
constexpr std::uint16_t kNoDataCcsid = 0xFFFF;
// Beyond its data, a read's replies may bring as many bytes again and 1 MiB more: room for their own
// fields, empty replies and return codes, however the server splits the data.
constexpr std::uint64_t kReadChainAllowance = 1024 * 1024;
// The buffer grows with the data that arrive, from at most this much.
constexpr std::uint64_t kInitialReadReserve = 16 * 1024 * 1024;

// Appends a read reply's data while they stay within the count; `received` counts every byte sent.
Result<void> take_read_reply(Packet packet, std::uint32_t count, std::string_view path,
                             std::uint64_t& received, std::vector<std::uint8_t>& data) {
  const auto reply_id = read_u16(packet, 18);
  if (!reply_id) return std::unexpected(reply_id.error());
  if (*reply_id == kReturnCodeReplyId) return check_chained_return_code(packet, kEndOfData, path);
  if (*reply_id != kReadReplyId) return fail(fmt::format("unexpected file read reply 0x{:04X}", *reply_id));
  const auto bytes = parse_read_reply(packet);
  if (!bytes) return std::unexpected(bytes.error());
  received += bytes->size();
  if (received <= count) data.insert(data.end(), bytes->begin(), bytes->end());
  return {};
}

}  // namespace

asio::awaitable<Result<std::vector<std::uint8_t>>> IfsClient::read_handle(std::uint32_t file_handle,
                                                                          std::uint64_t offset,
                                                                          std::uint32_t count,
                                                                          std::string path) {
  if (count == 0) co_return std::vector<std::uint8_t>{};
  IfsRequest request = ReadFile{file_handle, offset, count, datastream_level_};
  if (auto sent = co_await send_request(std::move(request)); !sent) co_return std::unexpected(sent.error());
  std::vector<std::uint8_t> data;
  data.reserve(std::min<std::uint64_t>(count, kInitialReadReserve));
  std::uint64_t received = 0;
  auto chain = ReplyChain::capped_by_bytes(*this, 2 * std::uint64_t{count} + kReadChainAllowance);
  while (true) {
    auto packet = co_await chain.next();
    if (!packet) co_return std::unexpected(packet.error());
    if (!*packet) break;
    if (auto taken = take_read_reply(**packet, count, path, received, data); !taken) {
      co_await chain.skip_rest();
      co_return std::unexpected(taken.error());
    }
  }
  if (received != count)
    co_return fail(
        fmt::format("file-service returned {} of {} requested bytes for {}", received, count, path));
  co_return data;
}

asio::awaitable<Result<std::vector<std::uint8_t>>> IfsClient::read_range(std::string path,
                                                                         std::uint64_t offset,
                                                                         std::uint32_t length) {
  std::string normalized = server::normalize_remote_path(path);
  if (server::is_source_member_path(normalized))
    co_return fail("native byte-range reads are unavailable for converted QSYS source members");
  if (auto checked = check_offset_range(offset, length, datastream_level_, "read offset overflow"); !checked)
    co_return std::unexpected(checked.error());
  const auto opened = co_await open_for_read(normalized);
  if (!opened) co_return std::unexpected(opened.error());
  const std::uint64_t available = offset < opened->size ? opened->size - offset : 0;
  const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, available));
  auto data = co_await read_handle(opened->file_handle, offset, count, normalized);
  co_return co_await close_after(*this, opened->file_handle, std::move(normalized), std::move(data));
}

asio::awaitable<Result<std::uint16_t>> IfsClient::source_member_ccsid(std::string path) {
  const auto opened = co_await open_for_read(path);
  if (!opened) co_return std::unexpected(opened.error());
  auto object_ccsid = co_await object_attributes(opened->file_handle, path);
  object_ccsid = co_await close_after(*this, opened->file_handle, path, std::move(object_ccsid));
  if (!object_ccsid) co_return std::unexpected(object_ccsid.error());
  if (opened->data_ccsid != kNoDataCcsid) co_return opened->data_ccsid;
  if (!*object_ccsid) co_return fail("IBM i did not report a CCSID for the source member");
  co_return **object_ccsid;
}

}  // namespace morva::ifs
