#pragma once

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/experimental/concurrent_channel.hpp>

#include <memory>
#include <utility>

namespace varlin::metadata_pipe {

using ShutdownChannel = asio::experimental::concurrent_channel<void(asio::error_code, bool)>;

// Stops a server when sent to or released, whichever comes first. Usable from any thread.
class ShutdownSender {
 public:
  explicit ShutdownSender(std::shared_ptr<ShutdownChannel> channel) : channel_(std::move(channel)) {}
  ShutdownSender(ShutdownSender&& other) noexcept = default;
  ShutdownSender& operator=(ShutdownSender&& other) noexcept;
  ShutdownSender(const ShutdownSender&) = delete;
  ShutdownSender& operator=(const ShutdownSender&) = delete;
  ~ShutdownSender();

  void send();

 private:
  std::shared_ptr<ShutdownChannel> channel_;
};

// A one-shot channel: the sender for the owner of the server, the channel for the server to wait on.
struct ShutdownSignal {
  ShutdownSender sender;
  std::shared_ptr<ShutdownChannel> channel;

  static ShutdownSignal create(const asio::any_io_executor& executor);
};

// Completes once the sender has sent or has been released.
asio::awaitable<void> wait_for_shutdown(std::shared_ptr<ShutdownChannel> channel);

}  // namespace varlin::metadata_pipe
