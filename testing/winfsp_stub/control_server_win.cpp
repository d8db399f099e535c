#include "control_server_win.hpp"

#include <chrono>

#include "pipe_io_win.hpp"

namespace winfsp_stub {

namespace {

using pipe_io::read_some;
using pipe_io::wait_for_client;
using pipe_io::write_all;

constexpr DWORD kBufferSize = 64 * 1024;
constexpr DWORD kTransferTimeoutMs = 10'000;
constexpr auto kRequestTimeout = std::chrono::seconds(60);
constexpr std::size_t kMaxLine = 64 * 1024;

}  // namespace

ControlServer::ControlServer(StubWinFsp& winfsp, varlin::winfsp::FSP_FILE_SYSTEM* file_system,
                             std::u16string pipe_name)
    : winfsp_(winfsp),
      file_system_(file_system),
      pipe_name_(pipe_name.begin(), pipe_name.end()),
      thread_([this] { serve(); }) {}

ControlServer::~ControlServer() {
  SetEvent(stop_);
  thread_.join();
  CloseHandle(stop_);
}

void ControlServer::serve() {
  while (winfsp_.dispatcher_running(file_system_)) {
    HANDLE pipe =
        CreateNamedPipeW(pipe_name_.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                         PIPE_UNLIMITED_INSTANCES, kBufferSize, kBufferSize, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return;
    if (!wait_for_client(pipe, stop_)) {
      CloseHandle(pipe);
      return;
    }
    write_all(pipe, answer(pipe), kTransferTimeoutMs);
    // Closing (not disconnecting) leaves the reply readable; the client then sees the end of it.
    CloseHandle(pipe);
  }
}

std::string ControlServer::answer(HANDLE pipe) {
  std::string received;
  char buffer[4096];
  std::size_t line_end = std::string::npos;
  while ((line_end = received.find('\n')) == std::string::npos) {
    if (received.size() > kMaxLine)
      return error_reply(varlin::winfsp::kStatusInvalidParameter, "request line");
    const std::optional<DWORD> count = read_some(pipe, buffer, sizeof(buffer), kTransferTimeoutMs, stop_);
    if (!count || *count == 0)
      return error_reply(varlin::winfsp::kStatusInvalidParameter, "request cut short");
    received.append(buffer, *count);
  }
  ControlRequest request{split_request_line(std::string_view(received).substr(0, line_end)),
                         received.substr(line_end + 1)};
  const auto payload = payload_size(request.words);
  if (!payload) return error_reply(varlin::winfsp::kStatusInvalidParameter, payload.error());
  while (request.payload.size() < *payload) {
    const std::optional<DWORD> count = read_some(pipe, buffer, sizeof(buffer), kTransferTimeoutMs, stop_);
    if (!count || *count == 0)
      return error_reply(varlin::winfsp::kStatusInvalidParameter, "payload cut short");
    request.payload.append(buffer, *count);
  }
  if (request.payload.size() != *payload)
    return error_reply(varlin::winfsp::kStatusInvalidParameter, "payload size");
  std::future<std::string> reply = winfsp_.submit(file_system_, std::move(request));
  if (reply.wait_for(kRequestTimeout) != std::future_status::ready)
    return error_reply(varlin::winfsp::nt_status(0xC00000B5), "request timed out");  // STATUS_IO_TIMEOUT
  return reply.get();
}

}  // namespace winfsp_stub
