#include "pipe_client/pipe_client_win.hpp"

#include <limits>
#include <memory>

namespace tarvik {

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// The server may identify the caller but never act as it: whoever created a pipe of the name first could
// otherwise impersonate the user of the Shell.
constexpr DWORD kOpenFlags = FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

UniqueHandle open_pipe(const std::wstring& name, const CreateFileCall& create_file) {
  HANDLE pipe =
      create_file(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, kOpenFlags, nullptr);
  return UniqueHandle(pipe == INVALID_HANDLE_VALUE ? nullptr : pipe);
}

// One overlapped write or read, started by `start` and waited for at most `timeout_ms`: the bytes moved,
// or nothing.
template <typename Start>
std::optional<DWORD> transfer(HANDLE pipe, DWORD timeout_ms, Start start) {
  const UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) return std::nullopt;
  OVERLAPPED overlapped{};
  overlapped.hEvent = event.get();
  if (!start(&overlapped) && GetLastError() != ERROR_IO_PENDING) return std::nullopt;
  DWORD moved = 0;
  if (!GetOverlappedResultEx(pipe, &overlapped, &moved, timeout_ms, FALSE)) {
    CancelIoEx(pipe, &overlapped);
    GetOverlappedResult(pipe, &overlapped, &moved, TRUE);  // the buffer is in use until it has finished
    return std::nullopt;
  }
  return moved;
}

}  // namespace

std::optional<std::string> exchange_on_pipe(const std::wstring& name, std::string_view message,
                                            const PipeTimeouts& timeouts, const CreateFileCall& create_file) {
  if (message.size() > std::numeric_limits<DWORD>::max()) return std::nullopt;
  if (!WaitNamedPipeW(name.c_str(), timeouts.wait_for_instance_ms)) return std::nullopt;
  const UniqueHandle pipe = open_pipe(name, create_file);
  if (!pipe) return std::nullopt;

  const auto size = static_cast<DWORD>(message.size());
  const auto written = transfer(pipe.get(), timeouts.transfer_ms, [&](OVERLAPPED* overlapped) {
    return WriteFile(pipe.get(), message.data(), size, nullptr, overlapped);
  });
  if (!written || *written < size) return std::nullopt;

  std::string reply(kReplyReadSize, '\0');
  const auto read = transfer(pipe.get(), timeouts.transfer_ms, [&](OVERLAPPED* overlapped) {
    return ReadFile(pipe.get(), reply.data(), kReplyReadSize, nullptr, overlapped);
  });
  if (!read) return std::nullopt;
  reply.resize(*read);
  return reply;
}

}  // namespace tarvik
