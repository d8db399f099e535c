// The metadata pipe's handler against a fake IBM i: its own connections, as the mount lends them, and
// the metadata cache of a mount of the fake's root.
#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <asio/co_spawn.hpp>
#include <asio/use_future.hpp>

#include <functional>
#include <future>
#include <optional>
#include <thread>

#include "captured_events.hpp"
#include "fake_host_mount.hpp"
#include "metadata_pipe/file_properties.hpp"
#include "morva/command/sign_on.hpp"

namespace varlin::metadata_pipe {
namespace {

using namespace std::chrono_literals;
using fake_ibmi::FakeHost;
using fake_ibmi::RequestKind;
using fake_ibmi::ServedRequest;
using fake_ibmi::Service;
using filesystem::command_request;
using filesystem::ConnectionLock;
using filesystem::hello_member_properties;
using filesystem::hello_program_properties;
using filesystem::kTestLifetime;
using filesystem::settings_area_properties;
using morva::command::CommandClient;
using morva::ifs::IfsClient;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::Field;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using Outcome = std::expected<MetadataResult, MetadataError>;

constexpr auto kWaitLimit = 10s;
constexpr std::string_view kHello = "QSYS.LIB/DEVLIB.LIB/QCLSRC/HELLO.clp";
const Outcome kConnectionLost = std::unexpected(MetadataError{MetadataError::ConnectionLost{}});

Outcome refused(std::string message) {
  return std::unexpected(MetadataError{MetadataError::DescriptionRefused{std::move(message)}});
}

std::string request_line(std::string_view path) {
  return nlohmann::json{{"version", 1}, {"method", "getFileProperties"}, {"path", path}}.dump() + "\n";
}

// Whether the condition came true within the limit.
bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

struct Clients {
  IfsClient ifs;
  CommandClient command;
};

asio::awaitable<morva::Result<Clients>> connect_clients(
    std::string address, fake_ibmi::HostPorts ports,
    std::chrono::milliseconds time_limit = morva::server::kExchangeTimeLimit) {
  const morva::server::ConnectionLimits limits{.time_limit = time_limit};
  morva::Secret password(fake_ibmi::kTestPassword);
  auto credentials = co_await morva::command::sign_on(address, ports.signon, fake_ibmi::kTestUser,
                                                      std::move(password), limits);
  if (!credentials) co_return std::unexpected(credentials.error());
  auto ifs = co_await IfsClient::connect(address, ports.file, credentials->user, credentials->password,
                                         credentials->password_level, limits);
  if (!ifs) co_return std::unexpected(ifs.error());
  auto command = co_await CommandClient::connect(address, ports.command, *credentials, limits);
  if (!command) co_return std::unexpected(command.error());
  co_return Clients{std::move(*ifs), std::move(*command)};
}

struct Descriptions {
  std::size_t members = 0;
  std::size_t files = 0;
};

// The descriptions the fake had served when this task's turn on the connection came.
asio::awaitable<Descriptions> served_at_turn(filesystem::SharedConnection<CommandClient> command,
                                             const FakeHost* host) {
  auto turn = co_await command->lock();
  co_return Descriptions{host->count(RequestKind::member_description),
                         host->count(RequestKind::file_description)};
}

class FilePropertiesOnHost : public filesystem::MountedRoot {
 protected:
  void SetUp() override {
    MountedRoot::SetUp();
    if (HasFatalFailure()) return;
    auto clients = runtime.block_on(connect_clients(host.address(), host.ports()));
    ASSERT_TRUE(clients) << clients.error().text();
    state.emplace(PipeState{
        .remote_root = fs->remote_root(),
        .metadata_cache = fs->metadata_cache(),
        .command =
            std::make_shared<ConnectionLock<CommandClient>>(runtime.executor(), std::move(clients->command)),
        .ifs = std::make_shared<ConnectionLock<IfsClient>>(runtime.executor(), std::move(clients->ifs))});
    host.clear_requests();
  }

  Outcome ask(std::string_view path) {
    std::string line = request_line(path);
    PipeState copy = *state;
    return runtime.block_on(get_file_properties(std::move(line), std::move(copy)));
  }

  // The answer, asked on a thread of its own.
  std::future<Outcome> ask_later(std::string_view path) {
    return std::async(std::launch::async, [this, path = std::string(path)] { return ask(path); });
  }

  // The connection's lock, once this test holds it; released with the value.
  template <typename Client>
  std::future<std::optional<typename ConnectionLock<Client>::Guard>> lock(
      filesystem::SharedConnection<Client> connection) {
    using Guard = typename ConnectionLock<Client>::Guard;
    auto locking = [](filesystem::SharedConnection<Client> shared) -> asio::awaitable<std::optional<Guard>> {
      co_return co_await shared->lock();
    };
    return asio::co_spawn(runtime.executor(), locking(std::move(connection)), asio::use_future);
  }

