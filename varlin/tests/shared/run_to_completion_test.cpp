#include "shared/run_to_completion.hpp"

#include <gtest/gtest.h>

#include <asio/bind_cancellation_slot.hpp>
#include <asio/cancellation_signal.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include <chrono>
#include <stdexcept>

namespace varlin::filesystem {
namespace {

using namespace std::chrono_literals;

asio::awaitable<int> slow_answer(bool& finished) {
  asio::steady_timer pause(co_await asio::this_coro::executor, 20ms);
  co_await pause.async_wait(asio::use_awaitable);
  finished = true;
  co_return 42;
}

TEST(RunToCompletion, PassesTheResultThrough) {
  asio::io_context io;
  bool finished = false;
  std::optional<int> result;
  asio::co_spawn(
      io, [&]() -> asio::awaitable<void> { result = co_await run_to_completion(slow_answer(finished)); },
      asio::detached);
  io.run_for(5s);
  EXPECT_EQ(result, 42);
}

TEST(RunToCompletion, CancellingTheWaiterLetsTheWorkFinish) {
  asio::io_context io;
  bool finished = false;
  bool waiter_failed = false;
  asio::cancellation_signal cancel;
  asio::co_spawn(io, run_to_completion(slow_answer(finished)),
                 asio::bind_cancellation_slot(cancel.slot(), [&](std::exception_ptr failure, int) {
                   waiter_failed = failure != nullptr;
                 }));
  io.poll();
  cancel.emit(asio::cancellation_type::terminal);
  io.run_for(5s);
  EXPECT_TRUE(waiter_failed);
  EXPECT_TRUE(finished);
}

TEST(RunToCompletion, RethrowsTheWorksFailure) {
  asio::io_context io;
  std::exception_ptr failure;
  asio::co_spawn(io, run_to_completion([]() -> asio::awaitable<int> {
                   throw std::runtime_error("work failed");
                   co_return 0;
                 }()),
                 [&](std::exception_ptr error, int) { failure = error; });
  io.run_for(5s);
  ASSERT_TRUE(failure);
  EXPECT_THROW(std::rethrow_exception(failure), std::runtime_error);
}

}  // namespace
}  // namespace varlin::filesystem
