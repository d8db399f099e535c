#include "shared/connection_lock.hpp"

#include <gtest/gtest.h>

#include <asio/bind_cancellation_slot.hpp>
#include <asio/cancellation_signal.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/steady_timer.hpp>
#include <asio/thread_pool.hpp>
#include <asio/use_future.hpp>

#include <atomic>
#include <chrono>
#include <future>
#include <vector>

namespace varlin::filesystem {
namespace {

using namespace std::chrono_literals;

// How many tasks use the connection at once.
struct Usage {
  std::atomic<int> users = 0;
  std::atomic<int> most_users = 0;
  int uses = 0;  // not atomic: the lock alone keeps it right
};

// Stands in for a connection.
struct Connection {
  Usage* usage;
};

asio::awaitable<void> use(ConnectionLock<Connection>& lock) {
  auto connection = co_await lock.lock();
  Usage& usage = *connection->usage;
  const int users = ++usage.users;
  int most = usage.most_users;
  while (users > most && !usage.most_users.compare_exchange_weak(most, users)) {
  }
  asio::steady_timer pause(co_await asio::this_coro::executor, 1ms);
  co_await pause.async_wait(asio::use_awaitable);
  ++usage.uses;
  --usage.users;
}

TEST(ConnectionLock, OneTaskAtATimeAcrossThreads) {
  asio::thread_pool pool(4);
  Usage usage;
  ConnectionLock<Connection> lock(pool.get_executor(), Connection{&usage});
  std::vector<std::future<void>> done;
  for (int i = 0; i < 40; ++i) done.push_back(asio::co_spawn(pool, use(lock), asio::use_future));
  for (auto& task : done) ASSERT_EQ(task.wait_for(10s), std::future_status::ready);
  auto check = asio::co_spawn(
      pool,
      [&]() -> asio::awaitable<int> {
        auto connection = co_await lock.lock();
        EXPECT_EQ(connection->usage->most_users, 1);
        co_return connection->usage->uses;
      },
      asio::use_future);
  ASSERT_EQ(check.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(check.get(), 40);
  pool.join();
}

TEST(ConnectionLock, ACancelledWaitTakesNothing) {
  asio::thread_pool pool(2);
  Usage usage;
  ConnectionLock<Connection> lock(pool.get_executor(), Connection{&usage});
  std::promise<void> holding;
  std::promise<void> release;
  auto holder = asio::co_spawn(
      pool,
      [&]() -> asio::awaitable<void> {
        auto connection = co_await lock.lock();
        holding.set_value();
        asio::steady_timer until(co_await asio::this_coro::executor, 50ms);
        co_await until.async_wait(asio::use_awaitable);
        release.get_future().wait();
      },
      asio::use_future);
  holding.get_future().wait();

  asio::cancellation_signal cancel;
  std::promise<bool> waiter_ended;
  asio::co_spawn(
      pool, [&]() -> asio::awaitable<void> { co_await lock.lock(); },
      asio::bind_cancellation_slot(
          cancel.slot(), [&](std::exception_ptr failure) { waiter_ended.set_value(failure != nullptr); }));
  // Give the waiter time to queue behind the holder before it is cancelled.
  asio::steady_timer queued(pool, 20ms);
  queued.async_wait([&](asio::error_code) { cancel.emit(asio::cancellation_type::terminal); });
  auto ended = waiter_ended.get_future();
  ASSERT_EQ(ended.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(ended.get()) << "the cancelled wait fails instead of taking the lock";

  release.set_value();
  ASSERT_EQ(holder.wait_for(10s), std::future_status::ready);
  auto next = asio::co_spawn(pool, use(lock), asio::use_future);
  EXPECT_EQ(next.wait_for(10s), std::future_status::ready) << "the lock is free again";
  pool.join();
}

}  // namespace
}  // namespace varlin::filesystem
