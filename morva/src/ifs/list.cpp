#include "ifs/reply_chain.hpp"
#include "morva/ifs/client.hpp"
#include "morva/ifs/listing_order.hpp"
#include "morva/server/remote_path.hpp"

#include <fmt/format.h>

#include <algorithm>

namespace morva::ifs {

namespace {

constexpr std::uint16_t kListingCcsid = 1200;
constexpr std::uint16_t kEntryReplyId = 0x8005;
// Return code of a listing that simply has no more entries.
constexpr std::uint16_t kNoMoreEntries = 18;

Result<void> take_listing_reply(Packet packet, std::uint16_t datastream_level, std::string_view path,
                                std::vector<IfsEntry>& entries) {
  const auto reply_id = read_u16(packet, 18);
  if (!reply_id) return std::unexpected(reply_id.error());
  if (*reply_id == kReturnCodeReplyId) return check_chained_return_code(packet, kNoMoreEntries, path);
  if (*reply_id != kEntryReplyId)
    return fail(fmt::format("unexpected file-service reply 0x{:04X}", *reply_id));
  auto entry = IfsEntry::parse(packet, datastream_level);
  if (!entry) return std::unexpected(entry.error());
  entries.push_back(std::move(*entry));
  return {};
}

}  // namespace

asio::awaitable<Result<std::vector<IfsEntry>>> IfsClient::list_attributes(std::string pattern,
                                                                          std::string path) {
  if (ccsid_ != kListingCcsid)
    co_return fail(fmt::format("file-service selected CCSID {}; only UTF-16 CCSID {} is implemented", ccsid_,
                               kListingCcsid));
  IfsRequest request = ListAttributes{std::move(pattern), ccsid_};
  if (auto sent = co_await send_request(std::move(request)); !sent) co_return std::unexpected(sent.error());
  std::vector<IfsEntry> entries;
  auto chain = ReplyChain::capped_by_replies(*this);
  while (true) {
    auto packet = co_await chain.next();
    if (!packet) co_return std::unexpected(packet.error());
    if (!*packet) break;
    if (auto taken = take_listing_reply(**packet, datastream_level_, path, entries); !taken) {
      co_await chain.skip_rest();
      co_return std::unexpected(taken.error());
    }
  }
  sort_listing(entries);
  co_return entries;
}

asio::awaitable<Result<std::vector<IfsEntry>>> IfsClient::list_directory(std::string path) {
  const std::string directory = server::normalize_remote_path(path);
  std::string pattern = directory == "/" ? "/*" : fmt::format("{}/*", directory);
  auto entries = co_await list_attributes(std::move(pattern), directory);
  if (!entries) co_return entries;
  std::erase_if(*entries, [](const IfsEntry& entry) {
    return entry.name.empty() || entry.name == "." || entry.name == "..";
  });
  co_return entries;
}

asio::awaitable<Result<IfsEntry>> IfsClient::stat(std::string path) {
  const std::string normalized = server::normalize_remote_path(path);
  auto entries = co_await list_attributes(normalized, normalized);
  if (!entries) co_return std::unexpected(entries.error());
  if (entries->empty())
    co_return fail(fmt::format("path returned no file-service attributes: {}", normalized));
  IfsEntry entry = std::move(entries->front());
  if (entry.name.empty()) entry.name = normalized;
  co_return entry;
}

}  // namespace morva::ifs
