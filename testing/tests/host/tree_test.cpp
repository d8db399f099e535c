// The tree model and the JSON descriptions the standalone server reads.
#include <gmock/gmock.h>

#include "fake_ibmi/host/host_description.hpp"
#include "fake_ibmi/host/tree.hpp"

namespace fake_ibmi {
namespace {

using ::testing::HasSubstr;

TEST(FakeTree, FindsNamesIgnoringCaseAndResolvesDots) {
  IfsTree tree;
  tree.add_file("/home/Me/Notes.txt", "x").add_library("MYLIB").deny_access("/home/Me");
  struct Case {
    std::string path;
    std::string name;  // of the node found; empty: none
    bool parent;       // whether the parent was found
    bool denied;
  };
  const Case cases[] = {
      {"/HOME/me/notes.TXT", "Notes.txt", true, true},
      {"/home/me/../Me/./Notes.txt", "Notes.txt", true, true},
      {"/home/me", "Me", true, false},
      {"/qsys.lib/mylib.lib", "MYLIB.LIB", true, false},
      {"/", "", true, false},
      {"/home/me/missing", "", true, true},
      {"/home/nobody/missing", "", false, false},
      {"/home/Me/Notes.txt/inside", "", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Lookup found = tree.lookup(c.path);
    EXPECT_EQ(found.parent != nullptr, c.parent);
    EXPECT_EQ(found.denied, c.denied);
    if (c.path == "/") {
      EXPECT_EQ(found.node, tree.root());
    } else {
      EXPECT_EQ(found.node ? found.node->name : "", c.name);
    }
  }
}

TEST(FakeTree, TellsNamesApartByCaseOnlyInQOpenSys) {
  IfsTree tree;
  tree.add_file("/home/\u00C6ble/\u03A3igma.txt", "x")  // Æble/Σigma.txt
      .add_file("/QOpenSys/Dev/notes.txt", "lower")
      .add_file("/QOpenSys/Dev/NOTES.txt", "upper")
      .add_directory("/qopensys/dev");
  struct Case {
    std::string path;
    std::optional<std::string> content;  // of the stream file found; none: nothing found
  };
  const Case cases[] = {
      {"/HOME/\u00E6BLE/\u03C3IGMA.TXT", "x"},  // æBLE/σIGMA.TXT
      {"/home/aeble/sigma.txt", std::nullopt}, {"/qopensys/Dev/notes.txt", "lower"},
      {"/QOPENSYS/Dev/NOTES.txt", "upper"},    {"/QOpenSys/Dev/Notes.txt", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto bytes = tree.file_bytes(c.path);
    EXPECT_EQ(bytes ? std::optional(std::string(bytes->begin(), bytes->end())) : std::nullopt, c.content);
  }
  EXPECT_NE(tree.find("/QOpenSys/dev"), tree.find("/QOpenSys/Dev")) << "two directories";
  EXPECT_EQ(tree.find("/QOpenSys/Dev/notes.txt")->name, "notes.txt");
}

TEST(FakeTree, KeepsMembersAsBlankPaddedRecordsOfTheirCcsid) {
  IfsTree tree;
  tree.add_library("L").add_source_file("L", "S", {.record_length = 16, .ccsid = 277});
  tree.add_member("L", "s", "m", {.lines = {"Æ#", ""}, .source_type = "txt", .description = "d"});
  const auto member = tree.find("/QSYS.LIB/L.LIB/S.FILE/M.MBR");
  ASSERT_TRUE(member);
  EXPECT_EQ(member->data, from_hex("7B 4A 40 40 | 40 40 40 40"));  // 4 bytes of text a record
  EXPECT_EQ(member->source_type, "TXT");
  EXPECT_EQ(member->object_name(), "M");
  EXPECT_EQ(member->object_type(), "MBR");
  EXPECT_EQ(tree.member_lines("L", "S", "M"), std::vector<std::string>({"Æ#", ""}));
}

TEST(FakeTree, RefusesWhatItCannotHold) {
  struct Case {
    std::string what;
    std::function<void(IfsTree&)> build;
    std::string error;
  };
  const Case cases[] = {
      {"a member of no file", [](IfsTree& t) { t.add_member("L", "NONE", "M"); },
       "/QSYS.LIB/L.LIB/NONE.FILE is not a source file"},
      {"a member of a data file", [](IfsTree& t) { t.add_data_file("L", "D", 50).add_member("L", "D", "M"); },
       "not a source file"},
      {"a line longer than a record", [](IfsTree& t) { t.add_member("L", "S", "M", {.lines = {"12345"}}); },
       "line 1 of member M does not fit"},
      {"a line outside the CCSID", [](IfsTree& t) { t.add_member("L", "S", "M", {.lines = {"€"}}); },
       "line 1 of member M"},
      {"a library name with a digit first", [](IfsTree& t) { t.add_library("1LIB"); },
       "1LIB is not a library name"},
      {"an object typed as a library", [](IfsTree& t) { t.add_object("L", "X", "LIB"); },
       "X.LIB cannot be made as an object"},
      {"a stream file in QSYS.LIB", [](IfsTree& t) { t.add_file("/QSYS.LIB/a.txt", ""); },
       "cannot be made as a stream file"},
      {"a directory in a library", [](IfsTree& t) { t.add_directory("/QSYS.LIB/L.LIB/dir"); },
       "cannot be made as a directory"},
      {"the same file twice", [](IfsTree& t) { t.add_file("/a", "").add_file("/A", ""); },
       "/A is already in the tree"},
      {"an unknown CCSID", [](IfsTree& t) { t.add_source_file("L", "T", {.ccsid = 4711}); }, "CCSID 4711"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IfsTree tree;
    tree.add_library("L").add_source_file("L", "S", {.record_length = 16});
    try {
      c.build(tree);
      ADD_FAILURE() << "no error";
    } catch (const std::invalid_argument& error) {
      EXPECT_THAT(error.what(), HasSubstr(c.error));
    }
  }
}

TEST(FakeTree, MakesChildrenAsTheirParentsAllow) {
  IfsTree tree;
  tree.add_library("L").add_source_file("L", "S").add_directory("/d");
  const auto library = tree.find("/QSYS.LIB/L.LIB");
  const auto file = tree.find("/QSYS.LIB/L.LIB/S.FILE");
  struct Case {
    std::shared_ptr<Node> parent;
    std::string name;
    bool directory;
    std::optional<NodeKind> kind;
    std::string made;
  };
  const Case cases[] = {
      {tree.qsys(), "new.lib", true, NodeKind::library, "NEW.LIB"},
      {tree.qsys(), "new.lib", false, std::nullopt, ""},
      {tree.qsys(), "new", true, std::nullopt, ""},
      {library, "q#src.file", true, NodeKind::database_file, "Q#SRC.FILE"},
      {library, "x.pgm", false, std::nullopt, ""},
      {file, "m_1.mbr", false, NodeKind::member, "M_1.MBR"},
      {file, "_m.mbr", false, std::nullopt, ""},
      {tree.find("/d"), "Mixed Case.txt", false, NodeKind::stream_file, "Mixed Case.txt"},
      {tree.find("/d"), "..", true, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto made = tree.make_child(*c.parent, c.name, c.directory, 1);
    ASSERT_EQ(made != nullptr, c.kind.has_value());
    if (!made) continue;
    EXPECT_EQ(made->kind, *c.kind);
    EXPECT_EQ(made->name, c.made);
  }
  EXPECT_EQ(tree.make_child(*file, "M.MBR", false, 1)->ccsid, 277) << "a member takes its file's CCSID";
}

TEST(FakeTree, WritesTimesAsTheIbmiDoes) {
  EXPECT_EQ(qsys_timestamp(kBuiltTime), "1231114221320");
  EXPECT_EQ(qsys_timestamp(0), "0700101000000");
}

TEST(FakeHostDescription, ReadsTheDemo) {
  const auto demo = parse_host_description(demo_host_description());
  ASSERT_TRUE(demo) << demo.error();
  EXPECT_EQ(demo->settings.users.at("DEMO"), "demo");
  EXPECT_EQ(demo->settings.command_ccsid, 277);
  const auto hello = demo->tree.member_lines("DEMOLIB", "QCLSRC", "HELLO");
  ASSERT_TRUE(hello);
  EXPECT_EQ(hello->size(), 3u);
  EXPECT_TRUE(demo->tree.find("/QSYS.LIB/DEMOLIB.LIB/HELLO.PGM"));
  EXPECT_TRUE(demo->tree.find("/home/demo/readme.txt"));
}

TEST(FakeHostDescription, NamesThePlaceOfAFault) {
  struct Case {
    std::string json;
    std::string error;
  };
  const Case cases[] = {
      {"{", "description is not valid JSON"},
      {"[]", "description is not an object"},
      {R"({"user": {}})", "description has an unknown key \"user\""},
      {R"({"users": {"A": 1}})", "password of user \"A\" is not a string"},
      {R"({"password_level": 4})", "\"password_level\" is not 0 to 3"},
      {R"({"password_level": -1})", "\"password_level\" is not a number from 0 to 255"},
      {R"({"libraries": [{"name": "L", "source_files": [{"name": "S", "recordlength": 92}]}]})",
       "description.libraries[0].source_files[0] has an unknown key \"recordlength\""},
      {R"({"libraries": [{"name": "L", "objects": [{"name": "X"}]}]})",
       "description.libraries[0].objects[0] lacks \"type\""},
      {R"({"files": [{"path": "/a", "text": 5}]})", "description.files[0] \"text\" is not a string"},
      {R"({"libraries": [{"name": "L", "source_files": [{"name": "S", "record_length": 20,
          "members": [{"name": "M", "lines": ["much too long for it"]}]}]}]})",
       "line 1 of member M does not fit a record"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    const auto description = parse_host_description(c.json);
    ASSERT_FALSE(description);
    EXPECT_THAT(description.error(), HasSubstr(c.error));
  }
}

}  // namespace
}  // namespace fake_ibmi
