#pragma once

#include <gtest/gtest.h>
#include <asio/awaitable.hpp>
#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>

#include <chrono>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

namespace testing_support {

// Runs an awaitable to its end on `io` (restarted first) and gives its result, which need not be
// default-constructible. An exception inside it is thrown here; one that has not ended within the limit
// fails the test and throws.
template <typename T>
T run_awaitable(asio::io_context& io, asio::awaitable<T> operation,
                std::chrono::seconds limit = std::chrono::seconds(60)) {
  auto result = std::make_shared<std::optional<T>>();
  asio::co_spawn(
      io,
      [operation = std::move(operation), result]() mutable -> asio::awaitable<void> {
        result->emplace(co_await std::move(operation));
      },
      [](std::exception_ptr failure) {
        if (failure) std::rethrow_exception(failure);
      });
  io.restart();
  io.run_for(limit);
  if (!*result) {
    ADD_FAILURE() << "the operation did not end within " << limit.count() << " s";
    throw std::runtime_error("operation did not end");
  }
  return std::move(**result);
}

}  // namespace testing_support
