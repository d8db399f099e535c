// Names as Windows programs spell them: outside /QOpenSys the IBM i takes every case spelling of a name
// as one, so a change made under one spelling must not leave another spelling cached, and a rename must
// move the handles opened under any of them. In /QOpenSys case counts.
#include <gmock/gmock.h>

#include <string>

#include "operations_fixture.hpp"

namespace varlin::filesystem {
namespace {

using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;

// Latin-1 text of 24 bytes.
constexpr std::string_view kLatin1Text = "Gr\xFC\xDF Gott, sch\xF6ne Welt!\n";
constexpr std::string_view kAppended = "0123456789";

class NameCase : public OperationsTest {
 protected:
  void SetUp() override {
    host.with_tree([](fake_ibmi::IfsTree& tree) {
      tree.add_file("/home/dev/latin1.txt", kLatin1Text)
          .add_file(
              "/home/dev/\xC3\x86"
              "ble.txt",
              kLatin1Text)  // Æble.txt
          .add_file("/home/dev/proj/a.txt", "a\n")
          .add_file("/QOpenSys/dev/a.txt", "lower\n")
          .add_file("/QOpenSys/dev/A.txt", "upper\n")
          .add_file("/QOpenSys/dev/proj/a.txt", "proj\n")
          .add_file("/QOpenSys/dev/PROJ/a.txt", "PROJ\n");
    });
    OperationsTest::SetUp();
  }

  // A program that opens the file and reads as many bytes as the open reports.
  std::string read_by_reported_size(std::u16string_view path) {
    winfsp::FSP_FSCTL_OPEN_FILE_INFO info{};
    auto file = fs_->open(name(path), kNoOptions, 0, info);
    EXPECT_TRUE(file.has_value());
    if (!file) return {};
    std::string text = read_all(*file, 0, static_cast<std::uint32_t>(info.FileInfo.FileSize));
    fs_->cleanup(*file, 0);
    fs_->close(*file);
    return text;
  }

  // A program that opens the file for appending, appends and closes it.
  void append_through(std::u16string_view path, std::string_view text) {
    const auto file = opened(path);
    winfsp::FSP_FSCTL_FILE_INFO info{};
    EXPECT_EQ(fs_->write(file, std::as_bytes(std::span(text)), 0, true, false, info), text.size());
    fs_->cleanup(file, 0);
    fs_->close(file);
  }
};

TEST_F(NameCase, AProgramReadingByTheReportedSizeUnderAnotherCaseReadsTheWholeAppendedText) {
  struct Case {
    std::u16string written;
    std::u16string read;
    std::string path;
  };
  const Case cases[] = {
      {u"\\home\\dev\\latin1.txt", u"\\home\\dev\\LATIN1.TXT", "/home/dev/latin1.txt"},
      {u"\\home\\dev\\\u00C6ble.txt", u"\\HOME\\DEV\\\u00E6BLE.TXT",
       "/home/dev/\xC3\x86"
       "ble.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(read_by_reported_size(c.read), kLatin1Text);
    append_through(c.written, kAppended);
    const std::string whole = std::string(kLatin1Text) + std::string(kAppended);
    EXPECT_EQ(read_by_reported_size(c.read), whole);
    EXPECT_EQ(file_text(host, c.path), whole);
  }
}

TEST_F(NameCase, AnEditorHoldingAFileUnderAnotherCaseKeepsSavingItAfterItsFolderIsRenamed) {
  const auto editor = opened(u"\\home\\dev\\PROJ\\a.txt");
  rename_folder(u"\\home\\dev\\proj", u"\\home\\dev\\work");
  EXPECT_EQ(write(editor, "b\n", 2), 2u);
  EXPECT_EQ(file_text(host, "/home/dev/work/a.txt"), "a\nb\n");
  EXPECT_EQ(editor->file.path, "/home/dev/work/a.txt");
}

TEST_F(NameCase, AMemberOpenedByItsMbrPathIsSavedIntoItsSourceFileRenamedByItsDisplayName) {
  const auto member = opened(u"\\QSYS.LIB\\OPSLIB.LIB\\QCLSRC.FILE\\HELLO.MBR");
  write(member, "X", 0);
  rename_folder(u"\\QSYS.LIB\\OPSLIB\\QCLSRC", u"\\QSYS.LIB\\OPSLIB\\QNEWSRC");
  fs_->cleanup(member, 0);
  fs_->close(member);
  const auto lines = host.with_tree(
      [](const fake_ibmi::IfsTree& tree) { return tree.member_lines("OPSLIB", "QNEWSRC", "HELLO"); });
  EXPECT_EQ(lines, (std::vector<std::string>{"XGM", "SNDPGMMSG MSG('Hej')", "ENDPGM"}));
  EXPECT_THAT(lost_changes_, IsEmpty());
}

// Outside /QOpenSys the IBM i finds the file itself under the new spelling; inside, that is another name.
TEST_F(NameCase, ExplorerChangingTheCaseOfAFileNameShowsTheNewSpellingToAnEditorStillHoldingIt) {
  struct Case {
    std::u16string folder;
    std::u16string old_name;
    std::u16string new_name;
    std::string new_path;
    std::string content;
  };
  const Case cases[] = {
      {u"\\home\\dev", u"notes.txt", u"Notes.txt", "/home/dev/Notes.txt", "0123456789"},
      {u"\\QOpenSys\\dev\\proj", u"a.txt", u"A.txt", "/QOpenSys/dev/proj/A.txt", "proj\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.new_path);
    const auto editor = opened(c.folder + u"\\" + c.old_name);
    const auto folder = opened(c.folder);
    EXPECT_THAT(list(folder).names, Contains(c.old_name));

    const auto explorer = opened(c.folder + u"\\" + c.old_name);
    ASSERT_TRUE(fs_->rename(explorer, name(c.folder + u"\\" + c.new_name), false));
    fs_->cleanup(explorer, 0);
    fs_->close(explorer);

    const auto names = list(folder).names;
    EXPECT_THAT(names, Contains(c.new_name));
    EXPECT_THAT(names, Not(Contains(c.old_name)));
    EXPECT_EQ(read_all(editor), c.content);
    EXPECT_EQ(write(editor, "X", c.content.size()), 1u);
    EXPECT_EQ(file_text(host, c.new_path), c.content + "X");
  }
}

TEST_F(NameCase, InQOpenSysNamesThatDifferInCaseStayApart) {
  EXPECT_EQ(read_by_reported_size(u"\\QOpenSys\\dev\\A.txt"), "upper\n");
  append_through(u"\\QOpenSys\\dev\\a.txt", "more\n");
  host.clear_requests();
  EXPECT_EQ(read_by_reported_size(u"\\QOpenSys\\dev\\A.txt"), "upper\n");
  EXPECT_EQ(host.count(fake_ibmi::RequestKind::list_attributes), 0u) << "A.txt is another file: still cached";
  EXPECT_EQ(file_text(host, "/QOpenSys/dev/a.txt"), "lower\nmore\n");

  const auto editor = opened(u"\\QOpenSys\\dev\\PROJ\\a.txt");
  rename_folder(u"\\QOpenSys\\dev\\proj", u"\\QOpenSys\\dev\\work");
  EXPECT_EQ(write(editor, "X", 0), 1u);
  EXPECT_EQ(editor->file.path, "/QOpenSys/dev/PROJ/a.txt");
  EXPECT_EQ(file_text(host, "/QOpenSys/dev/PROJ/a.txt"), "XROJ\n");
  EXPECT_EQ(file_text(host, "/QOpenSys/dev/work/a.txt"), "proj\n");
}

}  // namespace
}  // namespace varlin::filesystem
