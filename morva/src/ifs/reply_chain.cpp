#include "ifs/reply_chain.hpp"

#include "morva/ifs/return_code.hpp"

#include <fmt/format.h>

namespace morva::ifs {

namespace {

constexpr std::uint64_t kChainIndicatorOffset = 20;
constexpr std::uint16_t kMoreRepliesBit = 0x0001;

}  // namespace

asio::awaitable<Result<std::vector<std::uint8_t>>> ReplyChain::receive() {
  auto packet = co_await client_.receive_reply();
  if (!packet) {
    more_ = false;
    co_return packet;
  }
  ++replies_;
  bytes_ += packet->size();
  const auto chain = read_u16(*packet, kChainIndicatorOffset);
  if (!chain) {
    // Whether more replies follow is unknown.
    more_ = false;
    client_.usable_ = false;
    co_return std::unexpected(chain.error());
  }
  more_ = (*chain & kMoreRepliesBit) != 0;
  if (more_ && bytes_ > max_bytes_) {
    more_ = false;
    client_.usable_ = false;
    co_return fail(fmt::format("file-service reply chain exceeds {} bytes", max_bytes_));
  }
  co_return packet;
}

asio::awaitable<Result<std::optional<std::vector<std::uint8_t>>>> ReplyChain::next() {
  if (!more_) co_return std::nullopt;
  if (replies_ == max_replies_) {
    co_await skip_rest();
    co_return fail(fmt::format("file-service reply chain exceeds {} replies", max_replies_));
  }
  auto packet = co_await receive();
  if (!packet) co_return std::unexpected(packet.error());
  co_return std::move(*packet);
}

asio::awaitable<void> ReplyChain::skip_rest() {
  while (more_) {
    if (const auto packet = co_await receive(); !packet) co_return;
  }
}

Result<void> check_chained_return_code(Packet packet, std::uint16_t end_code, std::string_view path) {
  const auto code = read_u16(packet, 22);
  if (!code) return std::unexpected(code.error());
  if (*code != 0 && *code != end_code) return std::unexpected(return_code_error(*code, path));
  return {};
}

}  // namespace morva::ifs
