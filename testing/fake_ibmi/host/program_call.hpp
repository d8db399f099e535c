// The call-program request (0x1003) of the remote-command server and the four IBM i APIs the fake
// runs: QUSRMBRD, QDBRTVFD, QUSROBJD and QWCRSSTS, all in library QSYS.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fake_ibmi/hex.hpp"
#include "fake_ibmi/host/host_state.hpp"
#include "fake_ibmi/host/packet_reader.hpp"

namespace fake_ibmi {

inline constexpr std::uint16_t kInputUsage = 11;
inline constexpr std::uint16_t kOutputUsage = 22;
inline constexpr std::uint16_t kInputOutputUsage = 33;

struct ProgramParameter {
  std::uint32_t max_length = 0;
  std::uint16_t usage = 0;
  Bytes data{};  // max_length bytes: what was sent, padded with the zero bytes that are not sent
};

struct ProgramCall {
  std::string program;
  std::string library;
  std::vector<ProgramParameter> parameters;
};

// The program and library names (EBCDIC, 10 bytes) at 20 and 30, the count of parameters at 41, then
// one item (CP 0x1103) per parameter: its maximum length (u32), its usage (u16) and its data. Nothing
// when the request does not hold that shape.
std::optional<ProgramCall> parse_program_call(PacketReader& request);

// The kind of request the call is, and the IFS path of the object it asks about ("" for the system).
RequestKind call_kind(const ProgramCall& call);
std::string call_subject(const ProgramCall& call);

// Runs the call on the tree and fills its output parameters. An API that ends in an escape message
// reports it in the error-code parameter when that has room, as the IBM i does; otherwise the call
// fails and the result is the call's return code. The result is 0 for a call that completed.
std::uint16_t run_program(ProgramCall& call, const IfsTree& tree, const HostSettings& settings);

}  // namespace fake_ibmi
