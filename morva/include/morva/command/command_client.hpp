#pragma once

#include "morva/command/command_request.hpp"
#include "morva/command/receivers.hpp"
#include "morva/error.hpp"
#include "morva/server/time_limit.hpp"
#include "morva/signon/credentials.hpp"

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <string>

namespace morva::command {

// One authenticated connection to the remote-command server, used to call IBM i APIs. It serves one
// caller at a time (its users serialise on a lock of their own). An exchange that fails while
// sending or receiving, a time-out included, leaves the stream out of step, so every later call fails
// at once instead of reading a reply meant for an earlier request.
class CommandClient {
 public:
  // Connecting and every later wait for the server fail as timed out past the time limit.
  static asio::awaitable<Result<CommandClient>> connect(std::string host, std::uint16_t port,
                                                        const signon::SignonCredentials& credentials,
                                                        server::ConnectionLimits limits = {});

  CommandClient(CommandClient&&) noexcept = default;
  CommandClient& operator=(CommandClient&&) noexcept = default;

  // Writes one request packet whole.
  asio::awaitable<Result<void>> send_request(CommandRequest request);

  asio::awaitable<Result<MemberDescription>> retrieve_member_description(std::string library,
                                                                         std::string file,
                                                                         std::string member);
  asio::awaitable<Result<FileDescription>> retrieve_file_description(std::string library, std::string file);
  // `object_type` without its '*', such as "FILE".
  asio::awaitable<Result<ObjectDescription>> retrieve_object_description(std::string library,
                                                                         std::string object,
                                                                         std::string object_type);
  asio::awaitable<Result<SystemStorage>> retrieve_system_storage();

  const std::string& job_name() const noexcept { return job_name_; }
  std::uint32_t ccsid() const noexcept { return ccsid_; }
  std::uint16_t datastream_level() const noexcept { return datastream_level_; }

 private:
  enum class State : std::uint8_t { ready, busy, broken };

  CommandClient(asio::ip::tcp::socket stream, server::TimeLimit time_limit, std::string job_name,
                std::uint32_t ccsid, std::uint16_t datastream_level);

  // Sends the request and reads its one reply.
  asio::awaitable<Result<std::vector<std::uint8_t>>> call(CommandRequest request);
  Result<void> check_usable() const;
  std::uint16_t text_ccsid() const noexcept { return static_cast<std::uint16_t>(ccsid_); }

  asio::ip::tcp::socket stream_;
  server::TimeLimit time_limit_;
  std::string job_name_;
  std::uint32_t ccsid_ = 0;
  std::uint16_t datastream_level_ = 0;
  State state_ = State::ready;
};

}  // namespace morva::command
