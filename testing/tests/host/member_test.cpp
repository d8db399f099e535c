// Source members through morva's file-service client: records of the file's record length in the
// member's CCSID, and the rules of /QSYS.LIB for making, renaming and deleting objects.
#include "host_session.hpp"

namespace fake_ibmi::testing {
namespace {

using ::testing::ElementsAre;

constexpr std::string_view kHello = "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR";

std::string text_of(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::vector<RequestKind> kinds(const std::vector<ServedRequest>& requests) {
  std::vector<RequestKind> result;
  for (const ServedRequest& request : requests) result.push_back(request.kind);
  return result;
}

using FakeMembers = ConnectedHost;

TEST_F(FakeMembers, ReadAsLinesOfTheirRecords) {
  struct Case {
    std::string_view path;
    std::uint64_t record_length;
    std::string text;
  };
  const Case cases[] = {
      {kHello, 92, "             PGM\n             SNDPGMMSG  MSG('Hej, Æble og øl')\n             ENDPGM\n"},
      {"/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/EMPTY.MBR", 92, ""},
      {"/QSYS.LIB/DEVLIB.LIB/QTXTSRC.FILE/NOTE.MBR", 132, "Grüße €\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto text =
        session.run(session.ifs().read_source_member(std::string(c.path), 1 << 20, c.record_length));
    ASSERT_TRUE(text) << text.error().text();
    EXPECT_EQ(text_of(*text), c.text);
  }
}

TEST_F(FakeMembers, TakeTheirWholeTextAsRecords) {
  session.host().clear_requests();
  const auto written = session.run(session.ifs().write_source_member(std::string(kHello), "A\nB æ\n", 92));
  ASSERT_TRUE(written) << written.error().text();
  EXPECT_EQ(session.host().with_tree(
                [](const IfsTree& tree) { return tree.member_lines("DEVLIB", "QCLSRC", "HELLO"); }),
            std::vector<std::string>({"A", "B æ"}));
  const auto data = session.host().with_tree([](const IfsTree& tree) { return tree.find(kHello)->data; });
  ASSERT_EQ(data.size(), 160u);
  EXPECT_EQ(Bytes(data.begin() + 80, data.begin() + 84), from_hex("C2 40 C0 40")) << "CCSID 277";
  EXPECT_THAT(kinds(session.host().requests()),
              ElementsAre(RequestKind::open_file, RequestKind::object_attributes, RequestKind::close_file,
                          RequestKind::open_file, RequestKind::write_file, RequestKind::close_file));
}

TEST(FakeMemberCcsid, ComesFromTheObjectAttributesWhenAnOpenLeavesItUnstated) {
  HostSettings settings = test_settings();
  settings.open_states_member_ccsid = false;
  settings.data_block_size = 100;  // blocks that split records
  HostSession session(test_tree(), settings);
  ASSERT_TRUE(session.connect());
  const auto ccsid = session.run(session.ifs().source_member_ccsid(std::string(kHello)));
  ASSERT_TRUE(ccsid) << ccsid.error().text();
  EXPECT_EQ(*ccsid, 277);
  const auto written =
      session.run(session.ifs().write_source_member(std::string(kHello), "one\ntwo\nthree\n", 92));
  ASSERT_TRUE(written) << written.error().text();
  const auto text = session.run(session.ifs().read_source_member(std::string(kHello), 1 << 20, 92));
  ASSERT_TRUE(text) << text.error().text();
  EXPECT_EQ(text_of(*text), "one\ntwo\nthree\n");
  EXPECT_EQ(session.host().count(RequestKind::write_file), 3u);
}

// An open that makes the file and refuses an existing one, then its close, as any client may send them.
asio::awaitable<morva::Result<void>> make_file(morva::ifs::IfsClient& client, std::string path) {
  constexpr std::uint16_t kCreateOnly = 4;
  morva::ifs::IfsRequest open =
      morva::ifs::OpenFileForWrite{path, client.ccsid(), client.datastream_level(), kCreateOnly};
  if (auto sent = co_await client.send_request(std::move(open)); !sent)
    co_return std::unexpected(sent.error());
  const auto packet = co_await client.receive_reply();
  if (!packet) co_return std::unexpected(packet.error());
  const auto opened = morva::ifs::parse_open_reply(*packet, client.datastream_level(), path);
  if (!opened) co_return std::unexpected(opened.error());
  co_return co_await client.close_file(opened->file_handle, path);
}

TEST_F(FakeMembers, FollowTheRulesOfTheLibraryFileSystem) {
  using Client = morva::ifs::IfsClient;
  const auto create = [](std::string path) { return [path](Client& c) { return make_file(c, path); }; };
  const ClientStep steps[] = {
      {"make a member", create("/QSYS.LIB/DEVLIB.LIB/QNEWSRC.FILE/fresh.MBR"), ""},
      {"make a stream file in a source file", create("/QSYS.LIB/DEVLIB.LIB/QNEWSRC.FILE/a.txt"),
       "invalid path name"},
      {"make a stream file in a library", create("/QSYS.LIB/DEVLIB.LIB/a.txt"), "invalid path name"},
      {"make a member with a long name", create("/QSYS.LIB/DEVLIB.LIB/QNEWSRC.FILE/ELEVENCHARS.MBR"),
       "invalid path name"},
      {"make a library", [](Client& c) { return c.create_directory("/QSYS.LIB/newlib.LIB"); }, ""},
      {"make a source file", [](Client& c) { return c.create_directory("/QSYS.LIB/NEWLIB.LIB/QSRC.FILE"); },
       ""},
      {"make a plain directory in a library",
       [](Client& c) { return c.create_directory("/QSYS.LIB/NEWLIB.LIB/dir"); }, "invalid path name"},
      {"rename a member",
       [](Client& c) {
         return c.rename("/QSYS.LIB/DEVLIB.LIB/QNEWSRC.FILE/FRESH.MBR",
                         "/QSYS.LIB/DEVLIB.LIB/QNEWSRC.FILE/NEWER.MBR", false);
       },
       ""},
      {"move a member to another file",
       [](Client& c) {
         return c.rename("/QSYS.LIB/DEVLIB.LIB/QNEWSRC.FILE/NEWER.MBR",
                         "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/NEWER.MBR", false);
       },
       "request denied"},
      {"move a member out of the library system",
       [](Client& c) {
         return c.rename("/QSYS.LIB/DEVLIB.LIB/QNEWSRC.FILE/NEWER.MBR", "/home/tester/newer.txt", false);
       },
       "request denied"},
      {"rename a program",
       [](Client& c) {
         return c.rename("/QSYS.LIB/DEVLIB.LIB/HELLO.PGM", "/QSYS.LIB/DEVLIB.LIB/HI.PGM", false);
       },
       ""},
      {"change a program's type",
       [](Client& c) {
         return c.rename("/QSYS.LIB/DEVLIB.LIB/HI.PGM", "/QSYS.LIB/DEVLIB.LIB/HI.SRVPGM", false);
       },
       "invalid path name"},
      {"delete a member", [](Client& c) { return c.remove("/QSYS.LIB/DEVLIB.LIB/QNEWSRC.FILE/NEWER.MBR"); },
       ""},
      {"delete a file with members", [](Client& c) { return c.remove("/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE"); },
       "directory is not empty"},
  };
  run_steps(session, steps);
  const auto library = session.run(session.ifs().list_directory("/QSYS.LIB/NEWLIB.LIB"));
  ASSERT_TRUE(library) << library.error().text();
  ASSERT_EQ(library->size(), 1u);
  EXPECT_EQ(library->front().name, "QSRC.FILE");
  EXPECT_EQ(library->front().kind, morva::ifs::kDirectoryKind);
  EXPECT_TRUE(session.host().with_tree(
      [](const IfsTree& tree) { return tree.find("/QSYS.LIB/DEVLIB.LIB/HI.PGM") != nullptr; }));
}

}  // namespace
}  // namespace fake_ibmi::testing
