// Reads, writes and changes of names through morva's file-service client, checked against the tree.
#include "host_session.hpp"

namespace fake_ibmi::testing {
namespace {

using morva::ifs::WriteOptions;
using ::testing::ElementsAre;

Bytes bytes_of(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

using FakeFileContent = ConnectedHost;

TEST_F(FakeFileContent, ReadsRangesAndWholeFilesInChainedReplies) {
  session.host().with_settings([](HostSettings& settings) { settings.read_reply_size = 4096; });
  const Bytes data = data_bin();
  struct Case {
    std::uint64_t offset;
    std::uint32_t length;
    std::size_t expected;
  };
  const Case cases[] = {{0, 10, 10}, {50'000, 20'000, 20'000}, {99'990, 100, 10}, {100'000, 5, 0}, {7, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    const auto range = session.run(session.ifs().read_range("/home/tester/data.bin", c.offset, c.length));
    ASSERT_TRUE(range) << range.error().text();
    const auto begin =
        data.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(c.offset, data.size()));
    EXPECT_EQ(*range, Bytes(begin, begin + static_cast<std::ptrdiff_t>(c.expected)));
  }
  session.host().clear_requests();
  const auto whole = session.run(session.ifs().read_file("/home/tester/data.bin", 1 << 20));
  ASSERT_TRUE(whole) << whole.error().text();
  EXPECT_EQ(*whole, data);
  EXPECT_EQ(session.host().count(RequestKind::read_file), 1u) << "one request, 25 replies";
}

TEST_F(FakeFileContent, RecordsRequestsByHandleUnderTheOpenedPath) {
  session.host().clear_requests();
  ASSERT_TRUE(session.run(session.ifs().read_file("/home/tester/notes.txt", 1000)));
  const std::string path = "/home/tester/notes.txt";
  EXPECT_THAT(session.host().requests(),
              ElementsAre(ServedRequest{Service::file, RequestKind::open_file, path},
                          ServedRequest{Service::file, RequestKind::read_file, path},
                          ServedRequest{Service::file, RequestKind::close_file, path}));
}

TEST(FakeFileWrites, FollowTheOpenOptionsOfTheIbmi) {
  const std::string notes = "first line\nsecond line\n";
  struct Case {
    std::string path;
    WriteOptions options;
    std::string data;
    std::string error;                   // a phrase of the error, or empty
    std::optional<std::string> content;  // of the file afterwards, if there is one
  };
  const Case cases[] = {
      {"/home/tester/new.txt", {.offset = {}, .create = true}, "made", "", "made"},
      {"/home/tester/notes.txt", {.offset = {}, .create = true}, "x", "path already exists", notes},
      {"/home/tester/notes.txt", {.offset = {}, .overwrite = true}, "replaced", "", "replaced"},
      {"/home/tester/notes.txt", {.offset = 6, .overwrite = true}, "LINE", "", "first LINE\nsecond line\n"},
      {"/home/tester/notes.txt",
       {.offset = 30, .create = true, .overwrite = true},
       "end",
       "",
       notes + std::string(7, '\0') + "end"},
      {"/home/tester/gone.txt", {.offset = {}, .overwrite = true}, "x", "file not found", std::nullopt},
      {"/home/nobody/new.txt", {.offset = {}, .create = true}, "x", "path not found", std::nullopt},
      {"/home/shared/locked.txt", {.offset = {}, .overwrite = true}, "x", "access denied", "secret"},
      {"/home/tester/empty", {.offset = {}, .overwrite = true}, "x", "access denied", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " " + c.data);
    HostSession session;
    ASSERT_TRUE(session.connect());
    const Bytes data = bytes_of(c.data);
    const auto written = session.run(session.ifs().write(c.path, data, c.options));
    expect_outcome(written, c.error);
    if (written) {
      EXPECT_EQ(*written, data.size());
    }
    const auto content =
        session.host().with_tree([&](const IfsTree& tree) { return tree.file_bytes(c.path); });
    EXPECT_EQ(content, c.content ? std::optional(bytes_of(*c.content)) : std::nullopt);
  }
}

TEST(FakeFileWrites, ComeInDataBlocks) {
  HostSettings settings = test_settings();
  settings.data_block_size = 1000;
  HostSession session(test_tree(), settings);
  ASSERT_TRUE(session.connect());
  const Bytes data(2500, 0x5A);
  const auto written = session.run(session.ifs().write_file("/home/tester/blocks.bin", data, true, true));
  ASSERT_TRUE(written) << written.error().text();
  EXPECT_EQ(*written, 2500u);
  EXPECT_EQ(session.host().count(RequestKind::write_file), 3u);
  EXPECT_EQ(session.host().with_tree(
                [](const IfsTree& tree) { return tree.file_bytes("/home/tester/blocks.bin"); }),
            data);
}

TEST_F(FakeFileContent, TruncatesStreamFiles) {
  const auto notes = [&] {
    return session.host().with_tree(
        [](const IfsTree& tree) { return tree.file_bytes("/home/tester/notes.txt"); });
  };
  ASSERT_TRUE(session.run(session.ifs().truncate("/home/tester/notes.txt", 5)));
  EXPECT_EQ(notes(), bytes_of("first"));
  ASSERT_TRUE(session.run(session.ifs().truncate("/home/tester/notes.txt", 8)));
  EXPECT_EQ(notes(), bytes_of(std::string("first\0\0\0", 8)));
  expect_outcome(session.run(session.ifs().truncate("/home/tester/empty", 0)), "access denied");
  expect_outcome(session.run(session.ifs().truncate("/home/tester/missing", 0)), "file not found");
}

TEST_F(FakeFileContent, MakesDeletesAndRenamesEntries) {
  const ClientStep steps[] = {
      {"make a directory", [](auto& c) { return c.create_directory("/home/tester/made"); }, ""},
      {"make it again", [](auto& c) { return c.create_directory("/home/tester/made"); },
       "path already exists"},
      {"make one in nothing", [](auto& c) { return c.create_directory("/home/nobody/made"); },
       "path not found"},
      {"move a file into it",
       [](auto& c) { return c.rename("/home/tester/notes.txt", "/home/tester/made/n.txt", false); }, ""},
      {"remove a full directory", [](auto& c) { return c.remove("/home/tester/made"); },
       "directory is not empty"},
      {"move a directory into itself",
       [](auto& c) { return c.rename("/home/tester/made", "/home/tester/made/sub", false); },
       "invalid request"},
      {"rename onto a file",
       [](auto& c) { return c.rename("/home/tester/data.bin", "/home/tester/made/n.txt", false); },
       "path already exists"},
      {"replace a file",
       [](auto& c) { return c.rename("/home/tester/data.bin", "/home/tester/made/n.txt", true); }, ""},
      {"remove the file", [](auto& c) { return c.remove("/home/tester/made/n.txt"); }, ""},
      {"remove it again", [](auto& c) { return c.remove("/home/tester/made/n.txt"); }, "file not found"},
      {"remove the empty directory", [](auto& c) { return c.remove("/home/tester/made"); }, ""},
      {"remove a locked file", [](auto& c) { return c.remove("/home/shared/locked.txt"); }, "access denied"},
      {"rename QSYS.LIB", [](auto& c) { return c.rename("/QSYS.LIB", "/QSYS2.LIB", false); },
       "request denied"},
  };
  run_steps(session, steps);
  const auto home = session.run(session.ifs().list_directory("/home/tester"));
  ASSERT_TRUE(home) << home.error().text();
  EXPECT_EQ(home->size(), 1u);  // only empty/ is left
}

// Outside /QOpenSys a rename to another case of the name finds the source itself as its target.
TEST(FakeRenames, ToAnotherCaseOfTheNameTakeTheNewSpelling) {
  struct Case {
    std::string folder;
    std::string from;
    std::string to;
    bool replace;
    std::string error;                // a phrase of the error, or empty
    std::vector<std::string> listed;  // the folder afterwards
  };
  const std::string home = "/home/tester";
  const std::string members = "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE";  // whose names are upper case
  const std::string qopensys = "/QOpenSys/dev";
  const Case cases[] = {
      {home, "notes.txt", "Notes.txt", false, "", {"data.bin", "empty", "Notes.txt"}},
      {home, "notes.txt", "NOTES.TXT", true, "", {"data.bin", "empty", "NOTES.TXT"}},
      {home, "empty", "Empty", false, "", {"data.bin", "Empty", "notes.txt"}},
      {members, "EMPTY.MBR", "empty.mbr", false, "", {"EMPTY.MBR", "HELLO.MBR"}},
      {qopensys, "b.txt", "B.txt", false, "", {"a.txt", "A.txt", "B.txt"}},
      {qopensys, "a.txt", "A.txt", false, "path already exists", {"a.txt", "A.txt", "b.txt"}},
      {qopensys, "a.txt", "A.txt", true, "", {"A.txt", "b.txt"}},
  };
  for (const Case& c : cases) {
    const std::string from = c.folder + "/" + c.from;
    const std::string to = c.folder + "/" + c.to;
    SCOPED_TRACE(from + " to " + to + (c.replace ? ", replacing" : ""));
    IfsTree tree = test_tree();
    tree.add_file("/QOpenSys/dev/a.txt", "lower").add_file("/QOpenSys/dev/A.txt", "upper");
    tree.add_file("/QOpenSys/dev/b.txt", "b");
    HostSession session(std::move(tree));
    ASSERT_TRUE(session.connect());
    const auto bytes_at = [&](const std::string& path) {
      return session.host().with_tree([&](const IfsTree& t) { return t.file_bytes(path); });
    };
    const auto content = bytes_at(from);
    expect_outcome(session.run(session.ifs().rename(from, to, c.replace)), c.error);
    const auto folder = session.run(session.ifs().list_directory(c.folder));
    ASSERT_TRUE(folder) << folder.error().text();
    EXPECT_EQ(names(*folder), c.listed);
    EXPECT_EQ(bytes_at(c.error.empty() ? to : from), content) << "the content stays with the file";
  }
}

}  // namespace
}  // namespace fake_ibmi::testing
