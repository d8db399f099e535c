#include "fake_ibmi/fake_server.hpp"

#include <exception>
#include <utility>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <asio/awaitable.hpp>
#include <asio/buffer.hpp>
#include <asio/co_spawn.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/read.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>
#include <asio/write.hpp>

#include "fake_ibmi/packet_builder.hpp"

namespace fake_ibmi {
namespace {

using asio::ip::tcp;
constexpr auto use_tuple = asio::experimental::as_tuple(asio::use_awaitable);

constexpr std::size_t kRequestIdOffset = 18;
constexpr std::uint32_t kMaxPacketLength = 16 * 1024 * 1024;

std::uint32_t read_u32(std::span<const std::uint8_t> bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 |
         bytes[3];
}

std::uint16_t request_id_of(std::span<const std::uint8_t> packet) {
  return static_cast<std::uint16_t>(packet[kRequestIdOffset] << 8 | packet[kRequestIdOffset + 1]);
}

// Closes a socket or acceptor when the time is up. The handler may still be queued when the deadline
// has gone, so what it closes is reached through shared state that the destructor disarms.
class Deadline {
 public:
  template <typename Closable>
  Deadline(Closable& target, std::chrono::milliseconds limit)
      : timer_(target.get_executor(), limit), state_(std::make_shared<State>()) {
    state_->expire = [&target] {
      std::error_code ignored;
      target.close(ignored);
    };
    timer_.async_wait([state = state_](std::error_code error) {
      if (error || !state->expire) return;
      state->expired = true;
      state->expire();
    });
  }
  ~Deadline() {
    state_->expire = nullptr;
    timer_.cancel();
  }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  bool expired() const { return state_->expired; }

 private:
  struct State {
    std::function<void()> expire;
    bool expired = false;
  };
  asio::steady_timer timer_;
  std::shared_ptr<State> state_;
};

enum class ScriptEnd { open, closed, failed };

enum class ReadOutcome { packet, timed_out, closed, truncated, bad_length };

struct ReadResult {
  ReadOutcome outcome;
  Bytes bytes;  // the packet, or what arrived of it
  std::uint32_t length = 0;
};

std::string describe(const ConnectionScript::Step& step) {
  if (const auto* exact = std::get_if<ConnectionScript::ExactRequest>(&step)) {
    return fmt::format("request {}", to_hex(exact->packet));
  }
  return fmt::format("request 0x{:04X}", std::get<ConnectionScript::RequestWithId>(step).request_id);
}

bool is_request(const ConnectionScript::Step& step) {
  return std::holds_alternative<ConnectionScript::ExactRequest>(step) ||
         std::holds_alternative<ConnectionScript::RequestWithId>(step);
}

}  // namespace

ConnectionScript& ConnectionScript::expect(Bytes packet) {
  steps_.emplace_back(ExactRequest{std::move(packet)});
  return *this;
}

ConnectionScript& ConnectionScript::expect(std::uint16_t request_id, RequestCheck check) {
  steps_.emplace_back(RequestWithId{request_id, std::move(check)});
  return *this;
}

ConnectionScript& ConnectionScript::send(Bytes bytes) {
  steps_.emplace_back(Send{std::move(bytes)});
  return *this;
}

ConnectionScript& ConnectionScript::close() {
  steps_.emplace_back(Close{});
  return *this;
}

// Everything here runs on the server's thread; the owner's records are read only after it has ended.
struct FakeServer::Session {
  FakeServer& owner;
  std::vector<ConnectionScript> scripts;
  std::chrono::milliseconds wait_limit;
  asio::io_context io;
  tcp::acceptor acceptor{io};
  std::vector<std::shared_ptr<tcp::socket>> idle_sockets;
  bool scripts_done = false;
  bool finishing = false;

  Session(FakeServer& server, std::vector<ConnectionScript> connections, std::chrono::milliseconds limit)
      : owner(server), scripts(std::move(connections)), wait_limit(limit) {
    const tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.1"), 0);
    acceptor.open(endpoint.protocol());
    acceptor.bind(endpoint);
    acceptor.listen();
  }

