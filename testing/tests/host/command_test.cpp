// The four IBM i APIs through morva's remote-command client.
#include <gmock/gmock.h>

#include "host_session.hpp"

namespace fake_ibmi::testing {
namespace {

using ::testing::ElementsAre;

using FakeCommandService = ConnectedHost;

TEST_F(FakeCommandService, AgreesOnTheConnection) {
  EXPECT_EQ(session.command().ccsid(), 277u);
  EXPECT_EQ(session.command().datastream_level(), 10);
}

TEST_F(FakeCommandService, DescribesMembers) {
  const auto hello = session.run(session.command().retrieve_member_description("devlib", "qclsrc", "hello"));
  ASSERT_TRUE(hello) << hello.error().text();
  EXPECT_EQ(hello->member, "HELLO");
  EXPECT_EQ(hello->source_type, "CLP");
  EXPECT_EQ(hello->description, "Sig hej på dansk");
  const auto empty = session.run(session.command().retrieve_member_description("DEVLIB", "QCLSRC", "EMPTY"));
  ASSERT_TRUE(empty) << empty.error().text();
  EXPECT_EQ(empty->description, "");
  const auto missing = session.run(session.command().retrieve_member_description("DEVLIB", "QCLSRC", "NOPE"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().text(), "retrieve member description failed with 0x0500");
}

TEST_F(FakeCommandService, DescribesSourceFiles) {
  struct Case {
    std::string file;
    std::uint16_t record_length;  // of a source file
    std::string error;
  };
  const Case cases[] = {
      {"QCLSRC", 92, ""},
      {"QTXTSRC", 132, ""},
      {"CUSTOMERS", 0, "database file is not a source physical file"},
      {"NOFILE", 0, "retrieve file description failed with 0x0500"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const auto file = session.run(session.command().retrieve_file_description("DEVLIB", c.file));
    expect_outcome(file, c.error);
    if (file) {
      EXPECT_EQ(file->record_length, c.record_length);
    }
  }
}

TEST_F(FakeCommandService, DescribesObjects) {
  const auto program = session.run(session.command().retrieve_object_description("DEVLIB", "HELLO", "PGM"));
  ASSERT_TRUE(program) << program.error().text();
  EXPECT_EQ(program->object, "HELLO");
  EXPECT_EQ(program->library, "DEVLIB");
  EXPECT_EQ(program->object_type, "PGM");
  EXPECT_EQ(program->attribute, "CLP");
  EXPECT_EQ(program->owner, "TESTER");
  EXPECT_EQ(program->asp, 1u);
  EXPECT_EQ(program->created, "1231114221320");
  EXPECT_EQ(program->changed, "1231114221320");
  EXPECT_EQ(program->description, "Say hello");
  EXPECT_EQ(program->source_file, "QCLSRC");
  EXPECT_EQ(program->source_library, "DEVLIB");
  EXPECT_EQ(program->source_member, "HELLO");

  const auto area =
      session.run(session.command().retrieve_object_description("DEVLIB", "SETTINGS", "DTAARA"));
  ASSERT_TRUE(area) << area.error().text();
  EXPECT_EQ(area->attribute, "");
  EXPECT_EQ(area->source_file, "");

  const auto library = session.run(session.command().retrieve_object_description("QSYS", "DEVLIB", "LIB"));
  ASSERT_TRUE(library) << library.error().text();
  EXPECT_EQ(library->library, "QSYS");
  EXPECT_EQ(library->description, "Development library");

  const auto file = session.run(session.command().retrieve_object_description("DEVLIB", "QCLSRC", "FILE"));
  ASSERT_TRUE(file) << file.error().text();
  EXPECT_EQ(file->attribute, "PF");

  const auto missing =
      session.run(session.command().retrieve_object_description("DEVLIB", "HELLO", "SRVPGM"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().text(), "retrieve object description failed with 0x0500");

  session.host().with_tree([](IfsTree& tree) { tree.deny_access("/QSYS.LIB/DEVLIB.LIB/HELLO.PGM"); });
  const auto denied = session.run(session.command().retrieve_object_description("DEVLIB", "HELLO", "PGM"));
  ASSERT_FALSE(denied) << "the user is not authorized to it";
  EXPECT_EQ(denied.error().text(), "retrieve object description failed with 0x0500");
}

TEST_F(FakeCommandService, ReportsTheStorageFigures) {
  const auto storage = session.run(session.command().retrieve_system_storage());
  ASSERT_TRUE(storage) << storage.error().text();
  EXPECT_EQ(storage->system_asp, 1'000'000u);
  EXPECT_EQ(storage->system_asp_used, 250'000u);
  EXPECT_EQ(storage->total_auxiliary_storage, 1'000'000u);
}

TEST_F(FakeCommandService, RecordsWhatEachCallAskedAbout) {
  session.host().clear_requests();
  ASSERT_TRUE(session.run(session.command().retrieve_member_description("DEVLIB", "QCLSRC", "HELLO")));
  ASSERT_TRUE(session.run(session.command().retrieve_file_description("DEVLIB", "QCLSRC")));
  ASSERT_TRUE(session.run(session.command().retrieve_object_description("DEVLIB", "HELLO", "PGM")));
  ASSERT_TRUE(session.run(session.command().retrieve_system_storage()));
  EXPECT_THAT(
      session.host().requests(),
      ElementsAre(
          ServedRequest{Service::command, RequestKind::member_description,
                        "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR"},
          ServedRequest{Service::command, RequestKind::file_description, "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE"},
          ServedRequest{Service::command, RequestKind::object_description, "/QSYS.LIB/DEVLIB.LIB/HELLO.PGM"},
          ServedRequest{Service::command, RequestKind::system_storage, ""}));
}

TEST(FakeCommandCcsid, DecidesTheTextOfTheReceivers) {
  HostSettings settings = test_settings();
  settings.command_ccsid = 1208;
  HostSession session(test_tree(), settings);
  ASSERT_TRUE(session.connect());
  EXPECT_EQ(session.command().ccsid(), 1208u);
  const auto hello = session.run(session.command().retrieve_member_description("DEVLIB", "QCLSRC", "HELLO"));
  ASSERT_TRUE(hello) << hello.error().text();
  EXPECT_EQ(hello->description, "Sig hej på dansk");
}

}  // namespace
}  // namespace fake_ibmi::testing
