#include "test_pipe_server_win.hpp"

#include <optional>

#include "pipe_io_win.hpp"

namespace tarvik::testing {

namespace {

constexpr DWORD kBoundMs = 10000;
constexpr DWORD kPauseBetweenRepliesMs = 200;
constexpr DWORD kPipeBufferSize = 4096;

HANDLE create_instance(const std::wstring& name) {
  return CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                          PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                          kPipeBufferSize, kPipeBufferSize, 0, nullptr);
}

}  // namespace

std::wstring wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
  return result;
}

TestPipeServer::TestPipeServer(const std::string& pipe_name, std::vector<PipeConnection> script)
    : name_(wide(pipe_name)),
      script_(std::move(script)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      served_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      first_instance_(create_instance(name_)) {
  thread_ = std::thread([this] { serve(); });
}

TestPipeServer::~TestPipeServer() {
  SetEvent(stop_);
  thread_.join();
  CloseHandle(stop_);
  CloseHandle(served_);
}

std::vector<std::string> TestPipeServer::requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

bool TestPipeServer::wait_until_served() {
  return WaitForSingleObject(served_, kBoundMs) == WAIT_OBJECT_0;
}

void TestPipeServer::serve() {
  HANDLE listening = first_instance_;
  for (std::size_t i = 0; i < script_.size() && listening != INVALID_HANDLE_VALUE; ++i) {
    HANDLE pipe = listening;
    const bool connected = pipe_io::wait_for_client(pipe, stop_, kBoundMs);
    listening = connected && i + 1 < script_.size() ? create_instance(name_) : INVALID_HANDLE_VALUE;
    const bool served = connected && serve_connection(pipe, script_[i]);
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    if (!served) break;
    if (i + 1 == script_.size()) SetEvent(served_);
  }
  if (listening != INVALID_HANDLE_VALUE) CloseHandle(listening);
}

bool TestPipeServer::serve_connection(HANDLE pipe, const PipeConnection& connection) {
  char buffer[4096];
  const auto read = [&] { return pipe_io::read_some(pipe, buffer, sizeof buffer, kBoundMs, stop_); };
  if (connection.reads_request) {
    std::string request;
    while (request.find('\n') == std::string::npos) {
      const auto count = read();
      if (!count || *count == 0) break;
      request.append(buffer, *count);
    }
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(request));
  }
  for (std::size_t i = 0; i < connection.replies.size(); ++i) {
    if (i > 0 && WaitForSingleObject(stop_, kPauseBetweenRepliesMs) == WAIT_OBJECT_0) return false;
    if (!pipe_io::write_all(pipe, connection.replies[i], kBoundMs, stop_)) return false;
  }
  // A disconnect would drop what the client has not read yet: wait for it to leave.
  while (connection.waits_for_client) {
    const auto count = read();
    if (!count || *count == 0) break;
  }
  return true;
}

}  // namespace tarvik::testing
