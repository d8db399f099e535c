// Connecting through a lookup that blocks its thread, as the system's resolver does. A lookup that
// hangs, as one waiting on a name server that never answers, fails the connect as timed out, and the
// runtime stops without waiting for it.
#include "server/open_connection.hpp"

#include <gtest/gtest.h>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <asio/strand.hpp>
#include <asio/thread_pool.hpp>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace morva::server {
namespace {

using namespace std::chrono_literals;
using asio::ip::tcp;
using Endpoints = std::vector<tcp::endpoint>;
using Connect = asio::awaitable<Result<tcp::socket>>;

const TimeLimit kLimit{.server = "file service at slow.example:8473", .duration = 300ms};

// A lookup that hangs until the test lets it go, for 10 s at most, and then gives no address.
class HangingLookup {
 public:
  BlockingLookup function() const {
    // The token goes when the last copy of the function does, that is when the lookup's thread ends.
    std::shared_ptr<void> token(nullptr, [state = state_](void*) { state->set(&State::gone); });
    return [state = state_, token](const std::string&, std::uint16_t) -> Result<Endpoints> {
      state->wait_for(&State::released, 10s);
      state->set(&State::returned);
      return Endpoints{};
    };
  }

  void release() { state_->set(&State::released); }
  bool returned() const { return state_->wait_for(&State::returned, 0s); }
  // Whether the lookup's thread, and every copy of the function with it, ended within the time.
  bool ended_within(std::chrono::seconds time) const { return state_->wait_for(&State::gone, time); }

