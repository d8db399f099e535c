#include "main/console/console_control_win.hpp"

#include <windows.h>

#include <atomic>
#include <system_error>
#include <thread>

#include "main/console/console_events.hpp"

namespace varlin {

namespace {

// Longer than any grace time the system gives, which ends the process first; the bound only keeps
// the handler from waiting forever should main never finish.
constexpr std::chrono::milliseconds kShutdownWaitLimit{30'000};

std::atomic<bool> installed{false};

// Never destroyed: the detached thread that takes the events waits on it until the process ends, and
// destroying a mutex or condition variable that a thread waits on is undefined.
ConsoleEvents& console_events() {
  static ConsoleEvents* const events = new ConsoleEvents(kShutdownWaitLimit);
  return *events;
}

ConsoleEvent event_of(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT: return ConsoleEvent::ctrl_c;
    case CTRL_BREAK_EVENT: return ConsoleEvent::ctrl_break;
    case CTRL_CLOSE_EVENT: return ConsoleEvent::close;
    case CTRL_LOGOFF_EVENT: return ConsoleEvent::logoff;
    case CTRL_SHUTDOWN_EVENT: return ConsoleEvent::shutdown;
    default: return ConsoleEvent::other;
  }
}

BOOL WINAPI on_console_event(DWORD type) {
  console_events().on_event(event_of(type));
  return TRUE;
}

void name_this_thread(const wchar_t* name) {
  // Looked up at run time: older systems lack it.
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  const auto set_description = reinterpret_cast<SetDescription>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")));
  if (set_description != nullptr) set_description(GetCurrentThread(), name);
}

}  // namespace

morva::Result<void> install_console_control_handler(StopSender sender) {
  if (installed.exchange(true)) return morva::fail("console control handler is already installed");
  ConsoleEvents& events = console_events();
  try {
    std::thread([&events, sender = std::move(sender)] {
      name_this_thread(L"ctrl-c");
      for (;;) {
        events.take_event();
        sender.send();
      }
    }).detach();
  } catch (const std::system_error& error) {
    return std::unexpected(morva::Error::system(error.code()));
  }
  if (!SetConsoleCtrlHandler(on_console_event, TRUE))
    return std::unexpected(
        morva::Error::system(std::error_code(static_cast<int>(GetLastError()), std::system_category())));
  return {};
}

void console_shutdown_finished() {
  console_events().shutdown_finished();
}

}  // namespace varlin
