// One connection's exchange with a server of the fake IBM i: every request packet gets its answer.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "fake_ibmi/hex.hpp"
#include "fake_ibmi/host/host_state.hpp"

namespace fake_ibmi {

struct Answer {
  std::vector<Bytes> replies;  // written in order; a chained reply is several packets
  bool close = false;          // the server ends the connection after the replies
};

class Conversation {
 public:
  virtual ~Conversation() = default;
  // Answers one whole request packet, length field included. Takes the state's lock itself.
  virtual Answer answer(std::span<const std::uint8_t> request) = 0;
};

// What a planned fault makes of a request: nothing when none was planned; else no reply (the
// connection ended or left open), or the failure reply with the fault's return code as the only reply.
template <typename FailureReply>
std::optional<Answer> fault_answer(const std::optional<Fault>& fault, FailureReply failure_reply) {
  if (!fault) return std::nullopt;
  if (!fault->return_code) return Answer{.replies = {}, .close = fault->close};
  return Answer{.replies = {failure_reply(*fault->return_code)}};
}

std::unique_ptr<Conversation> start_signon_conversation(std::shared_ptr<HostState> state);
std::unique_ptr<Conversation> start_file_conversation(std::shared_ptr<HostState> state);
std::unique_ptr<Conversation> start_command_conversation(std::shared_ptr<HostState> state);

}  // namespace fake_ibmi
