#pragma once

#include "morva/error.hpp"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Calls of IBM i programs in QSYS through the remote-command server (request 0x1003).
namespace morva::command {

inline constexpr std::uint16_t kCallProgramRequestId = 0x1003;

// How the program uses a parameter.
inline constexpr std::uint16_t kUsageInput = 11;
inline constexpr std::uint16_t kUsageOutput = 22;
inline constexpr std::uint16_t kUsageInputOutput = 33;

struct ProgramParameter {
  std::vector<std::uint8_t> data;  // sent without its trailing zero bytes
  std::uint32_t max_length = 0;    // the parameter's length on the IBM i
  std::uint16_t usage = kUsageInput;
};

// An object name as the IBM i wants it: upper case EBCDIC, padded with blanks to `width` (8 or 10)
// and cut there; characters outside the name alphabet become 0x6F.
std::vector<std::uint8_t> encode_name(std::string_view text, std::size_t width);

// The width of an object's, a library's or a member's name in the APIs' parameters.
inline constexpr std::size_t kObjectNameWidth = 10;

// Whether encode_name gives the name itself: one to `width` characters of the name alphabet.
bool is_api_name(std::string_view text, std::size_t width = kObjectNameWidth);

// The request 0x1003 that calls `program` in QSYS. Servers below datastream level 11 get message
// option 4, newer ones 6.
std::vector<std::uint8_t> encode_program_call(std::string_view program,
                                              std::span<const ProgramParameter> parameters,
                                              std::uint16_t datastream_level);

// Checks a call-program reply and returns its receiver variable (the first parameter's data) as a
// view into `packet`. `operation` names the call in the error texts. A reply with a non-zero return
// code, the IBM i's refusal of the call, gives an error that carries that code.
Result<std::span<const std::uint8_t>> check_program_reply(std::span<const std::uint8_t> packet,
                                                          std::string_view operation);

}  // namespace morva::command
