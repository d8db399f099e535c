#include "native_fake_ibmi_win.hpp"

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace end_to_end {

namespace {

constexpr DWORD kReadyTimeoutMs = 20'000;
constexpr DWORD kSilenceTimeoutMs = 10'000;
constexpr DWORD kStopTimeoutMs = 10'000;
constexpr DWORD kPollMs = 50;
constexpr unsigned short kSignonPort = 8476;

// Wine's drive Z: is the Unix root.
std::wstring windows_path(std::string_view unix_path) {
  std::wstring path = L"Z:";
  for (const char c : unix_path) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
  return path;
}

std::wstring wide(std::string_view text) {
  return {text.begin(), text.end()};
}

std::string file_text(const std::string& unix_path) {
  std::ifstream file(std::filesystem::path(windows_path(unix_path)), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void create_file(const std::string& unix_path) {
  const HANDLE file = CreateFileW(windows_path(unix_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

// Whether something accepts connections at the address's sign-on port.
bool accepts_connections(const std::string& address) {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) return false;
  const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (probe == INVALID_SOCKET) return false;
  sockaddr_in endpoint{};
  endpoint.sin_family = AF_INET;
  endpoint.sin_port = htons(kSignonPort);
  inet_pton(AF_INET, address.c_str(), &endpoint.sin_addr);
  const bool connected = connect(probe, reinterpret_cast<const sockaddr*>(&endpoint), sizeof(endpoint)) == 0;
  closesocket(probe);
  return connected;
}

// Waits until the file holds `text`; false when it does not within the time or holds "fake_ibmi_server:".
bool wait_for_text(const std::string& unix_path, std::string_view text, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  std::string written;
  while ((written = file_text(unix_path)).find(text) == std::string::npos) {
    if (written.find("fake_ibmi_server:") != std::string::npos || GetTickCount64() > deadline) return false;
    Sleep(kPollMs);
  }
  return true;
}

}  // namespace

std::string native_fake_ibmi_path() {
  return FAKE_IBMI_SERVER;
}

bool native_fake_ibmi_built() {
  return GetFileAttributesW(windows_path(native_fake_ibmi_path()).c_str()) != INVALID_FILE_ATTRIBUTES;
}

NativeFakeIbmi::NativeFakeIbmi(std::string address, Start start)
    : address_(std::move(address)),
      stop_file_(std::string(WORK_DIR) + "/fake-ibmi-" + address_ + ".stop"),
      silence_file_(std::string(WORK_DIR) + "/fake-ibmi-" + address_ + ".silence"),
      output_file_(std::string(WORK_DIR) + "/fake-ibmi-" + address_ + ".out") {
  DeleteFileW(windows_path(stop_file_).c_str());
  DeleteFileW(windows_path(silence_file_).c_str());
  if (start == Start::silent) create_file(silence_file_);
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  const HANDLE output =
      CreateFileW(windows_path(output_file_).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  const std::wstring program = windows_path(native_fake_ibmi_path());
  std::wstring command = L"\"" + program + L"\" --address " + wide(address_) +
                         L" --keep-stdin --exit-with-parent --stop-file \"" + wide(stop_file_) +
                         L"\" --silence-file \"" + wide(silence_file_) + L"\"";
  // Wine runs a Unix program as a process of its own, with no Windows process to wait on.
  PROCESS_INFORMATION process{};
  const BOOL created = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  const DWORD error = GetLastError();
  CloseHandle(output);
  if (!created) {
    failure_ = "fake_ibmi_server could not be started: Windows error " + std::to_string(error);
    return;
  }
  for (HANDLE handle : {process.hProcess, process.hThread}) {
    if (handle != nullptr) CloseHandle(handle);
  }

  if (!wait_for_text(output_file_, "fake IBM i ready", kReadyTimeoutMs))
    failure_ = "fake_ibmi_server on " + address_ + " is not ready: " + file_text(output_file_);
}

bool NativeFakeIbmi::fall_silent() {
  create_file(silence_file_);
  return wait_for_text(output_file_, "fake IBM i fell silent", kSilenceTimeoutMs);
}

NativeFakeIbmi::~NativeFakeIbmi() {
  create_file(stop_file_);
  const ULONGLONG deadline = GetTickCount64() + kStopTimeoutMs;
  while (accepts_connections(address_)) {
    if (GetTickCount64() > deadline) {
      ADD_FAILURE() << "fake_ibmi_server on " << address_ << " did not stop";
      break;
    }
    Sleep(kPollMs);
  }
  for (const std::string* file : {&stop_file_, &silence_file_, &output_file_})
    DeleteFileW(windows_path(*file).c_str());
}

}  // namespace end_to_end
