#pragma once

// The stand-in's control pipe: a client writes one request, the stand-in runs it on a dispatcher
// thread and writes one reply, then the connection ends.
//
// Request: a line of words separated by tabs (the command first), ended by a line feed; "write" and
// "hold" are followed by as many bytes as their last word says. Reply: "OK" and a line feed, then the
// command's output; or "ERROR 0x<NTSTATUS> <step>" and a line feed.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "winfsp/nt_status.hpp"

namespace winfsp_stub {

// The largest payload a request may carry.
constexpr std::size_t kMaxPayload = 256u << 20;

struct ControlRequest {
  std::vector<std::string> words;
  std::string payload;
};

// The control pipe's name for a mount point ("\\.\pipe\winfsp-stub.M:"; backslashes become '/').
std::u16string control_pipe_name(std::u16string_view mount_point);

// The request line for some words, line feed included.
std::string request_line(std::span<const std::string> words);

// The words of a request line (without its line feed).
std::vector<std::string> split_request_line(std::string_view line);

// Whether a request of this command carries the bytes of a local file ("write", "hold").
bool carries_payload(std::string_view command);

// How many payload bytes follow a request with these words; an error text for a malformed count.
std::expected<std::size_t, std::string> payload_size(std::span<const std::string> words);

std::string ok_reply(std::string_view output);
std::string error_reply(varlin::winfsp::NtStatus status, std::string_view step);

}  // namespace winfsp_stub
