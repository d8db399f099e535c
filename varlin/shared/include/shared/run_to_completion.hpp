#pragma once

#include <asio/awaitable.hpp>
#include <asio/co_spawn.hpp>
#include <asio/experimental/as_tuple.hpp>
#include <asio/experimental/concurrent_channel.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include <exception>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

namespace varlin::filesystem {

// Runs the work as a task of its own and waits for its result. Cancelling the waiting task ends the
// wait but not the work: an exchange with the IBM i broken off half way would leave its connection
// unusable for everyone.
template <typename T>
asio::awaitable<T> run_to_completion(asio::awaitable<T> work) {
  using Channel =
      asio::experimental::concurrent_channel<void(asio::error_code, std::exception_ptr, std::optional<T>)>;
  const auto executor = co_await asio::this_coro::executor;
  auto channel = std::make_shared<Channel>(executor, 1);
  asio::co_spawn(
      executor,
      [](asio::awaitable<T> task, std::shared_ptr<Channel> done) -> asio::awaitable<void> {
        std::optional<T> result(co_await std::move(task));
        done->try_send(asio::error_code{}, nullptr, std::move(result));
      }(std::move(work), channel),
      [channel](std::exception_ptr failure) {
        if (failure) channel->try_send(asio::error_code{}, failure, std::nullopt);
      });
  auto [error, failure, result] =
      co_await channel->async_receive(asio::experimental::as_tuple(asio::use_awaitable));
  if (error) throw std::system_error(error);
  if (failure) std::rethrow_exception(failure);
  co_return std::move(*result);
}

}  // namespace varlin::filesystem
