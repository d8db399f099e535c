#pragma once

// Runs a program of the build as a child process, for black-box tests of Windows programs.

#include <windows.h>

#include <optional>
#include <string>

namespace child_process {

struct ChildRun {
  DWORD exit_code = 0;
  std::string output;  // standard output, as written
  std::string errors;  // standard error, as written
};

// The folder of the running program, ending with a backslash.
std::wstring program_folder();

// Runs `path` with `arguments` after its quoted path, with `environment` (a block of "NAME=value"
// strings, each ended by a zero, and one more zero) or else the current environment, and waits at most
// `timeout_ms`; a child that does not end in time is ended and fails the test.
ChildRun run_child(const std::wstring& path, const std::wstring& arguments,
                   std::optional<std::wstring> environment = std::nullopt, DWORD timeout_ms = 30'000);

// Text as a text stream shows it, with each CR LF read as LF.
std::string without_carriage_returns(std::string text);

}  // namespace child_process
