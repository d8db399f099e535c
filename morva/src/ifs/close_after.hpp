#pragma once

#include "morva/error.hpp"
#include "morva/ifs/client.hpp"

#include <asio/awaitable.hpp>

#include <cstdint>
#include <string>

namespace morva::ifs {

// Closes an open file whatever the outcome of the work on it. The work's error wins over the close's;
// a close error replaces a successful outcome.
template <typename T>
asio::awaitable<Result<T>> close_after(IfsClient& client, std::uint32_t file_handle, std::string path,
                                       Result<T> outcome) {
  auto closed = co_await client.close_file(file_handle, std::move(path));
  if (outcome && !closed) co_return std::unexpected(closed.error());
  co_return outcome;
}

}  // namespace morva::ifs
