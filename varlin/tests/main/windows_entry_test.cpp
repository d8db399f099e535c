// Runs the option probe as a child process with chosen command lines and environments.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process_win.hpp"
#include "main/console/console_control_win.hpp"
#include "main/console/console_input_win.hpp"
#include "main/console/console_output_win.hpp"
#include "main/console/password_win.hpp"
#include "morva/ccsid/utf16.hpp"
#include "shared/windows_text_win.hpp"

namespace varlin {
namespace {

using child_process::ChildRun;

// Runs the option probe; standard output and error are text streams, so their CR LF become LF.
ChildRun run_probe(const std::wstring& arguments, const std::vector<std::wstring>& environment = {},
                   std::optional<HANDLE> standard_output = std::nullopt) {
  ChildRun run =
      child_process::run_child(child_process::program_folder() + L"varlin_args_probe.exe", arguments,
                               child_process::environment_block(environment), standard_output);
  run.output = child_process::without_carriage_returns(std::move(run.output));
  run.errors = child_process::without_carriage_returns(std::move(run.errors));
  return run;
}

TEST(WindowsEntry, ParsesWideArgumentsAndEnvironment) {
  struct Case {
    std::wstring arguments;
    std::vector<std::wstring> environment;
    std::vector<std::string> expected_lines;
  };
  const std::vector<Case> cases = {
      {L"--host ibmi --user \"J\u00FCrgen \u65E5\" --mount-id=0x1A2B -v",
       {},
       {"verbose=1", "host=[ibmi]", "user=[J\xC3\xBCrgen \xE6\x97\xA5]", "mount_id=6699", "mount_point=[Z:]",
        "remote_root=[/]", "max_file_size=67108864", "cache_ttl_seconds=30"}},
      {L"", {L"MORVA_HOST=\u00C4", L"MORVA_USER="}, {"host=[\xC3\x84]", "user=[]", "mount_id=(none)"}},
      {L"--host h",
       {L"VARLIN_CACHE_TTL_SECONDS=0", L"VARLIN_MOUNT_POINT=C:\\m n"},
       {"user=(none)", "cache_ttl_seconds=0", "mount_point=[C:\\m n]"}},
  };
  for (const Case& test : cases) {
    const ChildRun run = run_probe(test.arguments, test.environment);
    EXPECT_EQ(run.exit_code, 0u) << run.errors;
    EXPECT_EQ(run.errors, "");
    for (const std::string& line : test.expected_lines)
      EXPECT_NE(run.output.find(line + "\n"), std::string::npos) << line << " in\n" << run.output;
  }
}

// A text of the parser: its first lines, then the usage line.
std::string with_usage(std::string_view first_lines) {
  return std::string(first_lines) + "\n\nUsage: varlin_args_probe.exe [OPTIONS] --host <HOST>\n";
}

TEST(WindowsEntry, HelpAndErrorsEndTheProcess) {
  // Wine's name of the Linux device on which every write fails as on a full disk.
  const HANDLE full_device =
      CreateFileW(LR"(\\?\unix\dev\full)", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(full_device, INVALID_HANDLE_VALUE) << GetLastError();
  constexpr HANDLE kNoStandardOutput = nullptr;
  struct Case {
    std::wstring arguments;
    DWORD exit_code;
    bool on_standard_output;
    std::string start;  // what the text begins with
    std::vector<std::wstring> environment = {};
    std::optional<HANDLE> standard_output = {};  // in place of the pipe that the test reads
  };
  const std::string help = with_usage("Mount an IBM i IFS directory as a Windows drive");
  const std::string empty_host =
      with_usage("error: invalid value '' for '--host <HOST>': host must not be empty or only white space");
  const std::string unwritable =
      "Error: I/O error Other: writing to standard output failed with Windows error ";
  const std::vector<Case> cases = {
      {L"--help", 0, true, help},
      {L"", 2, false,
       with_usage("error: the following required arguments were not provided:\n  --host <HOST>")},
      {L"--host a --host b", 2, false,
       with_usage("error: the argument '--host <HOST>' cannot be used multiple times")},
      {L"--host a --user \xD800", 2, false,
       with_usage("error: invalid UTF-8 was detected in one or more arguments")},
      {L"--help \xD800", 0, true, help},
      {L"--host a --mount-id \u00C5se", 2, false,
       with_usage("error: invalid value '\xC3\x85se' for '--mount-id <MOUNT_ID>': mount id must be a 32-bit "
                  "decimal or 0x-prefixed hexadecimal number")},
      {L"--host \"\"", 2, false, empty_host},
      {L"", 2, false, empty_host, {L"MORVA_HOST="}},
      {L"--help", 3, false, unwritable + "112\n", {}, full_device},
      {L"--host a -h", 3, false, unwritable + "6\n", {}, kNoStandardOutput},
  };
  for (const Case& test : cases) {
    const ChildRun run = run_probe(test.arguments, test.environment, test.standard_output);
    EXPECT_EQ(run.exit_code, test.exit_code) << test.start;
    const std::string& shown = test.on_standard_output ? run.output : run.errors;
    const std::string& other = test.on_standard_output ? run.errors : run.output;
    EXPECT_TRUE(shown.starts_with(test.start)) << shown;
    EXPECT_EQ(other, "");
  }
  CloseHandle(full_device);
}

TEST(WindowsStandardInput, RedirectedInputIsSharedByThePromptAndTheStopReader) {
  HANDLE read_end, write_end;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  const std::string input = "  d\xC3\xA9v \r\nnot yet\r\nSTOP";
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(write_end, input.data(), static_cast<DWORD>(input.size()), &written, nullptr));
  CloseHandle(write_end);
  ASSERT_TRUE(SetStdHandle(STD_INPUT_HANDLE, read_end));

  const auto profile = resolve_user_profile(Args{}, standard_input(), write_standard_output);
  ASSERT_TRUE(profile.has_value()) << profile.error().text();
  EXPECT_EQ(*profile, "d\xC3\xA9v");
  StopChannel channel = StopChannel::create();
  stdin_stop_reader(std::move(channel.sender), standard_input());
  EXPECT_TRUE(channel.receiver.wait().has_value());
}

TEST(WindowsStandardOutput, RedirectedOutputAndErrorGetTheUtf8Bytes) {
  const std::string text = "/home/\xC3\x85se\n\xFF\n";
  const struct {
    std::string_view name;
    DWORD handle;
    morva::Result<void> (*write)(std::string_view text);
  } streams[] = {{"standard output", STD_OUTPUT_HANDLE, write_standard_output},
                 {"standard error", STD_ERROR_HANDLE, write_standard_error}};
  for (const auto& stream : streams) {
    HANDLE read_end, write_end;
    ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
    const HANDLE saved = GetStdHandle(stream.handle);
    ASSERT_TRUE(SetStdHandle(stream.handle, write_end));
    const auto written = stream.write(text);
    SetStdHandle(stream.handle, saved);
    CloseHandle(write_end);
    ASSERT_TRUE(written.has_value()) << written.error().text();

    std::string received(64, '\0');
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(read_end, received.data(), static_cast<DWORD>(received.size()), &read, nullptr));
    CloseHandle(read_end);
    received.resize(read);
    EXPECT_EQ(received, text) << stream.name;
  }
}

TEST(WindowsPassword, EnvironmentValueIsTakenExactly) {
  for (const std::wstring& value :
       {std::wstring(L""), std::wstring(L"  se cret\t"), std::wstring(L"p\u00E4ss")}) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"MORVA_PASSWORD", value.c_str()));
    const auto password = resolve_password();
    ASSERT_TRUE(password.has_value()) << password.error().text();
    std::string expected;
    morva::ccsid::append_utf8_of_utf16(as_utf16(value.data(), value.size()), expected);
    EXPECT_EQ(password->text(), expected);
  }
  SetEnvironmentVariableW(L"MORVA_PASSWORD", nullptr);
}

TEST(WindowsConsoleControl, InstallsOnlyOnce) {
  StopChannel channel = StopChannel::create();
  ASSERT_TRUE(install_console_control_handler(channel.sender.clone()).has_value());
  EXPECT_FALSE(install_console_control_handler(channel.sender.clone()).has_value());
}

}  // namespace
}  // namespace varlin
