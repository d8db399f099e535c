// metadata_pipe_client PIPE-NAME PATH: asks a mount's metadata pipe for the properties of PATH (relative
// to the root of the mounted drive) and prints the reply line. Exit codes: 0 a reply line came, 1 it
// did not come whole, 2 usage, 3 no such pipe.

#include <windows.h>

#include <shellapi.h>

#include <nlohmann/json.hpp>

#include <string>

#include "pipe_io_win.hpp"

namespace {

constexpr DWORD kConnectTimeoutMs = 5'000;
constexpr DWORD kReplyTimeoutMs = 30'000;

void write_to(DWORD stream, std::string_view text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string utf8_of(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? size - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count != 3) {
    write_to(STD_ERROR_HANDLE, "usage: metadata_pipe_client PIPE-NAME PATH\n");
    return 2;
  }
  const std::wstring pipe_name = arguments[1];
  const nlohmann::ordered_json request = {
      {"version", 1}, {"method", "getFileProperties"}, {"path", utf8_of(arguments[2])}};
  LocalFree(arguments);

  const auto reply = pipe_io::request_reply(pipe_name, request.dump() + "\n", pipe_io::ReplyEnd::line_feed,
                                            kConnectTimeoutMs, kReplyTimeoutMs);
  if (!reply) {
    const bool no_pipe = reply.error() == pipe_io::ExchangeFailure::no_pipe;
    write_to(STD_ERROR_HANDLE,
             no_pipe ? "metadata_pipe_client: no such pipe\n" : "metadata_pipe_client: no complete reply\n");
    return no_pipe ? 3 : 1;
  }
  write_to(STD_OUTPUT_HANDLE, *reply);
  return 0;
}
