#include "server/detached_lookup.hpp"

#include <asio/execution_context.hpp>
#include <asio/experimental/concurrent_channel.hpp>
#include <asio/io_context.hpp>
#include <asio/this_coro.hpp>

#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace morva::server {

namespace {

using asio::ip::tcp;
using Endpoints = std::vector<tcp::endpoint>;
using Answer = asio::experimental::concurrent_channel<void(std::error_code, Result<Endpoints>)>;

// Whether a runtime still takes work, as the lookup threads see it.
struct Liveness {
  std::mutex mutex;
  bool running = true;
};

// Lives in a runtime's execution context, which shuts every service down before it destroys any: from
// then on no lookup thread reaches anything of that runtime.
class RuntimeLiveness final : public asio::execution_context::service {
 public:
  static inline asio::execution_context::id id;

  explicit RuntimeLiveness(asio::execution_context& context) : service(context) {}

  const std::shared_ptr<Liveness>& liveness() const noexcept { return liveness_; }

 private:
  void shutdown() override {
    const std::lock_guard lock(liveness_->mutex);
    liveness_->running = false;
  }

  std::shared_ptr<Liveness> liveness_ = std::make_shared<Liveness>();
};

// Hands the thread's answer to the waiter while the runtime still runs. The thread holds no executor:
// it reaches the waiter's channel, which holds one of the runtime's, only under the runtime's lock, and
// lets go of it there too, so that a channel the thread turns out to own last goes while the runtime
// stands.
void deliver(Result<Endpoints> answer, Liveness& runtime, const std::weak_ptr<Answer>& waiter) {
  const std::lock_guard lock(runtime.mutex);
  if (!runtime.running) return;
  if (const auto channel = waiter.lock()) channel->try_send(std::error_code(), std::move(answer));
}

}  // namespace

Result<Endpoints> system_lookup(const std::string& host, std::uint16_t port) {
  asio::io_context io;  // the resolver's home; a synchronous lookup does not run it
  tcp::resolver resolver(io);
  std::error_code error;
  const auto results = resolver.resolve(host, std::to_string(port), tcp::resolver::numeric_service, error);
  if (error) return std::unexpected(Error::system(error));
  Endpoints endpoints;
  for (const auto& result : results) endpoints.push_back(result.endpoint());
  return endpoints;
}

asio::awaitable<Result<Endpoints>> look_up(std::string host, std::uint16_t port, const TimeLimit& limit,
                                           BlockingLookup lookup) {
  const auto executor = co_await asio::this_coro::executor;
  auto waiter = std::make_shared<Answer>(executor, 1);
  const std::shared_ptr<Liveness> runtime =
      asio::use_service<RuntimeLiveness>(asio::query(executor, asio::execution::context)).liveness();
  std::error_code not_started;
  try {
    std::thread([host = std::move(host), port, lookup = std::move(lookup), runtime,
                 waiter = std::weak_ptr(waiter)] {
      deliver(lookup(host, port), *runtime, waiter);
    }).detach();
  } catch (const std::system_error& error) {
    not_started = error.code();
  }
  if (not_started) co_return std::unexpected(Error::system(not_started));

  auto answered = co_await within<Result<Endpoints>>(
      limit.duration, [&waiter](auto token) { return waiter->async_receive(std::move(token)); });
  if (!answered) co_return std::unexpected(timed_out("connecting to", limit));
  auto [error, answer] = std::move(*answered);
  if (error) co_return std::unexpected(Error::system(error));
  co_return std::move(answer);
}

}  // namespace morva::server
