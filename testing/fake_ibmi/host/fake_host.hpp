// A fake IBM i on a loopback address: the sign-on, file and remote-command servers, each on its own
// port, serving one tree over the real wire formats. Tests let the system choose the ports (0), so
// that parallel tests never collide; a program that cannot choose ports uses the real ones
// (kIbmiPorts) on an address of its own, such as 127.0.0.2.
//
// The servers run on a thread of their own. A test reads and changes the tree and the settings
// through with_tree() and with_settings(), reads the record of the requests served, and plans faults
// for coming requests: a reply with a chosen return code, the end of the connection, or no answer.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fake_ibmi/host/host_state.hpp"
#include "fake_ibmi/host/tree.hpp"

namespace fake_ibmi {

struct HostPorts {
  std::uint16_t signon = 0;
  std::uint16_t file = 0;
  std::uint16_t command = 0;
};

inline constexpr HostPorts kIbmiPorts{8476, 8473, 8475};

class FakeHost {
 public:
  // Starts serving at once. Throws std::system_error when an address or port cannot be bound.
  FakeHost(IfsTree tree, HostSettings settings, const std::string& address = "127.0.0.1",
           HostPorts ports = {});
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  const std::string& address() const { return address_; }
  // The ports bound, the system's choices included.
  HostPorts ports() const { return ports_; }

  // Runs `use` on the tree, or the settings, while no request is served; returns what it returns
  // (by value: nothing inside may be kept past the call).
  template <typename Use>
  auto with_tree(Use&& use) {
    const std::lock_guard lock(state_->mutex);
    return use(state_->tree);
  }
  template <typename Use>
  auto with_settings(Use&& use) {
    const std::lock_guard lock(state_->mutex);
    return use(state_->settings);
  }

  // The requests served so far, in the order they arrived.
  std::vector<ServedRequest> requests() const;
  std::size_t count(RequestKind kind) const;
  void clear_requests();

  // The next request of the kind, once `served_first` more have been served as usual, gets the kind's
  // failure reply with this return code.
  void fail_next(RequestKind kind, std::uint32_t return_code, std::size_t served_first = 0);
  // The next request of the kind ends its connection, unanswered.
  void drop_next(RequestKind kind);
  // The next request of the kind is never answered; its connection stays open.
  void hang_next(RequestKind kind);
  // While silent, every server reads its requests and answers none, leaving the connections open: an
  // IBM i that has stopped answering.
  void set_silent(bool silent);

  // Closes every connection and stops listening; the destructor does it when a test has not.
  void stop();

 private:
  struct Network;

  std::shared_ptr<HostState> state_;
  std::string address_;
  HostPorts ports_;
  std::unique_ptr<Network> network_;
};

}  // namespace fake_ibmi
