#include "morva/ifs/file_replies.hpp"

#include "ifs/find_item.hpp"
#include "morva/ifs/request.hpp"
#include "morva/ifs/return_code.hpp"

#include <fmt/format.h>

namespace morva::ifs {

namespace {

constexpr std::uint16_t kOpenReplyId = 0x8002;
constexpr std::uint16_t kReadReplyId = 0x8003;
constexpr std::uint16_t kWriteReplyId = 0x800B;

constexpr std::uint64_t kOpenReplyMinimum = 66;
constexpr std::uint64_t kLargeOpenReplyMinimum = 97;
constexpr std::uint64_t kReadReplyMinimum = 30;
constexpr std::uint64_t kWriteReplyMinimum = 32;

constexpr std::uint64_t kReadDataItemOffset = 24;

}  // namespace

Result<OpenReply> parse_open_reply(Packet packet, std::uint16_t datastream_level, std::string_view path) {
  auto id = read_u16(packet, 18);
  if (!id) return std::unexpected(id.error());
  if (*id == kReturnCodeReplyId) {
    auto code = read_u16(packet, 22);
    if (!code) return std::unexpected(code.error());
    return std::unexpected(return_code_error(*code, path));
  }
  const bool wide = datastream_level >= kLargeFileLevel;
  if (auto checked = check_reply(packet, kOpenReplyId, wide ? kLargeOpenReplyMinimum : kOpenReplyMinimum);
      !checked)
    return std::unexpected(checked.error());
  auto handle = read_u32(packet, 22);
  if (!handle) return std::unexpected(handle.error());
  auto ccsid = read_u16(packet, 34);
  if (!ccsid) return std::unexpected(ccsid.error());
  const Result<std::uint64_t> size =
      wide ? read_u64(packet, 89) : Result<std::uint64_t>(read_u32(packet, 62));
  if (!size) return std::unexpected(size.error());
  return OpenReply{*handle, *ccsid, *size};
}

Result<std::span<const std::uint8_t>> parse_read_reply(Packet packet) {
  if (auto checked = check_reply(packet, kReadReplyId, kReadReplyMinimum); !checked)
    return std::unexpected(checked.error());
  // The minimum length puts an item head at the data offset; its CP is not examined.
  auto item = find_item(packet, kReadDataItemOffset, [](const Item&) { return true; });
  if (!item) return std::unexpected(item.error());
  return (*item)->data;
}

Result<std::uint64_t> parse_write_reply(Packet packet, std::uint64_t requested, std::string_view path) {
  if (auto checked = check_reply(packet, kWriteReplyId, kWriteReplyMinimum); !checked)
    return std::unexpected(checked.error());
  auto code = read_u16(packet, 22);
  if (!code) return std::unexpected(code.error());
  if (*code != 0) return std::unexpected(return_code_error(*code, path));
  auto unwritten = read_u32(packet, 28);
  if (!unwritten) return std::unexpected(unwritten.error());
  if (*unwritten > requested)
    return fail(fmt::format("file-service reported {} unwritten bytes for a {}-byte write to {}", *unwritten,
                            requested, path));
  if (*unwritten != 0)
    return fail(
        fmt::format("file-service wrote {} of {} bytes to {}", requested - *unwritten, requested, path));
  return requested;
}

}  // namespace morva::ifs