  void fail(std::string text) { owner.failures_.push_back(std::move(text)); }

  void spawn(asio::awaitable<void> task) {
    asio::co_spawn(io, std::move(task), [this](std::exception_ptr error) {
      if (!error) return;
      try {
        std::rethrow_exception(error);
      } catch (const std::exception& e) {
        fail(fmt::format("fake server stopped: {}", e.what()));
      }
    });
  }

  asio::awaitable<void> serve() {
    for (std::size_t index = 0; index < scripts.size(); ++index) {
      const std::size_t number = index + 1;
      auto socket = std::make_shared<tcp::socket>(io);
      std::error_code error;
      {
        Deadline deadline(acceptor, wait_limit);
        std::tie(error) = co_await acceptor.async_accept(*socket, use_tuple);
        if (deadline.expired()) {
          fail(fmt::format("connection {}: no client connected within {} ms", number, wait_limit.count()));
          break;
        }
      }
      if (error) {
        fail(fmt::format("connection {}: accept failed: {}", number, error.message()));
        break;
      }
      const ScriptEnd end = co_await run_script(*socket, index);
      if (end == ScriptEnd::failed) break;  // one fault, one failure: the rest is not served
      if (end == ScriptEnd::open && !finishing) {
        idle_sockets.push_back(socket);
        spawn(refuse_requests(socket, number));
      }
    }
    scripts_done = true;
    if (finishing || !owner.failures_.empty()) {
      close_all();
    } else {
      spawn(refuse_connections());
    }
  }

  asio::awaitable<ScriptEnd> run_script(tcp::socket& socket, std::size_t index) {
    const auto& steps = scripts[index].steps();
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const std::string where = fmt::format("connection {}, step {}", index + 1, i + 1);
      const auto& step = steps[i];
      if (is_request(step)) {
        if (!co_await receive_expected(socket, step, where)) co_return ScriptEnd::failed;
      } else if (const auto* send = std::get_if<ConnectionScript::Send>(&step)) {
        Deadline deadline(socket, wait_limit);
        const auto [error, written] =
            co_await asio::async_write(socket, asio::buffer(send->bytes), use_tuple);
        if (error) {
          fail(fmt::format("{}: sending {} bytes failed: {}", where, send->bytes.size(), error.message()));
          co_return ScriptEnd::failed;
        }
      } else {
        std::error_code ignored;
        socket.close(ignored);
        co_return ScriptEnd::closed;
      }
    }
    co_return ScriptEnd::open;
  }

  asio::awaitable<bool> receive_expected(tcp::socket& socket, const ConnectionScript::Step& step,
                                         const std::string& where) {
    ReadResult read = co_await read_packet(socket);
    switch (read.outcome) {
      case ReadOutcome::timed_out:
        fail(fmt::format("{}: missing {}: nothing arrived within {} ms", where, describe(step),
                         wait_limit.count()));
        co_return false;
      case ReadOutcome::closed:
        fail(fmt::format("{}: missing {}: the client closed the connection", where, describe(step)));
        co_return false;
      case ReadOutcome::truncated:
        fail(fmt::format("{}: connection closed inside a request after {} of {} bytes: {}", where,
                         read.bytes.size(), read.length, to_hex(read.bytes)));
        co_return false;
      case ReadOutcome::bad_length:
        fail(fmt::format("{}: request with invalid length {}", where, read.length));
        co_return false;
      case ReadOutcome::packet: break;
    }
    owner.received_.push_back(read.bytes);
    const Bytes& packet = owner.received_.back();
    if (const auto* exact = std::get_if<ConnectionScript::ExactRequest>(&step)) {
      if (packet == exact->packet) co_return true;
      fail(fmt::format("{}: request differs from the expected one at offset {}\n{}", where,
                       first_difference(exact->packet, packet), hex_diff(exact->packet, packet)));
      co_return false;
    }
    const auto& with_id = std::get<ConnectionScript::RequestWithId>(step);
    if (request_id_of(packet) != with_id.request_id) {
      fail(fmt::format("{}: expected request 0x{:04X}, received 0x{:04X}: {}", where, with_id.request_id,
                       request_id_of(packet), to_hex(packet)));
      co_return false;
    }
    if (with_id.check) {
      owner.checks_.push_back({fmt::format("{}, request 0x{:04X}", where, with_id.request_id), with_id.check,
                               owner.received_.size() - 1});
    }
    co_return true;
  }

