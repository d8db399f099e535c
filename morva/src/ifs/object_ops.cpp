#include "ifs/reply_chain.hpp"
#include "morva/ifs/client.hpp"
#include "morva/ifs/return_code.hpp"
#include "morva/server/remote_path.hpp"

#include <fmt/format.h>

// <windows.h>, which Asio brings in, maps these request names to its own functions.
#undef CreateDirectory
#undef DeleteFile

namespace morva::ifs {

namespace {

constexpr std::uint16_t kObjectAttributesReplyId = 0x8005;
constexpr std::uint16_t kCloseReplyId = 0x8004;
constexpr std::uint64_t kReturnCodeReplyMinimum = 24;
constexpr std::uint16_t kNoMoreAttributes = 18;

Result<void> take_object_reply(Packet packet, std::string_view path, std::optional<std::uint16_t>& ccsid) {
  const auto reply_id = read_u16(packet, 18);
  if (!reply_id) return std::unexpected(reply_id.error());
  if (*reply_id == kReturnCodeReplyId) return check_chained_return_code(packet, kNoMoreAttributes, path);
  if (*reply_id != kObjectAttributesReplyId)
    return fail(fmt::format("unexpected object-attribute reply 0x{:04X}", *reply_id));
  auto parsed = parse_object_ccsid(packet);
  if (!parsed) return std::unexpected(parsed.error());
  ccsid = *parsed;
  return {};
}

// A reply that carries only a return code, 0 meaning success.
Result<void> check_return_code(Packet packet, std::string_view path) {
  const auto code = read_u16(packet, 22);
  if (!code) return std::unexpected(code.error());
  if (*code != 0) return std::unexpected(return_code_error(*code, path));
  return {};
}

}  // namespace

asio::awaitable<Result<std::optional<std::uint16_t>>> IfsClient::object_attributes(std::uint32_t file_handle,
                                                                                   std::string path) {
  IfsRequest request = ListObjectAttributes{file_handle};
  if (auto sent = co_await send_request(std::move(request)); !sent) co_return std::unexpected(sent.error());
  std::optional<std::uint16_t> ccsid;
  auto chain = ReplyChain::capped_by_replies(*this);
  while (true) {
    auto packet = co_await chain.next();
    if (!packet) co_return std::unexpected(packet.error());
    if (!*packet) co_return ccsid;
    if (auto taken = take_object_reply(**packet, path, ccsid); !taken) {
      co_await chain.skip_rest();
      co_return std::unexpected(taken.error());
    }
  }
}

asio::awaitable<Result<void>> IfsClient::close_file(std::uint32_t file_handle, std::string path) {
  IfsRequest request = CloseFile{file_handle};
  if (auto sent = co_await send_request(std::move(request)); !sent) co_return std::unexpected(sent.error());
  const auto packet = co_await receive_reply();
  if (!packet) co_return std::unexpected(packet.error());
  const auto reply_id = read_u16(*packet, 18);
  if (!reply_id) co_return std::unexpected(reply_id.error());
  if (*reply_id != kCloseReplyId && *reply_id != kReturnCodeReplyId)
    co_return fail(fmt::format("unexpected file close reply 0x{:04X}", *reply_id));
  co_return check_return_code(*packet, path);
}

asio::awaitable<Result<void>> IfsClient::request_return_code(IfsRequest request, std::string path) {
  if (auto sent = co_await send_request(std::move(request)); !sent) co_return std::unexpected(sent.error());
  const auto packet = co_await receive_reply();
  if (!packet) co_return std::unexpected(packet.error());
  if (auto checked = check_reply(*packet, kReturnCodeReplyId, kReturnCodeReplyMinimum); !checked)
    co_return std::unexpected(checked.error());
  co_return check_return_code(*packet, path);
}

asio::awaitable<Result<void>> IfsClient::create_directory(std::string path) {
  std::string normalized = server::normalize_remote_path(path);
  if (auto allowed = server::ensure_not_root(normalized); !allowed) co_return allowed;
  IfsRequest request = CreateDirectory{normalized, ccsid_};
  co_return co_await request_return_code(std::move(request), std::move(normalized));
}

asio::awaitable<Result<void>> IfsClient::delete_file(std::string path) {
  IfsRequest request = DeleteFile{path, ccsid_};
  co_return co_await request_return_code(std::move(request), std::move(path));
}

asio::awaitable<Result<void>> IfsClient::delete_directory(std::string path) {
  IfsRequest request = DeleteDirectory{path, ccsid_};
  co_return co_await request_return_code(std::move(request), std::move(path));
}

asio::awaitable<Result<void>> IfsClient::remove(std::string path) {
  std::string normalized = server::normalize_remote_path(path);
  if (auto allowed = server::ensure_not_root(normalized); !allowed) co_return allowed;
  const auto entry = co_await stat(normalized);
  if (!entry) co_return std::unexpected(entry.error());
  if (entry->kind == kDirectoryKind) co_return co_await delete_directory(std::move(normalized));
  co_return co_await delete_file(std::move(normalized));
}

asio::awaitable<Result<void>> IfsClient::rename(std::string from, std::string to, bool replace) {
  std::string source = server::normalize_remote_path(from);
  std::string target = server::normalize_remote_path(to);
  if (auto allowed = server::ensure_not_root(source); !allowed) co_return allowed;
  if (auto allowed = server::ensure_not_root(target); !allowed) co_return allowed;
  IfsRequest request = Rename{source, std::move(target), ccsid_, replace};
  co_return co_await request_return_code(std::move(request), std::move(source));
}

}  // namespace morva::ifs
