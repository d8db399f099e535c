#include "metadata_pipe/shutdown_signal.hpp"

#include <asio/experimental/as_tuple.hpp>
#include <asio/use_awaitable.hpp>

namespace varlin::metadata_pipe {

ShutdownSender& ShutdownSender::operator=(ShutdownSender&& other) noexcept {
  if (this != &other) {
    if (channel_) channel_->close();
    channel_ = std::move(other.channel_);
  }
  return *this;
}

ShutdownSender::~ShutdownSender() {
  if (channel_) channel_->close();
}

void ShutdownSender::send() {
  if (channel_) channel_->try_send(asio::error_code{}, true);
}

ShutdownSignal ShutdownSignal::create(const asio::any_io_executor& executor) {
  auto channel = std::make_shared<ShutdownChannel>(executor, 1);
  return ShutdownSignal{ShutdownSender(channel), channel};
}

asio::awaitable<void> wait_for_shutdown(std::shared_ptr<ShutdownChannel> channel) {
  // A message and a closed channel both end the wait.
  co_await channel->async_receive(asio::experimental::as_tuple(asio::use_awaitable));
}

}  // namespace varlin::metadata_pipe
