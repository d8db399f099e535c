#include "main/console/console_events.hpp"

#include <gtest/gtest.h>

#include <future>

namespace varlin {
namespace {

using namespace std::chrono_literals;

bool ended_within(std::future<void>& work, std::chrono::milliseconds limit) {
  return work.wait_for(limit) == std::future_status::ready;
}

TEST(ConsoleEvents, CtrlCAndCtrlBreakReturnAtOnce) {
  ConsoleEvents events(60s);
  for (const ConsoleEvent event : {ConsoleEvent::ctrl_c, ConsoleEvent::ctrl_break, ConsoleEvent::other}) {
    auto handled = std::async(std::launch::async, [&] { events.on_event(event); });
    EXPECT_TRUE(ended_within(handled, 10s));
  }
  auto taken = std::async(std::launch::async, [&] {
    for (int i = 0; i < 3; ++i) events.take_event();  // one wake-up per event
  });
  EXPECT_TRUE(ended_within(taken, 10s));
}

TEST(ConsoleEvents, EventsThatEndTheProcessWaitForTheShutdown) {
  for (const ConsoleEvent event : {ConsoleEvent::close, ConsoleEvent::logoff, ConsoleEvent::shutdown}) {
    ConsoleEvents events(60s);
    auto handled = std::async(std::launch::async, [&] { events.on_event(event); });
    auto taken = std::async(std::launch::async, [&] { events.take_event(); });
    EXPECT_TRUE(ended_within(taken, 10s)) << "the stop message goes out while the handler still waits";
    EXPECT_FALSE(ended_within(handled, 100ms));
    events.shutdown_finished();
    EXPECT_TRUE(ended_within(handled, 10s));
  }
}

TEST(ConsoleEvents, ShutdownFinishedEarlierLetsCloseReturn) {
  ConsoleEvents events(60s);
  events.shutdown_finished();
  auto handled = std::async(std::launch::async, [&] { events.on_event(ConsoleEvent::close); });
  EXPECT_TRUE(ended_within(handled, 10s));
}

TEST(ConsoleEvents, WaitForTheShutdownIsBounded) {
  ConsoleEvents events(50ms);
  auto handled = std::async(std::launch::async, [&] { events.on_event(ConsoleEvent::close); });
  EXPECT_TRUE(ended_within(handled, 10s));
}

TEST(ConsoleEvents, TakeEventWaitsForTheNextEvent) {
  ConsoleEvents events(60s);
  auto taken = std::async(std::launch::async, [&] { events.take_event(); });
  EXPECT_FALSE(ended_within(taken, 50ms));
  events.on_event(ConsoleEvent::ctrl_c);
  EXPECT_TRUE(ended_within(taken, 10s));
}

}  // namespace
}  // namespace varlin
