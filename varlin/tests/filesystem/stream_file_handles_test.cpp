// Several handles of one stream file, as Windows programs hold them: every handle, under any spelling,
// sees the size that the writes, appends and new sizes of all of them made.
#include <gmock/gmock.h>

#include <functional>
#include <span>
#include <string>

#include "operations_fixture.hpp"

namespace varlin::filesystem {
namespace {

using fake_ibmi::RequestKind;

constexpr std::u16string_view kNotes = u"\\home\\dev\\notes.txt";
constexpr std::string_view kNotesPath = "/home/dev/notes.txt";
constexpr std::string_view kNotesText = "0123456789";

class StreamFileHandles : public OperationsTest {
 protected:
  void SetUp() override {
    // Writes of more than four bytes go in several chunks.
    host.with_settings([](fake_ibmi::HostSettings& settings) { settings.data_block_size = 4; });
    OperationsTest::SetUp();
  }

  OperationResult<std::uint32_t> write_through(const OpenFileRef& file, std::string_view text,
                                               std::uint64_t offset, bool to_end, bool constrained) {
    return fs_->write(file, std::as_bytes(std::span(text)), offset, to_end, constrained, info_);
  }

  std::uint64_t reported_size(const OpenFileRef& file) {
    EXPECT_TRUE(fs_->get_file_info(file, info_));
    return info_.FileSize;
  }

  winfsp::FSP_FSCTL_FILE_INFO info_{};
};

// A program (A) holds notes.txt open while a logger appends a line through a handle of its own, under
// another spelling; then A goes on with the file as Windows drives it.
TEST_F(StreamFileHandles, AHandleOpenedBeforeAnAppendThroughAnotherKeepsTheAppendedLine) {
  struct Case {
    std::string what;
    std::function<void(const OpenFileRef&)> then;
    std::string left;
  };
  const Case cases[] = {
      {"an allocation change that does not shrink the file, as copy programs and Office make",
       [this](const OpenFileRef& a) { ASSERT_TRUE(fs_->set_file_size(a, 4096, true, info_)); },
       "0123456789more\n"},
      {"a paging write of Windows' cache inside the file's real size",
       [this](const OpenFileRef& a) { EXPECT_EQ(write_through(a, "MORE\n", 10, false, true), 5u); },
       "0123456789MORE\n"},
      {"a look at its size", [this](const OpenFileRef& a) { EXPECT_EQ(reported_size(a), 15u); },
       "0123456789more\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.with_tree([](fake_ibmi::IfsTree& tree) { tree.find(kNotesPath)->data.resize(kNotesText.size()); });
    const auto a = opened(kNotes);
    const auto logger = opened(u"\\HOME\\DEV\\NOTES.TXT");
    EXPECT_EQ(write_through(logger, "more\n", 0, true, false), 5u);
    c.then(a);
    EXPECT_EQ(file_text(host, kNotesPath), c.left);
    EXPECT_EQ(reported_size(a), c.left.size());
    EXPECT_EQ(reported_size(logger), c.left.size());
    for (const auto& handle : {a, logger}) {
      fs_->cleanup(handle, 0);
      fs_->close(handle);
    }
  }
}

// The IBM i refuses the second chunk of a write: the first one is there, and the handle says so.
TEST_F(StreamFileHandles, AWriteThatFailsPartWayLeavesTheSizeTheIbmIHolds) {
  const auto file = opened(kNotes);
  host.fail_next(RequestKind::write_file, kAccessDenied, 1);
  EXPECT_EQ(write_through(file, "abcdefghij", 10, false, false), fail(winfsp::kStatusAccessDenied));
  EXPECT_EQ(file_text(host, kNotesPath), "0123456789abcd");
  EXPECT_EQ(reported_size(file), 14u);
  EXPECT_EQ(fs_->lookup_entry(kNotesPath).value_or(EntryInfo{}).size, 14u) << "asked of the IBM i again";
}

// A program deletes sub/inner.txt, its Close still to come, while Explorer renames the folder; a new
// inner.txt is then made in the renamed folder.
TEST_F(StreamFileHandles, AFileDeletedAtCleanupStaysForgottenThroughARenameOfItsFolder) {
  const auto deleted = opened(u"\\home\\dev\\sub\\inner.txt");
  ASSERT_TRUE(fs_->set_delete(deleted, true));
  fs_->cleanup(deleted, kCleanupDelete);
  ASSERT_FALSE(exists(host, "/home/dev/sub/inner.txt"));
  rename_folder(u"\\home\\dev\\sub", u"\\home\\dev\\moved");
  winfsp::FSP_FSCTL_OPEN_FILE_INFO created_info{};
  const auto created = fs_->create(name(u"\\home\\dev\\moved\\inner.txt"), 0, 0, 0, created_info);
  ASSERT_TRUE(created);
  EXPECT_EQ(created_info.FileInfo.FileSize, 0u);
  EXPECT_EQ(reported_size(*created), 0u);
  fs_->close(deleted);
  fs_->cleanup(*created, 0);
  fs_->close(*created);
}

}  // namespace
}  // namespace varlin::filesystem
