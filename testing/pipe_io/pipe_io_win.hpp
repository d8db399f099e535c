#pragma once

// Bounded transfers on named-pipe handles opened for overlapped I/O: the stand-in WinFsp's control pipe
// and its client, the requests that tests and the demo make on a mount's metadata pipe, and the tests'
// own pipe servers and clients.

#include <windows.h>

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace pipe_io {

// Reads what is there, up to `size` bytes: 0 at the end of the stream (the other end closed), nothing
// on a failure or when `timeout_ms` passes first, or when `cancel` (an event, if given) is set.
std::optional<DWORD> read_some(HANDLE pipe, void* buffer, DWORD size, DWORD timeout_ms,
                               HANDLE cancel = nullptr);

// Writes all of `data`; false on a failure or when `timeout_ms` passes first, or when `cancel` (an event,
// if given) is set.
bool write_all(HANDLE pipe, std::string_view data, DWORD timeout_ms, HANDLE cancel = nullptr);

// Waits for a client on a pipe instance; false when `cancel` is set or `timeout_ms` passes first, or the
// wait fails.
bool wait_for_client(HANDLE pipe, HANDLE cancel, DWORD timeout_ms = INFINITE);

// Opens the client end of the pipe `name` for overlapped I/O, trying again while there is no such pipe or
// no free instance, for up to `timeout_ms`; INVALID_HANDLE_VALUE when none comes.
HANDLE connect(const std::wstring& name, DWORD timeout_ms);

enum class ExchangeFailure {
  no_pipe,           // no pipe of the name, or no free instance, within the connect time
  incomplete_reply,  // a transfer failed or timed out before the server closed its end
};

// Where a server's reply ends: where it closes its end, or after its first line feed.
enum class ReplyEnd { closed, line_feed };

// One exchange: connects to the pipe `name`, writes `request` and reads the reply up to its end.
std::expected<std::string, ExchangeFailure> request_reply(const std::wstring& name, std::string_view request,
                                                          ReplyEnd end, DWORD connect_timeout_ms,
                                                          DWORD reply_timeout_ms);

}  // namespace pipe_io
