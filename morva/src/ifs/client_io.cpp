#include "morva/ifs/client.hpp"

#include "morva/server/packet_stream.hpp"

#include <fmt/format.h>

namespace morva::ifs {
namespace {

Error unusable_error() {
  return Error::io(IoErrorKind::other, "file-service connection is unusable after a failed exchange");
}

// The server as time-out errors name it, from the peer of an adopted stream.
std::string file_service_at(const asio::ip::tcp::socket& stream) {
  std::error_code error;
  const auto peer = stream.remote_endpoint(error);
  if (error) return "file service";
  return fmt::format("file service at {}:{}", peer.address().to_string(), peer.port());
}

}  // namespace

IfsClient::IfsClient(asio::ip::tcp::socket stream, std::string job_name, std::uint32_t data_block_size,
                     std::uint16_t ccsid, std::uint16_t datastream_level, server::ConnectionLimits limits,
                     std::uint64_t max_chain_replies)
    : stream_(std::move(stream)),
      time_limit_{file_service_at(stream_), limits.time_limit},
      max_chain_replies_(max_chain_replies),
      job_name_(std::move(job_name)),
      data_block_size_(data_block_size),
      ccsid_(ccsid),
      datastream_level_(datastream_level) {}

// A failed write or read leaves the stream inside a packet, so the connection is not used again.
asio::awaitable<Result<void>> IfsClient::send_request(IfsRequest request) {
  if (!usable_) co_return std::unexpected(unusable_error());
  // Encoded into a buffer of exactly its length, so the span covers the whole allocation.
  std::vector<std::uint8_t> packet = request.encode();
  Result<void> written = co_await server::write_packet(
      stream_, server::kFileServicePackets, request.trace_name(), packet, request.sensitive(), time_limit_);
  if (!written) usable_ = false;
  co_return written;
}

asio::awaitable<Result<std::vector<std::uint8_t>>> IfsClient::receive_reply() {
  if (!usable_) co_return std::unexpected(unusable_error());
  Result<std::vector<std::uint8_t>> packet =
      co_await server::read_packet(stream_, server::kFileServicePackets, time_limit_);
  if (!packet) usable_ = false;
  co_return packet;
}

}  // namespace morva::ifs
