#include "morva/ifs/client.hpp"

#include "morva/server/packet_stream.hpp"

namespace morva::ifs {
namespace {

Error unusable_error() {
  return Error::io(IoErrorKind::other, "file-service connection is unusable after a failed exchange");
}

}  // namespace

IfsClient::IfsClient(asio::ip::tcp::socket stream, std::string job_name, std::uint32_t data_block_size,
                     std::uint16_t ccsid, std::uint16_t datastream_level)
    : stream_(std::move(stream)),
      job_name_(std::move(job_name)),
      data_block_size_(data_block_size),
      ccsid_(ccsid),
      datastream_level_(datastream_level) {}

// A failed write or read leaves the stream inside a packet, so the connection is not used again.
asio::awaitable<Result<void>> IfsClient::send_request(IfsRequest request) {
  if (!usable_) co_return std::unexpected(unusable_error());
  // Encoded into a buffer of exactly its length, so the span covers the whole allocation.
  std::vector<std::uint8_t> packet = request.encode();
  Result<void> written = co_await server::write_packet(stream_, server::kFileServicePackets,
                                                       request.trace_name(), packet, request.sensitive());
  if (!written) usable_ = false;
  co_return written;
}

asio::awaitable<Result<std::vector<std::uint8_t>>> IfsClient::receive_reply() {
  if (!usable_) co_return std::unexpected(unusable_error());
  Result<std::vector<std::uint8_t>> packet =
      co_await server::read_packet(stream_, server::kFileServicePackets);
  if (!packet) usable_ = false;
  co_return packet;
}

}  // namespace morva::ifs
