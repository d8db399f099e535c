#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/co_spawn.hpp>
#include <asio/thread_pool.hpp>

#include <future>
#include <memory>
#include <thread>
#include <utility>

namespace varlin::filesystem {

// The mount's asynchronous runtime: a thread per processor that drives the IBM i connections and the
// metadata pipe. Threads outside it wait for its work with `block_on`.
class Runtime {
 public:
  Runtime() : pool_(std::max(1u, std::thread::hardware_concurrency())) {}
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;
  ~Runtime() { shut_down(); }

  asio::any_io_executor executor() { return pool_.get_executor(); }

  // Runs the work on the runtime and blocks the calling thread, which must not be one of the
  // runtime's, until it is done. An exception of the work is rethrown here.
  template <typename T>
  T block_on(asio::awaitable<T> work) {
    auto promise = std::make_shared<std::promise<T>>();
    auto done = promise->get_future();
    asio::co_spawn(
        pool_,
        [](asio::awaitable<T> task, std::shared_ptr<std::promise<T>> result) -> asio::awaitable<void> {
          result->set_value(co_await std::move(task));
        }(std::move(work), promise),
        [promise](std::exception_ptr failure) {
          if (failure) promise->set_exception(failure);
        });
    return done.get();
  }

  // Ends every task at its next step and waits for the threads; pending work is dropped later, with
  // the runtime.
  void shut_down() {
    pool_.stop();
    pool_.join();
  }

 private:
  asio::thread_pool pool_;
};

}  // namespace varlin::filesystem
