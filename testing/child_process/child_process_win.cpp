#include "child_process_win.hpp"

#include <gtest/gtest.h>

#include <future>

namespace child_process {

namespace {

std::string read_all(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(pipe);
  return text;
}

}  // namespace

std::wstring program_folder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring self(path, length);
  return self.substr(0, self.find_last_of(L"\\/") + 1);
}

ChildRun run_child(const std::wstring& path, const std::wstring& arguments,
                   std::optional<std::wstring> environment, DWORD timeout_ms) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write;
  EXPECT_TRUE(CreatePipe(&out_read, &out_write, &inherit, 0));
  EXPECT_TRUE(CreatePipe(&err_read, &err_write, &inherit, 0));
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION process{};
  std::wstring command_line = L"\"" + path + L"\" " + arguments;
  const BOOL started =
      CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                     environment ? environment->data() : nullptr, nullptr, &startup, &process);
  CloseHandle(out_write);
  CloseHandle(err_write);
  ChildRun run;
  if (!started) {
    ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
    CloseHandle(out_read);
    CloseHandle(err_read);
    return run;
  }
  auto output = std::async(std::launch::async, read_all, out_read);
  auto errors = std::async(std::launch::async, read_all, err_read);
  if (WaitForSingleObject(process.hProcess, timeout_ms) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    ADD_FAILURE() << "the child did not end";
  }
  GetExitCodeProcess(process.hProcess, &run.exit_code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  run.output = output.get();
  run.errors = errors.get();
  return run;
}

std::string without_carriage_returns(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

}  // namespace child_process
