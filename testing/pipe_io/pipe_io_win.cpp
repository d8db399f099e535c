#include "pipe_io_win.hpp"

#include <algorithm>

namespace pipe_io {

namespace {

// One overlapped operation with its own event.
class Overlapped {
 public:
  Overlapped() { operation_.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  Overlapped(const Overlapped&) = delete;
  Overlapped& operator=(const Overlapped&) = delete;
  ~Overlapped() { CloseHandle(operation_.hEvent); }

  OVERLAPPED* get() { return &operation_; }

  // Waits for the operation that returned `started` (its BOOL result); the byte count, or nothing.
  std::optional<DWORD> finish(HANDLE handle, BOOL started, DWORD timeout_ms, HANDLE cancel) {
    if (!started && GetLastError() != ERROR_IO_PENDING) return std::nullopt;
    const HANDLE events[2] = {operation_.hEvent, cancel};
    const DWORD woken = WaitForMultipleObjects(cancel != nullptr ? 2 : 1, events, FALSE, timeout_ms);
    if (woken != WAIT_OBJECT_0) CancelIoEx(handle, &operation_);
    DWORD count = 0;
    if (!GetOverlappedResult(handle, &operation_, &count, TRUE) || woken != WAIT_OBJECT_0)
      return std::nullopt;
    return count;
  }

 private:
  OVERLAPPED operation_{};
};

bool is_end_of_stream(DWORD error) {
  return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_HANDLE_EOF;
}

}  // namespace

std::optional<DWORD> read_some(HANDLE pipe, void* buffer, DWORD size, DWORD timeout_ms, HANDLE cancel) {
  Overlapped operation;
  const BOOL started = ReadFile(pipe, buffer, size, nullptr, operation.get());
  if (!started && is_end_of_stream(GetLastError())) return 0;
  const std::optional<DWORD> count = operation.finish(pipe, started, timeout_ms, cancel);
  if (!count && is_end_of_stream(GetLastError())) return 0;
  return count;
}

bool write_all(HANDLE pipe, std::string_view data, DWORD timeout_ms, HANDLE cancel) {
  while (!data.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1 << 20));
    Overlapped operation;
    const BOOL started = WriteFile(pipe, data.data(), chunk, nullptr, operation.get());
    const std::optional<DWORD> written = operation.finish(pipe, started, timeout_ms, cancel);
    if (!written || *written == 0) return false;
    data.remove_prefix(*written);
  }
  return true;
}

std::expected<std::string, ExchangeFailure> request_reply(const std::wstring& name, std::string_view request,
                                                          ReplyEnd end, DWORD connect_timeout_ms,
                                                          DWORD reply_timeout_ms) {
  HANDLE pipe = connect(name, connect_timeout_ms);
  if (pipe == INVALID_HANDLE_VALUE) return std::unexpected(ExchangeFailure::no_pipe);
  std::string reply;
  bool complete = write_all(pipe, request, reply_timeout_ms);
  while (complete) {
    if (end == ReplyEnd::line_feed && reply.find('\n') != std::string::npos) {
      reply.erase(reply.find('\n') + 1);
      break;
    }
    static thread_local char buffer[64 * 1024];
    const std::optional<DWORD> count = read_some(pipe, buffer, sizeof(buffer), reply_timeout_ms);
    // A line that the server ends by closing is cut short.
    complete = count && (*count > 0 || end == ReplyEnd::closed);
    if (!complete || *count == 0) break;
    reply.append(buffer, *count);
  }
  CloseHandle(pipe);
  if (!complete) return std::unexpected(ExchangeFailure::incomplete_reply);
  return reply;
}

bool wait_for_client(HANDLE pipe, HANDLE cancel, DWORD timeout_ms) {
  Overlapped operation;
  const BOOL started = ConnectNamedPipe(pipe, operation.get());
  if (!started && GetLastError() == ERROR_PIPE_CONNECTED) return true;
  return operation.finish(pipe, started, timeout_ms, cancel).has_value();
}

HANDLE connect(const std::wstring& name, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  do {
    HANDLE pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (pipe != INVALID_HANDLE_VALUE) return pipe;
    if (GetLastError() == ERROR_PIPE_BUSY)
      WaitNamedPipeW(name.c_str(), 500);
    else
      Sleep(50);  // between two instances, or not started yet
  } while (GetTickCount64() < deadline);
  return INVALID_HANDLE_VALUE;
}

}  // namespace pipe_io
