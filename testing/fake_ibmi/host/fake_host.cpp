#include "fake_ibmi/host/fake_host.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <set>
#include <thread>

#include <asio/buffer.hpp>
#include <asio/co_spawn.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/read.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>

#include "fake_ibmi/host/conversation.hpp"

namespace fake_ibmi {
namespace {

using asio::ip::tcp;
constexpr auto use_tuple = asio::experimental::as_tuple(asio::use_awaitable);

constexpr std::uint32_t kMinPacketLength = 20;
constexpr std::uint32_t kMaxPacketLength = 16 * 1024 * 1024;

std::unique_ptr<Conversation> start_conversation(Service service, std::shared_ptr<HostState> state) {
  switch (service) {
    case Service::signon: return start_signon_conversation(std::move(state));
    case Service::file: return start_file_conversation(std::move(state));
    case Service::command: return start_command_conversation(std::move(state));
  }
  return nullptr;
}

// One request packet, or nothing when the stream ends or announces an impossible length.
asio::awaitable<std::optional<Bytes>> read_packet(tcp::socket& socket) {
  Bytes packet(4);
  const auto [error, got] = co_await asio::async_read(socket, asio::buffer(packet), use_tuple);
  if (error) co_return std::nullopt;
  const std::uint32_t length = std::uint32_t{packet[0]} << 24 | std::uint32_t{packet[1]} << 16 |
                               std::uint32_t{packet[2]} << 8 | packet[3];
  if (length < kMinPacketLength || length > kMaxPacketLength) co_return std::nullopt;
  packet.resize(length);
  const auto [rest_error, rest] =
      co_await asio::async_read(socket, asio::buffer(packet.data() + 4, length - 4), use_tuple);
  if (rest_error) co_return std::nullopt;
  co_return packet;
}

}  // namespace

// Everything here runs on the servers' thread, apart from construction and the join in stop().
struct FakeHost::Network {
  asio::io_context io;
  std::array<tcp::acceptor, 3> acceptors{tcp::acceptor(io), tcp::acceptor(io), tcp::acceptor(io)};
  std::set<std::shared_ptr<tcp::socket>> sockets;
  std::thread thread;

  std::uint16_t listen(tcp::acceptor& acceptor, const asio::ip::address& address, std::uint16_t port) {
    const tcp::endpoint endpoint(address, port);
    acceptor.open(endpoint.protocol());
    acceptor.set_option(tcp::acceptor::reuse_address(true));
    acceptor.bind(endpoint);
    acceptor.listen();
    return acceptor.local_endpoint().port();
  }

  void spawn(asio::awaitable<void> task) {
    asio::co_spawn(io, std::move(task), [](std::exception_ptr failure) {
      if (!failure) return;
      try {
        std::rethrow_exception(failure);
      } catch (const std::exception& error) {
        std::fprintf(stderr, "fake IBM i: connection failed: %s\n", error.what());
      }
    });
  }

  asio::awaitable<void> accept(tcp::acceptor& acceptor, Service service, std::shared_ptr<HostState> state) {
    while (true) {
      auto socket = std::make_shared<tcp::socket>(io);
      const auto [error] = co_await acceptor.async_accept(*socket, use_tuple);
      if (error) co_return;
      sockets.insert(socket);
      spawn(converse(socket, start_conversation(service, state)));
    }
  }

  asio::awaitable<void> converse(std::shared_ptr<tcp::socket> socket,
                                 std::unique_ptr<Conversation> conversation) {
    while (true) {
      const auto request = co_await read_packet(*socket);
      if (!request) break;
      const Answer answer = conversation->answer(*request);
      std::vector<asio::const_buffer> replies;
      for (const Bytes& reply : answer.replies) replies.push_back(asio::buffer(reply));
      const auto [error, written] = co_await asio::async_write(*socket, replies, use_tuple);
      if (error || answer.close) break;
    }
    std::error_code ignored;
    socket->close(ignored);
    sockets.erase(socket);
  }

  void close_all() {
    std::error_code ignored;
    for (auto& acceptor : acceptors) acceptor.close(ignored);
    for (const auto& socket : sockets) socket->close(ignored);
  }
};

FakeHost::FakeHost(IfsTree tree, HostSettings settings, const std::string& address, HostPorts ports)
    : state_(std::make_shared<HostState>(std::move(tree), std::move(settings))),
      address_(address),
      network_(std::make_unique<Network>()) {
  const auto ip = asio::ip::make_address(address);
  Network& network = *network_;
  ports_.signon = network.listen(network.acceptors[0], ip, ports.signon);
  ports_.file = network.listen(network.acceptors[1], ip, ports.file);
  ports_.command = network.listen(network.acceptors[2], ip, ports.command);
  network.spawn(network.accept(network.acceptors[0], Service::signon, state_));
  network.spawn(network.accept(network.acceptors[1], Service::file, state_));
  network.spawn(network.accept(network.acceptors[2], Service::command, state_));
  network.thread = std::thread([&network] { network.io.run(); });
}

FakeHost::~FakeHost() {
  stop();
}

void FakeHost::stop() {
  if (!network_->thread.joinable()) return;
  asio::post(network_->io, [network = network_.get()] { network->close_all(); });
  network_->thread.join();
}

std::vector<ServedRequest> FakeHost::requests() const {
  const std::lock_guard lock(state_->mutex);
  return state_->served;
}

std::size_t FakeHost::count(RequestKind kind) const {
  const std::lock_guard lock(state_->mutex);
  return static_cast<std::size_t>(std::ranges::count(state_->served, kind, &ServedRequest::kind));
}

void FakeHost::clear_requests() {
  const std::lock_guard lock(state_->mutex);
  state_->served.clear();
}

void FakeHost::fail_next(RequestKind kind, std::uint32_t return_code, std::size_t served_first) {
  const std::lock_guard lock(state_->mutex);
  state_->faults.push_back(
      {.kind = kind, .return_code = return_code, .close = true, .served_first = served_first});
}

void FakeHost::drop_next(RequestKind kind) {
  const std::lock_guard lock(state_->mutex);
  state_->faults.push_back({.kind = kind, .return_code = std::nullopt, .close = true, .served_first = 0});
}

void FakeHost::hang_next(RequestKind kind) {
  const std::lock_guard lock(state_->mutex);
  state_->faults.push_back({.kind = kind, .return_code = std::nullopt, .close = false, .served_first = 0});
}

void FakeHost::set_silent(bool silent) {
  const std::lock_guard lock(state_->mutex);
  state_->silent = silent;
}

}  // namespace fake_ibmi
