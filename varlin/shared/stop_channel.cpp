#include "shared/stop_channel.hpp"

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace varlin {

namespace detail {

struct StopChannelState {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t queued = 0;
  std::size_t senders = 0;
  bool receiver_alive = true;
};

}  // namespace detail

namespace {

void release_sender(detail::StopChannelState& state) {
  std::lock_guard lock(state.mutex);
  if (--state.senders == 0) state.changed.notify_all();
}

}  // namespace

StopSender::StopSender(std::shared_ptr<detail::StopChannelState> state) : state_(std::move(state)) {
  if (!state_) return;
  std::lock_guard lock(state_->mutex);
  ++state_->senders;
}

StopSender& StopSender::operator=(StopSender&& other) noexcept {
  if (this != &other) {
    if (state_) release_sender(*state_);
    state_ = std::exchange(other.state_, nullptr);
  }
  return *this;
}

StopSender::~StopSender() {
  if (state_) release_sender(*state_);
}

StopSender StopSender::clone() const {
  return StopSender(state_);
}

bool StopSender::send() const {
  if (!state_) return false;
  std::lock_guard lock(state_->mutex);
  if (!state_->receiver_alive) return false;
  ++state_->queued;
  state_->changed.notify_all();
  return true;
}

StopReceiver::StopReceiver(std::shared_ptr<detail::StopChannelState> state) : state_(std::move(state)) {}

StopReceiver::~StopReceiver() {
  if (!state_) return;
  std::lock_guard lock(state_->mutex);
  state_->receiver_alive = false;
}

morva::Result<void> StopReceiver::wait() {
  if (!state_) return morva::fail("stop channel: receiver was moved from");
  std::unique_lock lock(state_->mutex);
  state_->changed.wait(lock, [&] { return state_->queued > 0 || state_->senders == 0; });
  if (state_->queued == 0) return morva::fail("stop channel: every sender is gone");
  --state_->queued;
  return {};
}

StopChannel StopChannel::create() {
  auto state = std::make_shared<detail::StopChannelState>();
  return StopChannel{StopSender(state), StopReceiver(state)};
}

}  // namespace varlin
