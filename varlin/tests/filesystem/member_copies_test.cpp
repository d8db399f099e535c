// A member has many names in its source file: HELLO.clp, HELLO.MBR, hello.clp, HELLO.bak and HELLO.clp~
// all name HELLO. Windows programs take them for different files: a copy from one onto another, as a
// user's backup or an editor's makes it, reads and writes the one text.
#include <gmock/gmock.h>

#include <span>
#include <string>
#include <vector>

#include "operations_fixture.hpp"

namespace varlin::filesystem {
namespace {

using fake_ibmi::RequestKind;
using ::testing::IsEmpty;

constexpr std::u16string_view kHelloClp = u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\HELLO.clp";
const std::vector<std::string> kHelloLines = {"PGM", "SNDPGMMSG MSG('Hej')", "ENDPGM"};

class MemberCopies : public OperationsTest {
 protected:
  std::vector<std::string> hello_lines() {
    return host
        .with_tree(
            [](const fake_ibmi::IfsTree& tree) { return tree.member_lines("OPSLIB", "QCLSRC", "HELLO"); })
        .value_or(std::vector<std::string>{"(no member)"});
  }

  // CopyFile: the source opened; the destination opened, replaced and given the source's size as its
  // allocation; the source read and what it gave written, 16 bytes at a time; the time copied; both
  // closed, the destination first.
  void copy(std::u16string_view from, std::u16string_view to) {
    const auto source = opened(from);
    const auto destination = opened(to);
    ASSERT_TRUE(fs_->get_file_info(source, info_));
    const std::uint64_t size = info_.FileSize;
    ASSERT_TRUE(fs_->overwrite(destination, 0, info_));
    ASSERT_TRUE(fs_->set_file_size(destination, size, true, info_));
    for (std::uint64_t offset = 0; offset < size; offset += 16) {
      const std::string chunk = read_all(source, offset, 16);
      ASSERT_FALSE(chunk.empty()) << "the source ends at " << offset << " of " << size;
      write(destination, chunk, offset);
    }
    ASSERT_TRUE(fs_->set_basic_info(destination, 133'000'000'000'000'000ull, info_));
    for (const auto& handle : {destination, source}) {
      fs_->cleanup(handle, 0);
      fs_->close(handle);
    }
  }

  // An open, a replacement, the text written and the handle closed, as an editor saves.
  void save(std::u16string_view through, std::string_view text) {
    const auto file = opened(through);
    ASSERT_TRUE(fs_->overwrite(file, 0, info_));
    write(file, text, 0);
    fs_->cleanup(file, 0);
    fs_->close(file);
  }

  winfsp::FSP_FSCTL_FILE_INFO info_{};
};

TEST_F(MemberCopies, ACopyOntoAnotherNameOfTheMemberLeavesItAsItWas) {
  const struct {
    std::u16string_view from;
    std::u16string_view to;
  } copies[] = {
      {kHelloClp, u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\HELLO.bak"},
      {kHelloClp, kHello},
      {kHelloClp, u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\hello.clp"},
      {kHelloClp, u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\HELLO.clp~"},
      {kHello, kHelloClp},
  };
  for (const auto& c : copies) {
    SCOPED_TRACE(std::string(c.to.begin(), c.to.end()));
    host.clear_requests();
    copy(c.from, c.to);
    EXPECT_EQ(hello_lines(), kHelloLines);
    EXPECT_EQ(host.count(RequestKind::write_file), 0u) << "the member is not even replaced";
  }
  EXPECT_THAT(lost_changes_, IsEmpty());
  EXPECT_THAT(recovery_folder.files(), IsEmpty());
}

// An editor holds HELLO.clp open, writes its backup HELLO.clp~ (HELLO itself) from the text it read,
// then saves through HELLO.clp.
TEST_F(MemberCopies, AnEditorsBackupUnderAnotherTypeLetsItsSaveGoThrough) {
  const auto editor = opened(kHelloClp);
  const std::string original = read_all(editor);
  save(u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\HELLO.clp~", original);
  save(kHelloClp, "PGM\nENDPGM\n");
  fs_->cleanup(editor, 0);
  fs_->close(editor);
  EXPECT_EQ(hello_lines(), (std::vector<std::string>{"PGM", "ENDPGM"}));
  EXPECT_THAT(lost_changes_, IsEmpty());
}

// A text written through HELLO.bak while a viewer holds HELLO.clp is HELLO's new text once the writer is
// done, and the viewer sees it.
TEST_F(MemberCopies, AReplacementThroughAnotherNameIsTheMembersTextOnceItsHandleIsDone) {
  const auto viewer = opened(kHelloClp);
  save(u"\\QSYS.LIB\\OPSLIB\\QCLSRC\\HELLO.bak", "PGM\n");
  EXPECT_EQ(read_all(viewer), "PGM\n");
  EXPECT_EQ(hello_lines(), std::vector<std::string>{"PGM"});
  fs_->close(viewer);
  EXPECT_THAT(lost_changes_, IsEmpty());
}

}  // namespace
}  // namespace varlin::filesystem
