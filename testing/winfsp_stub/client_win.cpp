// winfsp_stub_client MOUNT-POINT COMMAND [ARGUMENT...]: sends one request to the control pipe of a file
// system that the stand-in winfsp-x64.dll serves and prints the reply. "write PATH LOCAL-FILE" and
// "hold PATH LOCAL-FILE" send the local file's bytes. Exit codes: 0 done, 1 the request failed, 2 usage,
// 3 no such mount.

#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "control_request.hpp"
#include "morva/ccsid/utf16.hpp"
#include "pipe_io_win.hpp"

namespace {

constexpr DWORD kConnectTimeoutMs = 10'000;
constexpr DWORD kReplyTimeoutMs = 120'000;

constexpr char kUsage[] =
    "usage: winfsp_stub_client MOUNT-POINT COMMAND [ARGUMENT...]\n"
    "commands: volume | params | stat PATH | dir PATH | find DIR NAME | read PATH | write PATH LOCAL-FILE |\n"
    "          hold PATH LOCAL-FILE | mkdir PATH | delete PATH | rename PATH NEW-PATH | stop\n";

std::vector<std::string> arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> words;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    std::string word;
    morva::ccsid::append_utf8_of_utf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide[i])), word);
    words.push_back(std::move(word));
  }
  LocalFree(wide);
  return words;
}

void write_to(DWORD stream, std::string_view text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int main() {
  std::vector<std::string> words = arguments();
  if (words.size() < 2) {
    write_to(STD_ERROR_HANDLE, kUsage);
    return 2;
  }
  const std::string mount_text = words.front();
  std::u16string mount_point;
  morva::ccsid::append_utf16_of_utf8(mount_text, mount_point);
  words.erase(words.begin());

  std::string payload;
  if (winfsp_stub::carries_payload(words.front())) {
    if (words.size() != 3) {
      write_to(STD_ERROR_HANDLE, kUsage);
      return 2;
    }
    std::ifstream file(std::filesystem::path(std::u8string(words[2].begin(), words[2].end())),
                       std::ios::binary);
    if (!file) {
      write_to(STD_ERROR_HANDLE, "winfsp_stub_client: cannot read " + words[2] + "\n");
      return 2;
    }
    payload.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    words[2] = std::to_string(payload.size());
  }

  const std::u16string pipe_name = winfsp_stub::control_pipe_name(mount_point);
  const auto reply = pipe_io::request_reply(std::wstring(pipe_name.begin(), pipe_name.end()),
                                            winfsp_stub::request_line(words) + payload,
                                            pipe_io::ReplyEnd::closed, kConnectTimeoutMs, kReplyTimeoutMs);
  if (!reply && reply.error() == pipe_io::ExchangeFailure::no_pipe) {
    write_to(STD_ERROR_HANDLE, "winfsp_stub_client: no mount at " + mount_text + "\n");
    return 3;
  }

  const std::size_t line_end = reply ? reply->find('\n') : std::string::npos;
  if (line_end == std::string::npos) {
    write_to(STD_ERROR_HANDLE, "winfsp_stub_client: no complete reply\n");
    return 1;
  }
  if (reply->compare(0, line_end, "OK") != 0) {
    write_to(STD_ERROR_HANDLE, reply->substr(0, line_end + 1));
    return 1;
  }
  write_to(STD_OUTPUT_HANDLE, std::string_view(*reply).substr(line_end + 1));
  return 0;
}
