// The spellings that reach a member of the library file system, as Explorer, editors and copy programs
// use them: a member is its text, or it is refused; its records never take a program's raw bytes.
#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gmock/gmock.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "operations_fixture.hpp"

namespace varlin::filesystem {
namespace {

using fake_ibmi::IfsTree;
using fake_ibmi::RequestKind;
using ::testing::ElementsAre;

const std::vector<std::string> kHelloLines = {"PGM", "SNDPGMMSG MSG('Hej')", "ENDPGM"};

class LibrarySpellings : public OperationsTest {
 protected:
  std::vector<std::string> hello_lines(std::string_view library) {
    return host
        .with_tree([library](const IfsTree& tree) { return tree.member_lines(library, "QCLSRC", "HELLO"); })
        .value_or(std::vector<std::string>{"(no member)"});
  }

  // The requests that open a file on the IBM i or change one.
  std::size_t opening_or_changing_requests() {
    std::size_t count = 0;
    for (const RequestKind kind : {RequestKind::open_file, RequestKind::write_file, RequestKind::truncate,
                                   RequestKind::rename, RequestKind::create_directory})
      count += host.count(kind);
    return count;
  }

  // An open's or a create's outcome; a file it opened is closed again.
  OperationResult<void> outcome(OperationResult<OpenFileRef> opened) {
    if (!opened) return std::unexpected(opened.error());
    fs_->cleanup(*opened, 0);
    fs_->close(std::move(*opened));
    return {};
  }

  winfsp::FSP_FSCTL_FILE_INFO info_{};
};

// A shell or a script may write the root with "." steps; the IBM i reads them as no steps at all.
TEST_F(LibrarySpellings, ThroughARootWithDotStepsAMemberReadsAndSavesAsItsText) {
  const std::string roots[] = {"/./QSYS.LIB/OPSLIB.LIB", "/QSYS.LIB/./OPSLIB.LIB",
                               "//QSYS.LIB//OPSLIB.LIB/."};
  char mark = '1';
  for (const std::string& root : roots) {
    SCOPED_TRACE(root);
    auto mounted = IfsFileSystem::connect(settings_for(root));
    ASSERT_TRUE(mounted) << mounted.error().text();
    fs_ = std::move(*mounted);
    EXPECT_EQ(fs_->remote_root(), "/QSYS.LIB/OPSLIB.LIB");

    EXPECT_THAT(list(opened(u"\\QCLSRC")).names, ElementsAre(u".", u"..", u"HELLO.clp"));
    std::vector<std::string> lines = hello_lines("OPSLIB");
    const auto member = opened(u"\\QCLSRC\\HELLO.clp");
    EXPECT_EQ(read_all(member), fmt::format("{}\n", fmt::join(lines, "\n")));
    write(member, std::string(1, mark), 0);
    ASSERT_TRUE(fs_->flush(member, info_));
    fs_->cleanup(member, 0);
    fs_->close(member);
    lines[0][0] = mark++;
    EXPECT_EQ(hello_lines("OPSLIB"), lines) << "saved as records, line by line";
  }
}

// A library named MY.X shows as MY.X, and its source file QCLSRC lists its members under their IBM i
// names, since no spelling of a member's text takes a library whose name holds a '.'.
TEST_F(LibrarySpellings, NoSpellingOpensCreatesOrMovesAMemberAsAStreamFile) {
  host.with_tree([](IfsTree& tree) {
    tree.add_library("MY.X")
        .add_source_file("MY.X", "QCLSRC", {.record_length = 92, .ccsid = 277})
        .add_member("MY.X", "QCLSRC", "HELLO", {.lines = kHelloLines, .source_type = "CLP"});
  });
  EXPECT_THAT(list(opened(u"\\QSYS.LIB\\MY.X\\QCLSRC")).names, ElementsAre(u".", u"..", u"HELLO.MBR"));

  const auto create = [this](std::u16string_view path) {
    winfsp::FSP_FSCTL_OPEN_FILE_INFO info{};
    return outcome(fs_->create(name(path), 0, 0, 0, info));
  };
  const auto rename_onto = [this](std::u16string_view path) {
    const auto notes = opened(u"\\home\\dev\\notes.txt");
    auto renamed = fs_->rename(notes, name(path), true);
    fs_->close(notes);
    return renamed;
  };
  struct Case {
    std::string what;
    std::function<OperationResult<void>()> run;
  };
  const Case cases[] = {
      {"open the IFS name", [this] { return outcome(open(u"\\QSYS.LIB\\MY.X\\QCLSRC\\HELLO.MBR")); }},
      {"open the IFS name in other case",
       [this] { return outcome(open(u"\\qsys.lib\\my.x\\qclsrc\\hello.mbr")); }},
      {"open the IFS name under the file's IFS name",
       [this] { return outcome(open(u"\\QSYS.LIB\\MY.X\\QCLSRC.FILE\\HELLO.MBR")); }},
      {"create a member", [&] { return create(u"\\QSYS.LIB\\MY.X\\QCLSRC\\NEW.MBR"); }},
      {"create a display name", [&] { return create(u"\\QSYS.LIB\\MY.X\\QCLSRC\\NEW.clp"); }},
      {"create a stream file in the source file",
       [&] { return create(u"\\QSYS.LIB\\MY.X\\QCLSRC\\new.txt"); }},
      {"rename a stream file onto the member",
       [&] { return rename_onto(u"\\QSYS.LIB\\MY.X\\QCLSRC\\HELLO.MBR"); }},
      {"rename a stream file onto a display name",
       [&] { return rename_onto(u"\\QSYS.LIB\\MY.X\\QCLSRC\\NOTES.clp"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.clear_requests();
    EXPECT_EQ(c.run(), fail(winfsp::kStatusAccessDenied));
    EXPECT_EQ(opening_or_changing_requests(), 0u);
  }
  // The spellings of the member's text take the library's IFS name, but the description programs that
  // give the member's record length cannot name MY.X: the open fails, and reads nothing raw.
  host.clear_requests();
  EXPECT_EQ(outcome(open(u"\\QSYS.LIB\\MY.X.LIB\\QCLSRC\\HELLO.clp")),
            fail(winfsp::kStatusUnexpectedNetworkError));
  EXPECT_EQ(opening_or_changing_requests(), 0u);
  EXPECT_EQ(hello_lines("MY.X"), kHelloLines);
  EXPECT_TRUE(exists(host, "/home/dev/notes.txt"));
  EXPECT_FALSE(exists(host, "/QSYS.LIB/MY.X.LIB/QCLSRC.FILE/NEW.MBR"));
}

}  // namespace
}  // namespace varlin::filesystem
