#include "morva/ifs/client.hpp"

#include "morva/server/packet_stream.hpp"

namespace morva::ifs {

asio::awaitable<Result<void>> IfsClient::send_request(IfsRequest request) {
  // Encoded into a buffer of exactly its length, so the span covers the whole allocation.
  std::vector<std::uint8_t> packet = request.encode();
  co_return co_await server::write_packet(stream_, server::kFileServicePackets, request.trace_name(), packet,
                                          request.sensitive());
}

asio::awaitable<Result<std::vector<std::uint8_t>>> IfsClient::receive_reply() {
  co_return co_await server::read_packet(stream_, server::kFileServicePackets);
}

}  // namespace morva::ifs
