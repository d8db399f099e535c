#include "console_control.hpp"

#include <windows.h>

#include <atomic>
#include <system_error>
#include <thread>

namespace varlin {

namespace {

// Longer than any grace time the system gives, which ends the process first; the bound only keeps
// the handler from waiting forever should main never finish.
constexpr DWORD kShutdownWaitMilliseconds = 30'000;

std::atomic<bool> installed{false};
HANDLE events_pending = nullptr;     // semaphore: one count per event not yet sent
HANDLE shutdown_finished = nullptr;  // manual-reset event, set by main when it is done

BOOL WINAPI on_console_event(DWORD event) {
  ReleaseSemaphore(events_pending, 1, nullptr);
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    WaitForSingleObject(shutdown_finished, kShutdownWaitMilliseconds);
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

morva::Error last_error() {
  return morva::Error::system(std::error_code(static_cast<int>(GetLastError()), std::system_category()));
}

}  // namespace

morva::Result<void> install_console_control_handler(StopSender sender) {
  if (installed.exchange(true)) return morva::fail("console control handler is already installed");
  events_pending = CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr);
  if (events_pending == nullptr) return std::unexpected(last_error());
  shutdown_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (shutdown_finished == nullptr) return std::unexpected(last_error());

  try {
    std::thread([sender = std::move(sender)] {
      name_this_thread(L"ctrl-c");
      while (WaitForSingleObject(events_pending, INFINITE) == WAIT_OBJECT_0) sender.send();
    }).detach();
  } catch (const std::system_error& error) {
    return std::unexpected(morva::Error::system(error.code()));
  }
  if (!SetConsoleCtrlHandler(on_console_event, TRUE)) return std::unexpected(last_error());
  return {};
}

void console_shutdown_finished() {
  if (shutdown_finished != nullptr) SetEvent(shutdown_finished);
}

}  // namespace varlin