  asio::awaitable<ReadResult> read_packet(tcp::socket& socket) {
    Deadline deadline(socket, wait_limit);
    ReadResult result{ReadOutcome::packet, Bytes(4)};
    const auto [error, got] = co_await asio::async_read(socket, asio::buffer(result.bytes), use_tuple);
    if (error) {
      result.outcome = deadline.expired() ? ReadOutcome::timed_out
                       : got == 0         ? ReadOutcome::closed
                                          : ReadOutcome::truncated;
      result.bytes.resize(got);
      co_return result;
    }
    result.length = read_u32(result.bytes);
    if (result.length < kHeaderLength || result.length > kMaxPacketLength) {
      result.outcome = ReadOutcome::bad_length;
      co_return result;
    }
    result.bytes.resize(result.length);
    const auto [rest_error, rest] = co_await asio::async_read(
        socket, asio::buffer(result.bytes.data() + 4, result.length - 4), use_tuple);
    if (rest_error) {
      result.outcome = deadline.expired() ? ReadOutcome::timed_out : ReadOutcome::truncated;
      result.bytes.resize(4 + rest);
    }
    co_return result;
  }

  // After its script a connection stays open; anything more the client sends is unexpected. The wait
  // is bounded so that a client waiting for a reply that was never scripted gets an end of stream.
  asio::awaitable<void> refuse_requests(std::shared_ptr<tcp::socket> socket, std::size_t number) {
    const ReadResult read = co_await read_packet(*socket);
    if (read.outcome != ReadOutcome::timed_out && read.outcome != ReadOutcome::closed) {
      if (!read.bytes.empty()) owner.received_.push_back(read.bytes);
      fail(fmt::format("connection {}: unexpected request after the script: {}", number, to_hex(read.bytes)));
    }
    std::error_code ignored;
    socket->close(ignored);
  }

  asio::awaitable<void> refuse_connections() {
    for (std::size_t number = scripts.size() + 1;; ++number) {
      tcp::socket socket(io);
      const auto [error] = co_await acceptor.async_accept(socket, use_tuple);
      if (error) co_return;
      fail(fmt::format("connection {}: unexpected connection beyond the script", number));
    }
  }

  void begin_finish() {
    finishing = true;
    if (scripts_done) close_all();
  }

  void close_all() {
    std::error_code ignored;
    acceptor.close(ignored);
    for (const auto& socket : idle_sockets) {
      // Bytes already waiting are left to the reader, which reports them.
      if (socket->is_open() && socket->available(ignored) == 0) socket->close(ignored);
    }
  }
};

FakeServer::FakeServer(std::vector<ConnectionScript> connections, std::chrono::milliseconds wait_limit)
    : session_(std::make_unique<Session>(*this, std::move(connections), wait_limit)),
      port_(session_->acceptor.local_endpoint().port()) {
  session_->spawn(session_->serve());
  thread_ = std::thread([session = session_.get()] { session->io.run(); });
}

FakeServer::FakeServer(ConnectionScript connection, std::chrono::milliseconds wait_limit)
    : FakeServer(std::vector<ConnectionScript>{std::move(connection)}, wait_limit) {}

FakeServer::~FakeServer() {
  finish();
}

void FakeServer::finish() {
  if (finished_) return;
  finished_ = true;
  asio::post(session_->io, [session = session_.get()] { session->begin_finish(); });
  thread_.join();
  for (const auto& failure : failures_) ADD_FAILURE() << failure;
  for (const auto& pending : checks_) {
    SCOPED_TRACE(pending.where);
    pending.check(received_[pending.packet_index]);
  }
}

std::uint16_t closed_port() {
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
  return acceptor.local_endpoint().port();
}

}  // namespace fake_ibmi
