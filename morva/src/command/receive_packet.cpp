#include "morva/command/receive_packet.hpp"

#include "morva/server/packet_stream.hpp"

namespace morva::command {

asio::awaitable<Result<std::vector<std::uint8_t>>> receive_packet(asio::ip::tcp::socket& stream,
                                                                  const server::TimeLimit& limit) {
  co_return co_await server::read_packet(stream, server::kCommandPackets, limit);
}

}  // namespace morva::command
