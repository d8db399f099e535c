// A fake IBM i with morva's own clients signed on to it. Every operation runs within a time limit, so
// an exchange that goes wrong fails the test instead of hanging it.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <asio/io_context.hpp>

#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fake_ibmi/host/fake_host.hpp"
#include "fake_ibmi/host/test_tree.hpp"
#include "morva/command/command_client.hpp"
#include "morva/command/sign_on.hpp"
#include "morva/ifs/client.hpp"
#include "run_awaitable.hpp"

namespace fake_ibmi::testing {

inline constexpr std::chrono::seconds kTimeLimit{10};

// Runs an operation to its end on the runtime; one that does not end within the limit fails the test.
template <typename T>
T run_bounded(asio::io_context& io, asio::awaitable<T> operation) {
  return testing_support::run_awaitable(io, std::move(operation), kTimeLimit);
}

// An operation's outcome without its value.
template <typename T>
asio::awaitable<morva::Result<void>> outcome(asio::awaitable<morva::Result<T>> operation) {
  auto result = co_await std::move(operation);
  if (!result) co_return std::unexpected(result.error());
  co_return morva::Result<void>{};
}

// Checks a result: a success when `error` is empty, else an error whose text holds that phrase.
template <typename T>
void expect_outcome(const morva::Result<T>& result, std::string_view error) {
  if (error.empty()) {
    EXPECT_TRUE(result) << result.error().text();
  } else {
    ASSERT_FALSE(result);
    EXPECT_THAT(result.error().text(), ::testing::HasSubstr(std::string(error)));
  }
}

// The names of a listing, in its order.
std::vector<std::string> names(const std::vector<morva::ifs::IfsEntry>& entries);

class HostSession;

// One step of a scenario on the file-service client, and a phrase of its error (empty: it succeeds).
struct ClientStep {
  std::string what;
  std::function<asio::awaitable<morva::Result<void>>(morva::ifs::IfsClient&)> run;
  std::string error;
};

// Runs the steps in order on the session's file-service connection, checking each outcome.
void run_steps(HostSession& session, std::span<const ClientStep> steps);

class HostSession {
 public:
  explicit HostSession(IfsTree tree = test_tree(), HostSettings settings = test_settings())
      : host_(std::move(tree), std::move(settings)) {}

  FakeHost& host() { return host_; }
  asio::io_context& io() { return io_; }

  morva::Result<morva::signon::SignonCredentials> sign_on(std::string_view user = kTestUser,
                                                          std::string_view password = kTestPassword);
  // Signs on and opens both connections.
  morva::Result<void> connect(std::string_view user = kTestUser, std::string_view password = kTestPassword);
  morva::Result<morva::ifs::IfsClient> connect_ifs(const morva::signon::SignonCredentials& credentials);
  morva::Result<morva::command::CommandClient> connect_command(
      const morva::signon::SignonCredentials& credentials);

  morva::ifs::IfsClient& ifs() { return *ifs_; }
  morva::command::CommandClient& command() { return *command_; }

  template <typename T>
  T run(asio::awaitable<T> operation) {
    return run_bounded(io_, std::move(operation));
  }

 private:
  FakeHost host_;
  asio::io_context io_;
  std::optional<morva::ifs::IfsClient> ifs_;
  std::optional<morva::command::CommandClient> command_;
};

// A session connected as TESTER, for the tests of one service.
class ConnectedHost : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto connected = session.connect();
    ASSERT_TRUE(connected) << connected.error().text();
  }

  HostSession session;
};

}  // namespace fake_ibmi::testing
