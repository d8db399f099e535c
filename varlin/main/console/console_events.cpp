#include "main/console/console_events.hpp"

namespace varlin {

void ConsoleEvents::on_event(ConsoleEvent event) {
  std::unique_lock lock(mutex_);
  ++pending_;
  changed_.notify_all();
  if (event == ConsoleEvent::close || event == ConsoleEvent::logoff || event == ConsoleEvent::shutdown)
    changed_.wait_for(lock, shutdown_wait_limit_, [&] { return shutdown_finished_; });
}

void ConsoleEvents::take_event() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return pending_ > 0; });
  --pending_;
}

void ConsoleEvents::shutdown_finished() {
  std::lock_guard lock(mutex_);
  shutdown_finished_ = true;
  changed_.notify_all();
}

}  // namespace varlin
