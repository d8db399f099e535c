#include "child_process_win.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cwchar>

namespace child_process {

namespace {

// A pipe whose one end the child inherits.
struct ChildPipe {
  HANDLE parent_end = nullptr;
  HANDLE child_end = nullptr;
};

ChildPipe make_pipe(bool child_reads) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  EXPECT_TRUE(CreatePipe(&read_end, &write_end, &inherit, 0)) << GetLastError();
  ChildPipe pipe = child_reads ? ChildPipe{write_end, read_end} : ChildPipe{read_end, write_end};
  SetHandleInformation(pipe.parent_end, HANDLE_FLAG_INHERIT, 0);
  return pipe;
}

}  // namespace

std::wstring program_folder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring self(path, length);
  return self.substr(0, self.find_last_of(L"\\/") + 1);
}

std::wstring environment_block(const std::vector<std::wstring>& extra) {
  std::wstring block;
  const wchar_t* strings = GetEnvironmentStringsW();
  const auto set_by_extra = [&extra](const wchar_t* entry) {
    return std::ranges::any_of(extra, [entry](const std::wstring& set) {
      const std::size_t name = set.find(L'=') + 1;
      return _wcsnicmp(entry, set.c_str(), name) == 0;
    });
  };
  for (const wchar_t* entry = strings; *entry != 0; entry += std::wcslen(entry) + 1) {
    if (_wcsnicmp(entry, L"MORVA_", 6) == 0 || _wcsnicmp(entry, L"VARLIN_", 7) == 0 || set_by_extra(entry))
      continue;
    block.append(entry).push_back(0);
  }
  FreeEnvironmentStringsW(const_cast<wchar_t*>(strings));
  for (const std::wstring& entry : extra) block.append(entry).push_back(0);
  block.push_back(0);
  return block;
}

RunningChild::RunningChild(const std::wstring& path, const std::wstring& arguments,
                           std::optional<std::wstring> environment, std::optional<HANDLE> standard_output) {
  const ChildPipe input = make_pipe(true);
  const ChildPipe output = standard_output ? ChildPipe{} : make_pipe(false);
  const ChildPipe errors = make_pipe(false);
  if (standard_output && *standard_output != nullptr)
    SetHandleInformation(*standard_output, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.child_end;
  startup.hStdOutput = standard_output.value_or(output.child_end);
  startup.hStdError = errors.child_end;
  PROCESS_INFORMATION process{};
  std::wstring command_line = L"\"" + path + L"\" " + arguments;
  const BOOL created =
      CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                     environment ? environment->data() : nullptr, nullptr, &startup, &process);
  const DWORD error = GetLastError();
  for (HANDLE child_end : {input.child_end, output.child_end, errors.child_end})
    if (child_end != nullptr) CloseHandle(child_end);
  input_ = input.parent_end;
  if (standard_output)
    output_.ended = true;
  else
    readers_.emplace_back([this, pipe = output.parent_end] { read_into(pipe, output_); });
  readers_.emplace_back([this, pipe = errors.parent_end] { read_into(pipe, errors_); });
  if (!created) {
    ADD_FAILURE() << "CreateProcessW failed: " << error;
    return;
  }
  process_ = process.hProcess;
  CloseHandle(process.hThread);
}

RunningChild::~RunningChild() {
  close_input();
  if (process_ != nullptr) {
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) TerminateProcess(process_, 99);
    WaitForSingleObject(process_, INFINITE);
    CloseHandle(process_);
  }
  for (std::thread& reader : readers_) reader.join();
}

void RunningChild::read_into(HANDLE pipe, Stream& stream) {
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    std::lock_guard lock(mutex_);
    stream.text.append(buffer, read);
    changed_.notify_all();
  }
  CloseHandle(pipe);
  std::lock_guard lock(mutex_);
  stream.ended = true;
  changed_.notify_all();
}

bool RunningChild::wait_for_output(std::string_view text, DWORD timeout_ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    return output_.text.find(text) != std::string::npos || output_.ended;
  }) && output_.text.find(text) != std::string::npos;
}

void RunningChild::write_input(std::string_view text) {
  DWORD written = 0;
  EXPECT_TRUE(input_ != nullptr &&
              WriteFile(input_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
}

void RunningChild::close_input() {
  if (input_ != nullptr) CloseHandle(input_);
  input_ = nullptr;
}

std::optional<DWORD> RunningChild::wait(DWORD timeout_ms) {
  if (process_ == nullptr || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
  DWORD exit_code = 0;
  GetExitCodeProcess(process_, &exit_code);
  // The output is complete once the child's ends of the pipes are closed, which its end does.
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                    [&] { return output_.ended && errors_.ended; });
  return exit_code;
}

std::string RunningChild::output() const {
  std::lock_guard lock(mutex_);
  return output_.text;
}

std::string RunningChild::errors() const {
  std::lock_guard lock(mutex_);
  return errors_.text;
}

ChildRun run_child(const std::wstring& path, const std::wstring& arguments,
                   std::optional<std::wstring> environment, std::optional<HANDLE> standard_output,
                   DWORD timeout_ms) {
  RunningChild child(path, arguments, std::move(environment), standard_output);
  child.close_input();
  ChildRun run;
  if (!child.started()) return run;
  const std::optional<DWORD> exit_code = child.wait(timeout_ms);
  if (!exit_code) ADD_FAILURE() << "the child did not end";
  run.exit_code = exit_code.value_or(99);
  run.output = child.output();
  run.errors = child.errors();
  return run;
}

std::string without_carriage_returns(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

}  // namespace child_process
