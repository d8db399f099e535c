#pragma once

// Bounded transfers on a named-pipe handle opened for overlapped I/O, shared by the stand-in's control
// server and its client.

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

namespace winfsp_stub {

// Reads what is there, up to `size` bytes: 0 at the end of the stream (the other end closed), nothing
// on a failure or when `timeout_ms` passes first, or when `cancel` (an event, if given) is set.
std::optional<DWORD> read_some(HANDLE pipe, void* buffer, DWORD size, DWORD timeout_ms,
                               HANDLE cancel = nullptr);

// Writes all of `data`; false on a failure or when `timeout_ms` passes first.
bool write_all(HANDLE pipe, std::string_view data, DWORD timeout_ms);

// Waits for a client on a pipe instance; false when `cancel` is set first or the wait fails.
bool wait_for_client(HANDLE pipe, HANDLE cancel);

}  // namespace winfsp_stub
