// Faults planned on the fake reach morva's clients as a real IBM i's failures would.
#include "host_session.hpp"

namespace fake_ibmi::testing {
namespace {

using Operation = std::function<asio::awaitable<morva::Result<void>>(HostSession&)>;

Operation read_notes() {
  return [](HostSession& s) { return outcome(s.ifs().read_file("/home/tester/notes.txt", 1000)); };
}

TEST(FakeFaults, GiveTheReturnCodeToTheNextRequestOfTheKindOnly) {
  struct Case {
    RequestKind kind;
    std::uint32_t code;
    Operation run;
    std::string error;
  };
  const Case cases[] = {
      {RequestKind::open_file, 32, read_notes(),
       "sharing violation for /home/tester/notes.txt (return code 32)"},
      {RequestKind::read_file, 33, read_notes(),
       "lock violation for /home/tester/notes.txt (return code 33)"},
      {RequestKind::close_file, 34, read_notes(), "stale file handle"},
      {RequestKind::object_attributes, 5,
       [](HostSession& s) {
         return outcome(s.ifs().source_member_ccsid("/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR"));
       },
       "access denied"},
      {RequestKind::list_attributes, 12,
       [](HostSession& s) { return outcome(s.ifs().list_directory("/home")); },
       "resource is not available for /home (return code 12)"},
      {RequestKind::write_file, 11,
       [](HostSession& s) {
         static const Bytes kByte{1};  // outlives the write, which only borrows it
         return outcome(s.ifs().write_file("/home/tester/notes.txt", kByte, false, true));
       },
       "resource limit exceeded"},
      {RequestKind::delete_file, 1, [](HostSession& s) { return s.ifs().remove("/home/tester/notes.txt"); },
       "file is in use"},
      {RequestKind::rename, 13,
       [](HostSession& s) { return s.ifs().rename("/home/tester/notes.txt", "/home/tester/n.txt", false); },
       "request denied"},
      {RequestKind::member_description, 0x0501,
       [](HostSession& s) {
         return outcome(s.command().retrieve_member_description("DEVLIB", "QCLSRC", "HELLO"));
       },
       "retrieve member description failed with 0x0501"},
      {RequestKind::system_storage, 0x0500,
       [](HostSession& s) { return outcome(s.command().retrieve_system_storage()); },
       "retrieve system storage failed with 0x0500"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(request_kind_name(c.kind));
    HostSession session;
    ASSERT_TRUE(session.connect());
    session.host().fail_next(c.kind, c.code);
    expect_outcome(session.run(c.run(session)), c.error);
    const auto again = session.run(c.run(session));
    EXPECT_TRUE(again) << again.error().text();
  }
}

TEST(FakeFaults, CanLetRequestsOfTheKindBeServedFirst) {
  HostSession session;
  ASSERT_TRUE(session.connect());
  session.host().fail_next(RequestKind::open_file, 32, 2);
  const auto read = [&session] { return session.run(read_notes()(session)); };
  EXPECT_TRUE(read());
  EXPECT_TRUE(read());
  expect_outcome(read(), "sharing violation for /home/tester/notes.txt (return code 32)");
  EXPECT_TRUE(read());
}

TEST(FakeFaults, FailConnectionsAtTheStepOfTheirKind) {
  struct Case {
    RequestKind kind;
    std::uint32_t code;
    std::string error;
  };
  const Case cases[] = {
      {RequestKind::file_seeds, 0x00010001, "file-service seed exchange failed with 0x00010001"},
      {RequestKind::file_start, 0x00020002, "file-service authentication failed with 0x00020002"},
      {RequestKind::command_seeds, 0x00010001, "seed exchange failed with 0x00010001"},
      {RequestKind::command_attributes, 0x0101, "command attribute exchange failed with 0x0101"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(request_kind_name(c.kind));
    HostSession session;
    session.host().fail_next(c.kind, c.code);
    const auto connected = session.connect();
    ASSERT_FALSE(connected);
    EXPECT_EQ(connected.error().text(), c.error);
  }
}

TEST(FakeFaults, DropTheConnectionOfTheNextRequestOfTheKind) {
  HostSession session;
  ASSERT_TRUE(session.connect());
  session.host().drop_next(RequestKind::read_file);
  const auto dropped = session.run(session.ifs().read_file("/home/tester/notes.txt", 1000));
  ASSERT_FALSE(dropped);
  EXPECT_TRUE(dropped.error().is_io()) << dropped.error().text();
  EXPECT_FALSE(session.run(session.ifs().stat("/home/tester/notes.txt"))) << "the connection is gone";

  const auto credentials = session.sign_on();
  ASSERT_TRUE(credentials) << credentials.error().text();
  auto fresh = session.connect_ifs(*credentials);
  ASSERT_TRUE(fresh) << fresh.error().text();
  const auto read = session.run(fresh->read_file("/home/tester/notes.txt", 1000));
  ASSERT_TRUE(read) << read.error().text();
  EXPECT_EQ(read->size(), 23u);
}

// A sign-on that gives up after 200 ms.
morva::Result<morva::signon::SignonCredentials> sign_on_briefly(HostSession& session) {
  return session.run(morva::command::sign_on(session.host().address(), session.host().ports().signon,
                                             kTestUser, morva::Secret(kTestPassword),
                                             {.time_limit = std::chrono::milliseconds(200)}));
}

TEST(FakeFaults, LeaveTheNextRequestOfTheKindUnanswered) {
  HostSession session;
  session.host().hang_next(RequestKind::signon_attributes);
  const auto unanswered = sign_on_briefly(session);
  ASSERT_FALSE(unanswered);
  EXPECT_EQ(unanswered.error().io_kind(), morva::IoErrorKind::timed_out) << unanswered.error().text();
  const auto answered = sign_on_briefly(session);
  EXPECT_TRUE(answered) << answered.error().text();
  EXPECT_EQ(session.host().count(RequestKind::signon_attributes), 2u);
}

TEST(FakeFaults, ASilentHostReadsRequestsAndAnswersNoneUntilItSpeaksAgain) {
  HostSession session;
  session.host().set_silent(true);
  const auto unanswered = sign_on_briefly(session);
  ASSERT_FALSE(unanswered);
  EXPECT_EQ(unanswered.error().io_kind(), morva::IoErrorKind::timed_out) << unanswered.error().text();
  EXPECT_EQ(session.host().count(RequestKind::signon_attributes), 1u);

  session.host().set_silent(false);
  const auto answered = sign_on_briefly(session);
  EXPECT_TRUE(answered) << answered.error().text();
}

}  // namespace
}  // namespace fake_ibmi::testing
