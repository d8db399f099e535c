#pragma once

// Runs a program of the build as a child process, for black-box tests of Windows programs.

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace child_process {

struct ChildRun {
  DWORD exit_code = 0;
  std::string output;  // standard output, as written
  std::string errors;  // standard error, as written
};

// The folder of the running program, ending with a backslash.
std::wstring program_folder();

// The current environment without the mount program's variables (MORVA_*, VARLIN_*) and those that
// `extra` sets ("NAME=value" each), then `extra`, as a block for CreateProcessW.
std::wstring environment_block(const std::vector<std::wstring>& extra);

// A child process that runs while the test writes its standard input and reads its output. A child
// still running when this is destroyed is ended.
class RunningChild {
 public:
  // Starts `path` with `arguments` after its quoted path, with `environment` (a block of "NAME=value"
  // strings, each ended by a zero, and one more zero) or else the current environment. Its standard
  // output is a pipe that `output` reads, or else `standard_output` (a file, or nullptr for none).
  RunningChild(const std::wstring& path, const std::wstring& arguments,
               std::optional<std::wstring> environment = std::nullopt,
               std::optional<HANDLE> standard_output = std::nullopt);
  RunningChild(const RunningChild&) = delete;
  RunningChild& operator=(const RunningChild&) = delete;
  ~RunningChild();

  bool started() const { return process_ != nullptr; }

  // Waits until standard output holds `text`; false when the output ends or the time passes first.
  bool wait_for_output(std::string_view text, DWORD timeout_ms);

  void write_input(std::string_view text);
  void close_input();

  // Waits for the child to end and for its output to be read; nothing when it is still running after
  // `timeout_ms`.
  std::optional<DWORD> wait(DWORD timeout_ms);

  std::string output() const;
  std::string errors() const;

 private:
  struct Stream {
    std::string text;
    bool ended = false;
  };

  void read_into(HANDLE pipe, Stream& stream);

  HANDLE process_ = nullptr;
  HANDLE input_ = nullptr;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  Stream output_;
  Stream errors_;
  std::vector<std::thread> readers_;
};

// Runs `path` with `arguments`, standard input closed, and waits at most `timeout_ms`; a child that
// does not end in time is ended and fails the test.
ChildRun run_child(const std::wstring& path, const std::wstring& arguments,
                   std::optional<std::wstring> environment = std::nullopt,
                   std::optional<HANDLE> standard_output = std::nullopt, DWORD timeout_ms = 30'000);

// Text as a text stream shows it, with each CR LF read as LF.
std::string without_carriage_returns(std::string text);

}  // namespace child_process
