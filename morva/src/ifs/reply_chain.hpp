#pragma once

#include "morva/error.hpp"
#include "morva/ifs/client.hpp"

#include "morva/ifs/reply_fields.hpp"

#include <asio/awaitable.hpp>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace morva::ifs {

// The replies of one chained exchange (listing, object attributes, read): each carries a chain
// indicator at offset 20 whose bit 0 says that another reply follows.
class ReplyChain {
 public:
  // A server that chains beyond this many replies is not answering in any sane way.
  static constexpr std::uint64_t kMaxReplies = 1 << 20;

  explicit ReplyChain(IfsClient& client, std::uint64_t max_replies = kMaxReplies)
      : client_(client), max_replies_(max_replies) {}

  // The next reply, or nothing once the last one has been read.
  asio::awaitable<Result<std::optional<std::vector<std::uint8_t>>>> next();

  // Reads and drops what is left of the chain after a failure, so that the next exchange does not take
  // a stale reply as its own. When that cannot be done the connection is marked unusable.
  asio::awaitable<void> skip_rest();

 private:
  IfsClient& client_;
  std::uint64_t max_replies_;
  std::uint64_t received_ = 0;
  bool more_ = true;
};

// A return-code reply inside a chain: 0 and the exchange's own end code pass, any other code fails.
Result<void> check_chained_return_code(Packet packet, std::uint16_t end_code, std::string_view path);

}  // namespace morva::ifs
