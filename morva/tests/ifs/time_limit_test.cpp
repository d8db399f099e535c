#include "ops_session.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

namespace morva::ifs::testing {
namespace {

constexpr std::uint32_t kHandle = 9;
const ClientSettings kShortLimit{.limits = {.time_limit = std::chrono::milliseconds(200)}};

// Servers that read a request and then say nothing more, keeping the connection open: the exchange
// fails as timed out, and the connection with it.
TEST(IfsTimeLimit, ASilentServerFailsTheExchangeAndLeavesTheConnectionUnusable) {
  struct Case {
    std::string name;
    std::function<ConnectionScript()> script;
    std::function<std::optional<Error>(Session&)> operation;
    std::size_t requests;  // what the server saw: no close after a broken exchange
  };
  const auto read_4 = [](Session& session) -> std::optional<Error> {
    auto data = session.run([](IfsClient& client) { return client.read_range("/f", 0, 4); });
    if (data) return std::nullopt;
    return data.error();
  };
  const Case cases[] = {
      {"listing", [] { return std::move(ConnectionScript().expect(kListId)); },
       [](Session& session) -> std::optional<Error> {
         auto entries = session.run([](IfsClient& client) { return client.list_directory("/d"); });
         if (entries) return std::nullopt;
         return entries.error();
       },
       1},
      {"open", [] { return std::move(ConnectionScript().expect(kOpenId)); }, read_4, 1},
      {"read cut off in its chain",
       [] {
         return std::move(ConnectionScript()
                              .expect(kOpenId)
                              .send(open_reply(kHandle, 4))
                              .expect(kReadId)
                              .send(read_reply({1, 2}, kMore)));
       },
       read_4, 2},
      {"write",
       [] {
         return std::move(ConnectionScript()
                              .expect(kOpenId)
                              .send(open_reply(kHandle, 0))
                              .expect(write_request(kHandle, 0, {1, 2, 3})));
       },
       [](Session& session) -> std::optional<Error> {
         const Bytes data{1, 2, 3};
         auto written =
             session.run([&data](IfsClient& client) { return client.write_file("/f", data, true, true); });
         if (written) return std::nullopt;
         return written.error();
       },
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session session(c.script(), kShortLimit);
    const auto failure = c.operation(session);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->io_kind(), IoErrorKind::timed_out);
    EXPECT_EQ(failure->text(),
              "timed out waiting for file service at 127.0.0.1:" + std::to_string(session.server_port()));
    const auto created = session.run([](IfsClient& client) { return client.create_directory("/new"); });
    ASSERT_FALSE(created);
    EXPECT_EQ(created.error().text(), "file-service connection is unusable after a failed exchange");
    session.finish();
    EXPECT_EQ(session.received().size(), c.requests);
  }
}

}  // namespace
}  // namespace morva::ifs::testing
