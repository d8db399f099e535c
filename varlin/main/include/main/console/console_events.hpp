#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace varlin {

enum class ConsoleEvent { ctrl_c, ctrl_break, close, logoff, shutdown, other };

// Hands console control events from the system's handler routine to the thread that sends the stop
// messages. The system ends the process as soon as the routine returns from a close, logoff or
// shutdown event, so for those the routine waits until main reports its shutdown finished (bounded,
// in case it never does); Ctrl+C and Ctrl+Break return at once.
class ConsoleEvents {
 public:
  explicit ConsoleEvents(std::chrono::milliseconds shutdown_wait_limit)
      : shutdown_wait_limit_(shutdown_wait_limit) {}

  // The handler routine's work for one event.
  void on_event(ConsoleEvent event);

  // Blocks until an event that has not been taken yet arrives, and takes it.
  void take_event();

  void shutdown_finished();

 private:
  std::chrono::milliseconds shutdown_wait_limit_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t pending_ = 0;
  bool shutdown_finished_ = false;
};

}  // namespace varlin