 private:
  struct State {
    void set(bool State::*flag) {
      {
        const std::lock_guard lock(mutex);
        this->*flag = true;
      }
      changed.notify_all();
    }
    bool wait_for(bool State::*flag, std::chrono::seconds time) {
      std::unique_lock lock(mutex);
      return changed.wait_for(lock, time, [this, flag] { return this->*flag; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    bool returned = false;
    bool gone = false;
  };

  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Where on its runtime the connect runs: on the runtime's own executor or on a strand of it, whose
// state the runtime owns.
using Placement = asio::any_io_executor (*)(const asio::any_io_executor& runtime);

asio::any_io_executor directly(const asio::any_io_executor& runtime) {
  return runtime;
}

asio::any_io_executor on_a_strand(const asio::any_io_executor& runtime) {
  return asio::make_strand(runtime);
}

// Runs the connect, placed on a runtime of one kind, to its end and then `meanwhile`, and stops and
// destroys the runtime.
using RunOnRuntime = Result<tcp::socket> (*)(Placement, Connect, const HangingLookup&,
                                             const std::function<void()>& meanwhile);

struct Runtime {
  std::string kind;
  RunOnRuntime run_on;
  Placement placement;

  Result<tcp::socket> run(Connect connect, const HangingLookup& lookup,
                          const std::function<void()>& meanwhile) const {
    return run_on(placement, std::move(connect), lookup, meanwhile);
  }
};

// Starts the connect on the runtime; `done` gets its outcome there.
void start(const asio::any_io_executor& runtime, Connect connect,
           std::function<void(Result<tcp::socket>)> done) {
  auto connect_and_report = [](Connect started,
                               std::function<void(Result<tcp::socket>)> report) -> asio::awaitable<void> {
    report(co_await std::move(started));
  };
  asio::co_spawn(runtime, connect_and_report(std::move(connect), std::move(done)), asio::detached);
}

Result<tcp::socket> on_thread_pool(Placement placement, Connect connect, const HangingLookup& lookup,
                                   const std::function<void()>& meanwhile) {
  asio::thread_pool pool(2);
  std::promise<Result<tcp::socket>> outcome;
  auto connected = outcome.get_future();
  start(placement(pool.get_executor()), std::move(connect),
        [&outcome](Result<tcp::socket> result) { outcome.set_value(std::move(result)); });
  auto result = connected.get();
  EXPECT_FALSE(lookup.returned()) << "the connect ended while the lookup still hung";
  meanwhile();
  pool.stop();
  pool.join();
  return result;
}

Result<tcp::socket> on_io_context(Placement placement, Connect connect, const HangingLookup& lookup,
                                  const std::function<void()>& meanwhile) {
  asio::io_context io;
  std::optional<Result<tcp::socket>> outcome;
  start(placement(io.get_executor()), std::move(connect),
        [&outcome](Result<tcp::socket> result) { outcome.emplace(std::move(result)); });
  io.run();  // until nothing is left to do
  EXPECT_FALSE(lookup.returned())
      << "the connect ended, and left no work behind, while the lookup still hung";
  meanwhile();
  io.restart();
  io.run();  // what the lookup's end may have posted
  if (!outcome) return std::unexpected(Error::message("the connect did not end"));
  return std::move(*outcome);
}

const Runtime kRuntimes[] = {
    {"thread pool, as the mount's", on_thread_pool, directly},
    {"strand of a thread pool", on_thread_pool, on_a_strand},
    {"io_context", on_io_context, directly},
    {"strand of an io_context", on_io_context, on_a_strand},
};

void expect_timed_out(const Result<tcp::socket>& connected) {
  ASSERT_FALSE(connected);
  EXPECT_EQ(connected.error().io_kind(), IoErrorKind::timed_out);
  EXPECT_EQ(connected.error().text(), "timed out connecting to file service at slow.example:8473");
}

TEST(OpenConnection, AHangingLookupTimesOutWithinTheLimitAndTheRuntimeStopsWhileItStillHangs) {
  for (const Runtime& runtime : kRuntimes) {
    SCOPED_TRACE(runtime.kind);
    HangingLookup lookup;
    const auto connected =
        runtime.run(open_connection("slow.example", 8473, kLimit, lookup.function()), lookup, [] {});
    EXPECT_FALSE(lookup.returned()) << "the runtime stopped while the lookup still hung";
    expect_timed_out(connected);

    // The lookup ends after its caller and its runtime are gone; the sanitizers watch what it touches.
    lookup.release();
    EXPECT_TRUE(lookup.ended_within(10s));
  }
}

TEST(OpenConnection, ALookupThatEndsAfterTheConnectGaveUpIsDroppedWhileTheRuntimeRuns) {
  for (const Runtime& runtime : kRuntimes) {
    SCOPED_TRACE(runtime.kind);
    HangingLookup lookup;
    const auto end_lookup = [&lookup] {
      lookup.release();
      EXPECT_TRUE(lookup.ended_within(10s));
    };
    expect_timed_out(
        runtime.run(open_connection("slow.example", 8473, kLimit, lookup.function()), lookup, end_lookup));
  }
}

TEST(OpenConnection, ConnectsToWhatTheLookupGivesOrFailsWithItsAnswer) {
  asio::io_context io;
  tcp::acceptor listening(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  struct Case {
    std::string what;
    Result<Endpoints> answer;
    std::optional<Error> error;
  };
  const Error not_found = Error::system(asio::error::host_not_found);
  const Case cases[] = {
      {"an address that listens", Endpoints{listening.local_endpoint()}, std::nullopt},
      {"no address", Endpoints{}, Error::io(IoErrorKind::not_found, "could not resolve to any address")},
      {"a failed lookup", std::unexpected(not_found), not_found},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BlockingLookup lookup = [&c](const std::string& host, std::uint16_t port) {
      EXPECT_EQ(host, "ibmi.example");
      EXPECT_EQ(port, 8473);
      return c.answer;
    };
    std::optional<Result<tcp::socket>> connected;
    start(io.get_executor(), open_connection("ibmi.example", 8473, kLimit, lookup),
          [&connected](Result<tcp::socket> result) { connected.emplace(std::move(result)); });
    io.restart();
    io.run();
    ASSERT_TRUE(connected);
    if (c.error) {
      ASSERT_FALSE(*connected);
      EXPECT_EQ(connected->error(), *c.error);
    } else {
      ASSERT_TRUE(*connected) << connected->error().text();
      EXPECT_EQ((*connected)->remote_endpoint(), listening.local_endpoint());
    }
  }
}

}  // namespace
}  // namespace morva::server
