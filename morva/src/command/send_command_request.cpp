#include "command/send_command_request.hpp"

#include "morva/server/packet_stream.hpp"

namespace morva::command {

asio::awaitable<Result<void>> send_command_request(asio::ip::tcp::socket& stream, CommandRequest request,
                                                   const server::TimeLimit& limit) {
  std::vector<std::uint8_t> packet = request.encode();
  co_return co_await server::write_packet(stream, server::kCommandPackets, request.name(), packet,
                                          request.sensitive(), limit);
}

}  // namespace morva::command
