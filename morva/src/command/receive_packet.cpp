#include "morva/command/receive_packet.hpp"

#include "morva/server/packet_stream.hpp"

// GCC 12 takes the coroutine frame for the packet's buffer when it inlines the result's destructor.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
#endif

namespace morva::command {

asio::awaitable<Result<std::vector<std::uint8_t>>> receive_packet(asio::ip::tcp::socket& stream) {
  co_return co_await server::read_packet(stream, server::kCommandPackets);
}

}  // namespace morva::command
