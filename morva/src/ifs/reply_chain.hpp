#pragma once

#include "morva/error.hpp"
#include "morva/ifs/client.hpp"

#include "morva/ifs/reply_fields.hpp"

#include <asio/awaitable.hpp>

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace morva::ifs {

// The replies of one chained exchange (listing, object attributes, read): each carries a chain
// indicator at offset 20 whose bit 0 says that another reply follows.
class ReplyChain {
 public:
  // A listing or attributes query: past the connection's cap on replies the rest of the chain is
  // read and dropped, and the exchange fails with the connection still in step.
  static ReplyChain capped_by_replies(IfsClient& client) {
    return ReplyChain(client, client.max_chain_replies_, kUnbounded);
  }
  // A read: its replies may bring at most this many bytes, packets whole. A longer chain fails and
  // leaves the connection unusable, as the rest of it cannot be read safely.
  static ReplyChain capped_by_bytes(IfsClient& client, std::uint64_t max_bytes) {
    return ReplyChain(client, kUnbounded, max_bytes);
  }

  // The next reply, or nothing once the last one has been read.
  asio::awaitable<Result<std::optional<std::vector<std::uint8_t>>>> next();

  // Reads and drops what is left of the chain after a failure, so that the next exchange does not take
  // a stale reply as its own. When that cannot be done the connection is marked unusable.
  asio::awaitable<void> skip_rest();

 private:
  static constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();

  ReplyChain(IfsClient& client, std::uint64_t max_replies, std::uint64_t max_bytes)
      : client_(client), max_replies_(max_replies), max_bytes_(max_bytes) {}

  // Reads one reply of the chain, whatever the cap on replies.
  asio::awaitable<Result<std::vector<std::uint8_t>>> receive();

  IfsClient& client_;
  std::uint64_t max_replies_;
  std::uint64_t max_bytes_;
  std::uint64_t replies_ = 0;
  std::uint64_t bytes_ = 0;
  bool more_ = true;
};

// A return-code reply inside a chain: 0 and the exchange's own end code pass, any other code fails.
Result<void> check_chained_return_code(Packet packet, std::uint16_t end_code, std::string_view path);

}  // namespace morva::ifs
