#pragma once

#include "morva/error.hpp"
#include "morva/ifs/request.hpp"
#include "morva/secret.hpp"

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morva::ifs {

// One authenticated connection to the IBM i file server. Exactly one caller uses it at a time.
class IfsClient {
 public:
  // Opens the connection, proves the password with a substitute, starts the server job and agrees on
  // the CCSID and datastream level. The password is only borrowed.
  static asio::awaitable<Result<IfsClient>> connect(std::string host, std::uint16_t port, std::string user,
                                                    const Secret& password, std::uint8_t password_level);

  // Writes one request whole; a sensitive request's packet is wiped afterwards on every path.
  asio::awaitable<Result<void>> send_request(IfsRequest request);
  // Reads one whole reply packet.
  asio::awaitable<Result<std::vector<std::uint8_t>>> receive_reply();

  const std::string& job_name() const { return job_name_; }
  std::uint32_t data_block_size() const { return data_block_size_; }
  std::uint16_t ccsid() const { return ccsid_; }
  std::uint16_t datastream_level() const { return datastream_level_; }

 private:
  explicit IfsClient(asio::ip::tcp::socket stream) : stream_(std::move(stream)) {}

  asio::ip::tcp::socket stream_;
  std::string job_name_;
  std::uint32_t data_block_size_ = 0;
  std::uint16_t ccsid_ = 0;
  std::uint16_t datastream_level_ = 0;
};

}  // namespace morva::ifs