  filesystem::Runtime runtime;
  std::optional<PipeState> state;
};

TEST_F(FilePropertiesOnHost, DescribesAMemberOnceAndThenAnswersFromTheCache) {
  struct Case {
    std::string path;
    MetadataResult result;
    std::string described;  // the member as the APIs are asked for it, in upper case
    std::string member;     // and as the file server is
  };
  const std::string hello = "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR";
  const std::string lower_hello = "/QSYS.LIB/devlib.LIB/qclsrc.FILE/hello.MBR";
  const std::string note = "/QSYS.LIB/DEVLIB.LIB/QTXTSRC.FILE/NOTE.MBR";
  const Case cases[] = {
      {"QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR",
       {.path = hello, .properties = {hello_member_properties(hello, "DEVLIB", "QCLSRC")}},
       hello,
       hello},
      {R"(qsys.lib\devlib\qclsrc\hello.clp)",
       {.path = "/qsys.lib/devlib/qclsrc/hello.clp",
        .properties = {hello_member_properties(lower_hello, "devlib", "qclsrc")}},
       hello,
       lower_hello},
      {"QSYS.LIB/DEVLIB.LIB/QTXTSRC/NOTE.txt",
       {.path = "/QSYS.LIB/DEVLIB.LIB/QTXTSRC/NOTE.txt",
        .properties = {FileProperties::Member{.path = note,
                                              .library = "DEVLIB",
                                              .source_file = "QTXTSRC",
                                              .member = "NOTE",
                                              .source_type = "TXT",
                                              .ccsid = 1208,
                                              .record_length = 132,
                                              .description = ""}}},
       note,
       note},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    host.clear_requests();
    EXPECT_EQ(ask(c.path), Outcome(c.result));
    const auto requests = host.requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_THAT(std::vector(requests.begin(), requests.begin() + 2),
                ElementsAre(command_request(RequestKind::member_description, c.described),
                            command_request(RequestKind::file_description,
                                            c.described.substr(0, c.described.rfind('/')))));
    EXPECT_THAT(
        std::vector(requests.begin() + 2, requests.end()),
        Each(AllOf(Field(&ServedRequest::service, Service::file), Field(&ServedRequest::subject, c.member))));

    CapturedEvents events;
    host.clear_requests();
    EXPECT_EQ(ask(c.path), Outcome(c.result));
    EXPECT_THAT(host.requests(), IsEmpty());
    EXPECT_THAT(events.lines(), ElementsAre("served IBM i properties from cache path=" + c.result.path));
  }
}

TEST_F(FilePropertiesOnHost, AsksTheObjectAttributesForACcsidThatTheOpenLeavesUnstated) {
  host.with_settings([](fake_ibmi::HostSettings& settings) { settings.open_states_member_ccsid = false; });
  const auto answer = ask(kHello);
  ASSERT_TRUE(answer);
  EXPECT_EQ(std::get<FileProperties::Member>(answer->properties.shape).ccsid, 277);
  EXPECT_EQ(host.count(RequestKind::object_attributes), 1u);
}

TEST_F(FilePropertiesOnHost, DescribesATypedObjectAsTheIbmiNamesIt) {
  struct Case {
    std::string root;
    std::string path;
    MetadataResult result;
    std::string asked;
  };
  const Case cases[] = {
      {"/",
       "QSYS.LIB/DEVLIB.LIB/HELLO.clp.pgm",
       {.path = "/QSYS.LIB/DEVLIB.LIB/HELLO.clp.pgm", .properties = {hello_program_properties()}},
       "/QSYS.LIB/DEVLIB.LIB/HELLO.PGM"},
      {"/QSYS.LIB",
       "DEVLIB.LIB/HELLO.PGM",
       {.path = "/QSYS.LIB/DEVLIB.LIB/HELLO.PGM", .properties = {hello_program_properties()}},
       "/QSYS.LIB/DEVLIB.LIB/HELLO.PGM"},
      {"/",
       "qsys.lib/devlib/settings.dtaara",
       {.path = "/qsys.lib/devlib/settings.dtaara", .properties = {settings_area_properties()}},
       "/QSYS.LIB/DEVLIB.LIB/SETTINGS.DTAARA"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    host.clear_requests();
    state->remote_root = c.root;
    EXPECT_EQ(ask(c.path), Outcome(c.result));
    EXPECT_THAT(host.requests(), ElementsAre(command_request(RequestKind::object_description, c.asked)));
  }
}

TEST_F(FilePropertiesOnHost, ServesWhatAListingFoundUnderTheListedPath) {
  ASSERT_TRUE(fs->list_directory("/QSYS.LIB/DEVLIB.LIB"));
  ASSERT_TRUE(fs->list_directory("/QSYS.LIB/DEVLIB.LIB/QCLSRC"));
  host.clear_requests();
  const std::string hello = "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR";
  EXPECT_EQ(ask("qsys.lib/devlib.lib/qclsrc/hello.CLP"),
            Outcome(MetadataResult{.path = "/QSYS.LIB/DEVLIB.LIB/QCLSRC/HELLO.clp",
                                   .properties = {hello_member_properties(hello, "DEVLIB", "QCLSRC")}}));
  EXPECT_EQ(ask("QSYS.LIB/DEVLIB.LIB/HELLO.CLP.PGM"),
            Outcome(MetadataResult{.path = "/QSYS.LIB/DEVLIB.LIB/HELLO.clp.pgm",
                                   .properties = {hello_program_properties()}}));
  EXPECT_THAT(host.requests(), IsEmpty());

  clock.advance(kTestLifetime);
  const std::string lower_hello = "/QSYS.LIB/devlib.LIB/qclsrc.FILE/hello.MBR";
  EXPECT_EQ(
      ask("qsys.lib/devlib/qclsrc/hello.clp"),
      Outcome(MetadataResult{.path = "/qsys.lib/devlib/qclsrc/hello.clp",
                             .properties = {hello_member_properties(lower_hello, "devlib", "qclsrc")}}));
  EXPECT_EQ(host.count(RequestKind::member_description), 1u);
}

TEST_F(FilePropertiesOnHost, KeepsAnAnswerThatAListingOfItsDirectoryRenews) {
  host.with_settings([](fake_ibmi::HostSettings& settings) { settings.list_states_ccsid = false; });
  ASSERT_TRUE(ask(kHello));
  clock.advance(kTestLifetime - 10s);
  ASSERT_TRUE(fs->list_directory("/QSYS.LIB/DEVLIB.LIB/QCLSRC"));
  clock.advance(20s);
  host.clear_requests();
  EXPECT_TRUE(ask(kHello));
  EXPECT_THAT(host.requests(), IsEmpty());
}

// A description the IBM i refuses is told apart from a lost connection by the message only.
TEST_F(FilePropertiesOnHost, GivesConnectionLostAndStoresNothingWhenTheIbmiFails) {
  struct Case {
    std::string what;
    std::function<void(FakeHost&)> arrange;
    std::string path;
    std::string error;  // a phrase of the event's error
    Outcome outcome;
  };
  const auto nothing = [](FakeHost&) {};
  const std::string hello_refused = "IBM i refused the description of /" + std::string(kHello);
  const Case cases[] = {
      {"member description refused",
       [](FakeHost& h) { h.fail_next(RequestKind::member_description, 0x0501); }, std::string(kHello),
       "retrieve member description failed with 0x0501",
       refused(hello_refused + ": retrieve member description failed with 0x0501")},
      {"file description refused", [](FakeHost& h) { h.fail_next(RequestKind::file_description, 0x0501); },
       std::string(kHello), "retrieve file description failed with 0x0501",
       refused(hello_refused + ": retrieve file description failed with 0x0501")},
      {"member of a data file", nothing, "QSYS.LIB/DEVLIB.LIB/CUSTOMERS.FILE/CUSTOMERS.MBR",
       "database file is not a source physical file", kConnectionLost},
      {"missing member", nothing, "QSYS.LIB/DEVLIB.LIB/QCLSRC/NONE.clp",
       "retrieve member description failed with 0x0500",
       refused("IBM i refused the description of /QSYS.LIB/DEVLIB.LIB/QCLSRC/NONE.clp: "
               "retrieve member description failed with 0x0500")},
      {"CCSID lookup refused", [](FakeHost& h) { h.fail_next(RequestKind::open_file, 5); },
       std::string(kHello), "access denied", kConnectionLost},
      {"object description refused",
       [](FakeHost& h) { h.fail_next(RequestKind::object_description, 0x0501); },
       "QSYS.LIB/DEVLIB.LIB/HELLO.PGM", "retrieve object description failed with 0x0501",
       refused("IBM i refused the description of /QSYS.LIB/DEVLIB.LIB/HELLO.PGM: "
               "retrieve object description failed with 0x0501")},
      {"object not authorized",
       [](FakeHost& h) {
         h.with_tree(
             [](fake_ibmi::IfsTree& tree) { tree.deny_access("/QSYS.LIB/DEVLIB.LIB/SETTINGS.DTAARA"); });
       },
       "qsys.lib/devlib/settings.dtaara", "retrieve object description failed with 0x0500",
       refused("IBM i refused the description of /qsys.lib/devlib/settings.dtaara: "
               "retrieve object description failed with 0x0500")},
      {"missing object", nothing, "QSYS.LIB/DEVLIB.LIB/NONE.PGM",
       "retrieve object description failed with 0x0500",
       refused("IBM i refused the description of /QSYS.LIB/DEVLIB.LIB/NONE.PGM: "
               "retrieve object description failed with 0x0500")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CapturedEvents events;
    c.arrange(host);
    EXPECT_EQ(ask(c.path), c.outcome);
    const std::string path = "/" + c.path;
    EXPECT_THAT(events.lines(), Contains(AllOf(StartsWith("IBM i member metadata is unavailable error="),
                                               HasSubstr(c.error), EndsWith(" path=" + path))));
    EXPECT_EQ(state->metadata_cache.get(path), std::nullopt);
  }
  host.clear_requests();
  EXPECT_TRUE(ask(kHello)) << "the connections still serve";
  EXPECT_THAT(host.requests(), Not(IsEmpty())) << "no failure was kept";
}

TEST_F(FilePropertiesOnHost, GivesConnectionLostWhenTheIbmiDropsTheConnection) {
  host.drop_next(RequestKind::object_description);
  EXPECT_EQ(ask("QSYS.LIB/DEVLIB.LIB/HELLO.PGM"), kConnectionLost);
}

TEST_F(FilePropertiesOnHost, GivesConnectionLostWhenTheIbmiStopsAnswering) {
  auto clients = runtime.block_on(connect_clients(host.address(), host.ports(), 300ms));
  ASSERT_TRUE(clients) << clients.error().text();
  state->command =
      std::make_shared<ConnectionLock<CommandClient>>(runtime.executor(), std::move(clients->command));
  host.clear_requests();
  host.set_silent(true);
  struct Case {
    std::string path;
    std::string error;  // a phrase of the event's error
  };
  const Case cases[] = {
      {std::string(kHello), "timed out waiting for remote-command service at " + host.address()},
      // The connection that timed out is not used again.
      {"QSYS.LIB/DEVLIB.LIB/HELLO.PGM", "remote-command connection is unusable after a failed exchange"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    CapturedEvents events;
    EXPECT_EQ(ask(c.path), kConnectionLost);
    EXPECT_THAT(events.lines(), Contains(AllOf(StartsWith("IBM i member metadata is unavailable error="),
                                               HasSubstr(c.error))));
  }
  EXPECT_EQ(host.requests().size(), 1u) << "one request, never answered";
}

// The test holds the remote-command connection while the handler queues for it, then queues itself;
// waiting tasks take the connection in order, so the test's turn comes when the handler lets it go.
TEST_F(FilePropertiesOnHost, DescribesAMemberAndItsFileInOneHoldOfTheConnection) {
  for (int attempt = 1; attempt <= 5; ++attempt) {
    clock.advance(kTestLifetime);
    host.clear_requests();
    std::future<Outcome> answer;
    auto held = lock(state->command).get();
    answer = ask_later(kHello);
    std::this_thread::sleep_for(attempt * 20ms);
    auto turn = asio::co_spawn(runtime.executor(), served_at_turn(state->command, &host), asio::use_future);
    held.reset();
    ASSERT_EQ(turn.wait_for(kWaitLimit), std::future_status::ready);
    const Descriptions served = turn.get();
    ASSERT_TRUE(answer.get());
    if (served.members == 0) continue;  // the test queued first
    EXPECT_EQ(served.files, 1u) << "the file was described in the same hold as the member";
    return;
  }
  FAIL() << "the handler never queued for the connection before the test";
}

// The answers are declared first: they are waited for at their end, after the locks are let go.
TEST_F(FilePropertiesOnHost, HoldsNoConnectionWhileWaitingForTheOther) {
  std::future<Outcome> answer;
  auto file_service = lock(state->ifs).get();
  answer = ask_later(kHello);
  ASSERT_TRUE(eventually([this] { return host.count(RequestKind::file_description) == 1; }));
  EXPECT_EQ(host.count(RequestKind::open_file), 0u) << "the CCSID waits for the file service";

  auto remote_command = lock(state->command);
  EXPECT_EQ(remote_command.wait_for(kWaitLimit), std::future_status::ready)
      << "the remote-command connection is free while the handler waits";
  file_service.reset();
  ASSERT_EQ(answer.wait_for(kWaitLimit), std::future_status::ready);
  EXPECT_TRUE(answer.get());
}

TEST_F(FilePropertiesOnHost, AnswersFromTheCacheWithoutTakingAConnection) {
  ASSERT_TRUE(ask(kHello));
  std::future<Outcome> answer;
  auto file_service = lock(state->ifs).get();
  auto remote_command = lock(state->command).get();
  answer = ask_later(kHello);
  EXPECT_EQ(answer.wait_for(kWaitLimit), std::future_status::ready);
}

}  // namespace
}  // namespace varlin::metadata_pipe
