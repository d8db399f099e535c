// WinFsp calls the context from several dispatcher threads at once; each call still gets its own answer.
#include <gmock/gmock.h>

#include <fmt/format.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "fake_host_mount.hpp"
#include "operations_fixture.hpp"

namespace varlin::filesystem {
namespace {

using namespace std::chrono_literals;

constexpr int kThreads = 8;
constexpr int kRounds = 10;

TEST_F(FakeHostMount, ServesManyThreadsAtOnceThroughBothConnections) {
  const auto fs = mount("/", 0s);  // every call reaches the IBM i
  ASSERT_TRUE(fs);
  const MemberLocation hello{"DEVLIB", "QCLSRC", "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR"};
  // Each call answers whether it got the right answer.
  const std::function<bool()> calls[] = {
      [&fs] {
        const auto listed = fs->list_directory("/QSYS.LIB/DEVLIB/QCLSRC");
        return listed && names_of(*listed) == std::vector<std::string>{"EMPTY.clp", "HELLO.clp"};
      },
      [&fs, &hello] {
        return fs->load_content("/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp", hello)
            .value_or("")
            .ends_with("ENDPGM\n");
      },
      [&fs] { return fs->lookup_entry("/home/tester/notes.txt") == built_file(23); },
  };
  std::atomic<int> wrong = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&call = calls[t % std::size(calls)], &wrong] {
      for (int round = 0; round < kRounds; ++round)
        if (!call()) ++wrong;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
}

// Two editor windows save two members of one source file again and again, each as Notepad does: open,
// replacing the file's content, write, FlushFileBuffers, Cleanup, Close. Each write-back keeps its copy in
// the source file's folder on this computer while the other's discards its own there, and with it the folders
// it leaves empty.
TEST_F(OperationsTest, TwoEditorsSavingMembersOfOneSourceFileAtOnceHaveEverySaveHeld) {
  constexpr int kSaves = 200;
  const struct {
    std::u16string_view drive_name;
    std::string_view member;
  } editors[] = {
      {u"\\QSYS.LIB\\DEVLIB.LIB\\QCLSRC.FILE\\HELLO.MBR", "HELLO"},
      {u"\\QSYS.LIB\\DEVLIB.LIB\\QCLSRC.FILE\\EMPTY.MBR", "EMPTY"},
  };
  const auto text_of = [](int save) { return fmt::format("PGM /* save {:04} */\nENDPGM\n", save); };
  std::atomic<int> refused = 0;
  std::vector<std::thread> threads;
  for (const auto& editor : editors) {
    threads.emplace_back([&] {
      for (int save = 0; save < kSaves; ++save) {
        const auto file = opened(editor.drive_name);
        if (!file) return;
        winfsp::FSP_FSCTL_FILE_INFO info{};
        EXPECT_TRUE(fs_->overwrite(file, 0, info));
        write(file, text_of(save), 0);
        if (!fs_->flush(file, info)) ++refused;
        fs_->cleanup(file, 0);
        fs_->close(file);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(refused, 0);
  EXPECT_THAT(lost_changes_, ::testing::IsEmpty());
  for (const auto& editor : editors) {
    EXPECT_EQ(host.with_tree([&](const fake_ibmi::IfsTree& tree) {
      return tree.member_lines("DEVLIB", "QCLSRC", editor.member);
    }),
              std::vector<std::string>({fmt::format("PGM /* save {:04} */", kSaves - 1), "ENDPGM"}))
        << editor.member;
  }
  EXPECT_THAT(recovery_folder.files(), ::testing::IsEmpty()) << "every copy went once its text was held";
}

}  // namespace
}  // namespace varlin::filesystem
