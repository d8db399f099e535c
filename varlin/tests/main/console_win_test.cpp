// Runs with a console (the test is started under a pseudo-terminal); skipped without one.
#include <windows.h>

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <future>
#include <string>
#include <vector>

#include "main/console/console_control_win.hpp"
#include "main/console/console_input_win.hpp"
#include "main/console/console_output_win.hpp"
#include "main/console/password_win.hpp"

namespace varlin {
namespace {

using namespace std::chrono_literals;

class Console : public testing::Test {
 protected:
  void SetUp() override {
    input_ = GetStdHandle(STD_INPUT_HANDLE);
    if (!GetConsoleMode(input_, &mode_)) GTEST_SKIP() << "no console";
  }

  // Puts keystrokes into the console's input buffer, as if typed.
  void type(std::wstring_view keys) {
    std::vector<INPUT_RECORD> records;
    for (const wchar_t key : keys) {
      for (const BOOL down : {TRUE, FALSE}) {
        INPUT_RECORD record{};
        record.EventType = KEY_EVENT;
        record.Event.KeyEvent.bKeyDown = down;
        record.Event.KeyEvent.wRepeatCount = 1;
        record.Event.KeyEvent.wVirtualKeyCode = key == L'\r' ? VK_RETURN : 0;
        record.Event.KeyEvent.uChar.UnicodeChar = key;
        records.push_back(record);
      }
    }
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputW(input_, records.data(), static_cast<DWORD>(records.size()), &written));
  }

  DWORD mode() const {
    DWORD now = 0;
    GetConsoleMode(input_, &now);
    return now;
  }

  HANDLE input_ = nullptr;
  DWORD mode_ = 0;
};

TEST_F(Console, PasswordIsReadWithoutEchoAndTheModeIsRestored) {
  ASSERT_NE(mode_ & ENABLE_ECHO_INPUT, 0u);
  SetEnvironmentVariableW(L"MORVA_PASSWORD", nullptr);
  type(L" s\u00E9cret \r");
  const auto password = resolve_password();
  ASSERT_TRUE(password.has_value()) << password.error().text();
  EXPECT_EQ(password->text(),
            " s\xC3\xA9"
            "cret ");
  EXPECT_EQ(mode(), mode_);
}

TEST_F(Console, StandardInputIsReadAsUtf16AndSharedWithTheStopReader) {
  type(L"  J\u00FCrgen \u65E5\r");
  const auto profile = resolve_user_profile(Args{}, standard_input(), write_standard_output);
  ASSERT_TRUE(profile.has_value()) << profile.error().text();
  EXPECT_EQ(*profile, "J\xC3\xBCrgen \xE6\x97\xA5");

  type(L"stopp\rStop\r");
  StopChannel channel = StopChannel::create();
  auto reader =
      std::async(std::launch::async, [&] { stdin_stop_reader(std::move(channel.sender), standard_input()); });
  ASSERT_EQ(reader.wait_for(20s), std::future_status::ready);
  EXPECT_TRUE(channel.receiver.wait().has_value());
}

using StreamWriter = morva::Result<void> (*)(std::string_view text);

TEST_F(Console, OutputAndErrorShowTheirTextWhateverTheCodePage) {
  // The test's own output goes to a file; the console's screen buffer stands in for both streams.
  const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(console, INVALID_HANDLE_VALUE);
  // In code page 437 the UTF-8 bytes of "/home/\u00C5se" would show as "/home/\u251C\u00E0se".
  const UINT code_page = GetConsoleOutputCP();
  ASSERT_TRUE(SetConsoleOutputCP(437));
  const struct {
    std::string_view name;
    DWORD handle;
    StreamWriter write;
  } streams[] = {{"standard output", STD_OUTPUT_HANDLE, write_standard_output},
                 {"standard error", STD_ERROR_HANDLE, write_standard_error}};
  for (const auto& stream : streams) {
    const HANDLE saved = GetStdHandle(stream.handle);
    ASSERT_TRUE(SetStdHandle(stream.handle, console));
    CONSOLE_SCREEN_BUFFER_INFO before{};
    const bool started = stream.write("\n").has_value() && GetConsoleScreenBufferInfo(console, &before);
    const auto written = stream.write("/home/\xC3\x85se \xE2\x82\xAC \xFF\n");
    SetStdHandle(stream.handle, saved);
    ASSERT_TRUE(started);
    ASSERT_TRUE(written.has_value()) << written.error().text();

    const std::wstring expected = L"/home/\u00C5se \u20AC \uFFFD";
    std::wstring shown(expected.size(), L'\0');
    DWORD read = 0;
    ASSERT_TRUE(ReadConsoleOutputCharacterW(console, shown.data(), static_cast<DWORD>(shown.size()),
                                            before.dwCursorPosition, &read));
    shown.resize(read);
    EXPECT_EQ(shown, expected) << stream.name;
  }
  SetConsoleOutputCP(code_page);
  CloseHandle(console);
}

bool thread_named(std::wstring_view name) {
  using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  const auto get_description = reinterpret_cast<GetDescription>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
  if (get_description == nullptr) return false;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  bool found = false;
  for (BOOL more = Thread32First(snapshot, &entry); more && !found; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
    const HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID);
    PWSTR description = nullptr;
    if (thread != nullptr && SUCCEEDED(get_description(thread, &description))) {
      found = description != nullptr && name == description;
      LocalFree(description);
    }
    if (thread != nullptr) CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return found;
}

TEST_F(Console, EachControlEventSendsOneStopMessage) {
  StopChannel channel = StopChannel::create();
  ASSERT_TRUE(install_console_control_handler(channel.sender.clone()).has_value());
  // The thread names itself once it runs.
  bool named = false;
  for (int attempt = 0; attempt < 200 && !named; ++attempt, Sleep(25)) named = thread_named(L"ctrl-c");
  EXPECT_TRUE(named);

  // Wine generates only Ctrl+C for the whole console; pressed twice it gives two messages.
  for (const DWORD event : {CTRL_C_EVENT, CTRL_C_EVENT}) {
    ASSERT_TRUE(GenerateConsoleCtrlEvent(event, 0));
    auto received = std::async(std::launch::async, [&] { return channel.receiver.wait().has_value(); });
    if (received.wait_for(20s) != std::future_status::ready) {
      ADD_FAILURE() << "no stop message for event " << event;
      channel.sender.send();  // lets the wait end
    }
    EXPECT_TRUE(received.get());
  }
}

}  // namespace
}  // namespace varlin
