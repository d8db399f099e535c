#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/experimental/concurrent_channel.hpp>
#include <asio/use_awaitable.hpp>

#include <memory>
#include <utility>

namespace varlin::filesystem {

// An IBM i connection that one task at a time may use. Waiting tasks queue in order, without
// blocking a thread; cancelling a wait takes nothing.
template <typename Client>
class ConnectionLock {
 public:
  ConnectionLock(const asio::any_io_executor& executor, Client client)
      : slot_(executor, 1), client_(std::move(client)) {}

  ConnectionLock(const ConnectionLock&) = delete;
  ConnectionLock& operator=(const ConnectionLock&) = delete;

  // The connection, until the guard is released.
  class Guard {
   public:
    explicit Guard(ConnectionLock& lock) : lock_(&lock) {}
    Guard(Guard&& other) noexcept : lock_(std::exchange(other.lock_, nullptr)) {}
    Guard& operator=(Guard&&) = delete;
    ~Guard() {
      if (lock_) lock_->release();
    }

    Client& operator*() const { return lock_->client_; }
    Client* operator->() const { return &lock_->client_; }

   private:
    ConnectionLock* lock_;
  };

  asio::awaitable<Guard> lock() {
    // The channel's one buffered message is the lock: sending takes it, receiving gives it back.
    co_await slot_.async_send(asio::error_code{}, true, asio::use_awaitable);
    co_return Guard(*this);
  }

 private:
  void release() {
    slot_.try_receive([](asio::error_code, bool) {});
  }

  asio::experimental::concurrent_channel<void(asio::error_code, bool)> slot_;
  Client client_;
};

// A connection shared by the mount's file system and its metadata pipe.
template <typename Client>
using SharedConnection = std::shared_ptr<ConnectionLock<Client>>;

}  // namespace varlin::filesystem
