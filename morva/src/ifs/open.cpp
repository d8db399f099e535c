#include "morva/ifs/client.hpp"

namespace morva::ifs {

// Requests are named: GCC 12 destroys a temporary inside a co_await expression twice.
asio::awaitable<Result<OpenReply>> IfsClient::open_for_read(std::string path) {
  IfsRequest request = OpenFile{path, ccsid_, datastream_level_};
  co_return co_await open_by(std::move(request), std::move(path));
}

asio::awaitable<Result<OpenReply>> IfsClient::open_for_write(std::string path, std::uint16_t option) {
  IfsRequest request = OpenFileForWrite{path, ccsid_, datastream_level_, option};
  co_return co_await open_by(std::move(request), std::move(path));
}

asio::awaitable<Result<OpenReply>> IfsClient::open_by(IfsRequest request, std::string path) {
  if (auto sent = co_await send_request(std::move(request)); !sent) co_return std::unexpected(sent.error());
  const auto packet = co_await receive_reply();
  if (!packet) co_return std::unexpected(packet.error());
  co_return parse_open_reply(*packet, datastream_level_, path);
}

}  // namespace morva::ifs
