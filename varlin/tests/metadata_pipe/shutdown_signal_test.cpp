#include "metadata_pipe/shutdown_signal.hpp"

#include <gtest/gtest.h>

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>

#include <chrono>
#include <optional>

namespace varlin::metadata_pipe {
namespace {

asio::awaitable<void> note_shutdown(std::shared_ptr<ShutdownChannel> channel, bool& seen) {
  co_await wait_for_shutdown(std::move(channel));
  seen = true;
}

// Runs a wait for the signal; `act` sends, releases or does nothing to the sender.
template <typename Act>
bool shutdown_seen(Act act) {
  asio::io_context io;
  auto signal = ShutdownSignal::create(io.get_executor());
  bool seen = false;
  asio::co_spawn(io, note_shutdown(signal.channel, seen), asio::detached);
  std::optional<ShutdownSender> sender(std::move(signal.sender));
  act(sender);
  io.run_for(std::chrono::milliseconds(200));
  return seen;
}

TEST(ShutdownSignal, SendAndReleaseBothStop) {
  EXPECT_TRUE(shutdown_seen([](std::optional<ShutdownSender>& sender) { sender->send(); }));
  EXPECT_TRUE(shutdown_seen([](std::optional<ShutdownSender>& sender) { sender.reset(); }));
  EXPECT_TRUE(
      shutdown_seen([](std::optional<ShutdownSender>& sender) { ShutdownSender moved(std::move(*sender)); }));
  EXPECT_FALSE(shutdown_seen([](std::optional<ShutdownSender>&) {}));
}

}  // namespace
}  // namespace varlin::metadata_pipe
