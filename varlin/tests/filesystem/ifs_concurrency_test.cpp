// WinFsp calls the context from several dispatcher threads at once; each call still gets its own answer.
#include <gmock/gmock.h>

#include <atomic>
#include <functional>
#include <thread>

#include "fake_host_mount.hpp"

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

}  // namespace
}  // namespace varlin::filesystem
