#pragma once

#include <memory>
#include <utility>

#include "morva/error.hpp"

namespace varlin {

namespace detail {
struct StopChannelState;
}

// The sending end of the stop channel. Move-only; `clone` makes another sender. A send never blocks.
class StopSender {
 public:
  StopSender(StopSender&& other) noexcept : state_(std::exchange(other.state_, nullptr)) {}
  StopSender& operator=(StopSender&& other) noexcept;
  StopSender(const StopSender&) = delete;
  StopSender& operator=(const StopSender&) = delete;
  ~StopSender();

  StopSender clone() const;

  // Queues one empty message; false when the receiver is gone.
  bool send() const;

 private:
  friend struct StopChannel;
  explicit StopSender(std::shared_ptr<detail::StopChannelState> state);
  std::shared_ptr<detail::StopChannelState> state_;
};

// The one receiving end of the stop channel.
class StopReceiver {
 public:
  StopReceiver(StopReceiver&& other) noexcept : state_(std::exchange(other.state_, nullptr)) {}
  StopReceiver& operator=(StopReceiver&&) = delete;
  StopReceiver(const StopReceiver&) = delete;
  StopReceiver& operator=(const StopReceiver&) = delete;
  ~StopReceiver();

  // Takes one message, waiting for it; an error once every sender is gone and nothing is queued.
  morva::Result<void> wait();

 private:
  friend struct StopChannel;
  explicit StopReceiver(std::shared_ptr<detail::StopChannelState> state);
  std::shared_ptr<detail::StopChannelState> state_;
};

// An unbounded many-to-one channel of empty messages.
struct StopChannel {
  StopSender sender;
  StopReceiver receiver;

  static StopChannel create();
};

}  // namespace varlin
