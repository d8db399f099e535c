// A scripted stand-in for one IBM i host server on a loopback port.
//
// Each connection follows its script: wait for a request packet and match it, send prepared bytes
// (reply packets, several for a chained reply, or raw bytes for a truncated one), close. Everything
// received is recorded. A request that does not match, a request or connection beyond the script and
// a scripted request that never came are GoogleTest failures, reported by finish() on the test's thread,
// where the callers' request checks run as well. Every wait of the server is bounded, so a test that
// goes wrong fails instead of hanging.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "fake_ibmi/hex.hpp"

namespace fake_ibmi {

// Looks at a matched request; reports problems with GoogleTest's EXPECT_* / ADD_FAILURE.
using RequestCheck = std::function<void(std::span<const std::uint8_t> packet)>;

class ConnectionScript {
 public:
  struct ExactRequest {
    Bytes packet;
  };
  struct RequestWithId {
    std::uint16_t request_id;
    RequestCheck check;
  };
  struct Send {
    Bytes bytes;
  };
  struct Close {};
  using Step = std::variant<ExactRequest, RequestWithId, Send, Close>;

  // The next request must be exactly these bytes.
  ConnectionScript& expect(Bytes packet);
  // The next request must carry this request ID (u16 at offset 18); `check` then looks at the packet.
  ConnectionScript& expect(std::uint16_t request_id, RequestCheck check = {});
  // Writes bytes to the client: a reply packet, or any bytes at all.
  ConnectionScript& send(Bytes bytes);
  // Closes the connection. Without it the connection stays open after its script until finish(), or
  // until the wait limit passes with nothing more arriving.
  ConnectionScript& close();

  const std::vector<Step>& steps() const { return steps_; }

 private:
  std::vector<Step> steps_;
};

class FakeServer {
 public:
  static constexpr std::chrono::milliseconds kDefaultWaitLimit{5000};

  // Listens on 127.0.0.1 at a port of the system's choice and serves the connections in order.
  explicit FakeServer(std::vector<ConnectionScript> connections,
                      std::chrono::milliseconds wait_limit = kDefaultWaitLimit);
  explicit FakeServer(ConnectionScript connection, std::chrono::milliseconds wait_limit = kDefaultWaitLimit);
  ~FakeServer();

  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  std::uint16_t port() const { return port_; }

  // Waits (bounded) for the scripts to end, closes every connection and reports what went wrong.
  // The destructor calls it if the test did not.
  void finish();

  // Every request packet received, in order, across all connections; complete after finish().
  const std::vector<Bytes>& received() const { return received_; }

 private:
  struct Session;
  struct PendingCheck {
    std::string where;
    RequestCheck check;
    std::size_t packet_index;
  };

  std::unique_ptr<Session> session_;
  std::uint16_t port_ = 0;
  std::thread thread_;
  bool finished_ = false;
  std::vector<Bytes> received_;
  std::vector<std::string> failures_;
  std::vector<PendingCheck> checks_;

  friend struct Session;
};

// A loopback port that was free a moment ago, so nothing listens there: a connection is refused.
std::uint16_t closed_port();

}  // namespace fake_ibmi
