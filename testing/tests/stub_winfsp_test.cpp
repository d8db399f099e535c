#include "stub_winfsp.hpp"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <chrono>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "memory_file_system.hpp"
#include "shared/stop_channel.hpp"
#include "winfsp/operation_table.hpp"
#include "winfsp/volume_params.hpp"

namespace winfsp_stub {
namespace {

using namespace std::chrono_literals;
using namespace varlin::winfsp;

// Runs a request on the file system's dispatcher; its reply, or a failure when none comes in time.
std::string run_request(StubWinFsp& winfsp, FSP_FILE_SYSTEM* file_system, ControlRequest request) {
  std::future<std::string> reply = winfsp.submit(file_system, std::move(request));
  if (reply.wait_for(10s) != std::future_status::ready) {
    ADD_FAILURE() << "no reply";
    return {};
  }
  return reply.get();
}

// A memory file system served by the stand-in through the real operation table.
class StubMount : public ::testing::Test {
 protected:
  StubMount() {
    memory.add_directory(u"\\src");
    memory.add_file(u"\\src\\a.txt", "alpha\n");
    memory.add_file(u"\\top.bin", std::string(100'000, 'x'));
    EXPECT_EQ(winfsp.file_system_create(u"WinFsp.Disk", params, table, &file_system), kStatusSuccess);
    file_system->UserContext = &target;
    memory.on_dispatcher_stopped([sender = channel.sender.clone()] { sender.send(); });
    EXPECT_EQ(winfsp.set_mount_point(file_system, u"M:"), kStatusSuccess);
    EXPECT_EQ(winfsp.start_dispatcher(file_system, 2), kStatusSuccess);
  }
  ~StubMount() override { winfsp.file_system_delete(file_system); }

  std::string run(std::vector<std::string> words, std::string payload = {}) {
    return run_request(winfsp, file_system, ControlRequest{std::move(words), std::move(payload)});
  }

  varlin::StopChannel channel = varlin::StopChannel::create();
  MemoryFileSystem memory;
  StubWinFsp winfsp;
  varlin::filesystem::OperationTarget target{memory, winfsp};
  FSP_FILE_SYSTEM_INTERFACE table = varlin::filesystem::operation_table<MemoryFileRef>();
  FSP_FSCTL_VOLUME_PARAMS params = varlin::mount_volume_params(0x1A2B, 30);
  FSP_FILE_SYSTEM* file_system = nullptr;
};

TEST_F(StubMount, ListsReadsAndDescribes) {
  EXPECT_EQ(run({"dir", "\\"}), "OK\n         <DIR>  src\n        100000  top.bin\n");
  EXPECT_EQ(run({"dir", "\\src"}), "OK\n         <DIR>  .\n         <DIR>  ..\n             6  a.txt\n");
  EXPECT_EQ(run({"read", "\\src\\a.txt"}), "OK\nalpha\n");
  EXPECT_EQ(run({"read", "\\top.bin"}), "OK\n" + std::string(100'000, 'x')) << "read in several chunks";
  EXPECT_EQ(run({"find", "\\src", "a.txt"}), "OK\n             6  a.txt\n");
  EXPECT_EQ(run({"volume"}), "OK\ntotal=1073741824 free=1073641818 label=memory\n");
  const std::string stat = run({"stat", "\\src\\a.txt"});
  EXPECT_TRUE(stat.starts_with("OK\nattributes=0x00000080 security-size=0\nname=\\src\\a.txt\n")) << stat;
  EXPECT_NE(stat.find("size=6 allocation=6"), std::string::npos) << stat;
}

TEST_F(StubMount, ListsLongDirectoriesAcrossSeveralCalls) {
  std::string expected = "OK\n         <DIR>  .\n         <DIR>  ..\n";
  memory.add_directory(u"\\many");
  for (char c = 'a'; c <= 't'; ++c) {
    const std::string name = std::string(20, c);
    memory.add_file(u"\\many\\" + std::u16string(name.begin(), name.end()), "");
    expected += "             0  " + name + "\n";
  }
  EXPECT_EQ(run({"dir", "\\many"}), expected);
}

TEST_F(StubMount, WritesCreatesRenamesAndDeletes) {
  EXPECT_EQ(run({"write", "\\src\\new.txt", "5"}, "hello"), "OK\nwrote 5 bytes\n");
  EXPECT_EQ(memory.content(u"\\src\\new.txt"), "hello");
  EXPECT_EQ(run({"write", "\\src\\a.txt", "2"}, "hi"), "OK\nwrote 2 bytes\n");
  EXPECT_EQ(memory.content(u"\\src\\a.txt"), "hi") << "an existing file is overwritten";
  EXPECT_EQ(run({"mkdir", "\\out"}), "OK\n");
  EXPECT_EQ(run({"rename", "\\src\\new.txt", "\\out\\moved.txt"}), "OK\n");
  EXPECT_EQ(memory.content(u"\\out\\moved.txt"), "hello");
  EXPECT_FALSE(memory.exists(u"\\src\\new.txt"));
  EXPECT_EQ(run({"delete", "\\out\\moved.txt"}), "OK\n");
  EXPECT_FALSE(memory.exists(u"\\out\\moved.txt"));
}

TEST_F(StubMount, ReportsTheFailingStep) {
  EXPECT_EQ(run({"read", "\\missing"}), "ERROR 0xC0000034 Open\n");
  EXPECT_EQ(run({"dir", "\\src\\a.txt"}), "ERROR 0xC0000103 Open\n");
  EXPECT_EQ(run({"read", "\\src"}), "ERROR 0xC00000BA Open\n");
  EXPECT_EQ(run({"mkdir", "\\src"}), "ERROR 0xC0000035 CreateEx\n");
  EXPECT_EQ(run({"delete", "\\src"}), "ERROR 0xC0000101 SetDelete\n");
  EXPECT_EQ(run({"frobnicate"}), "ERROR 0xC000000D unknown request: frobnicate\n\n");
}

TEST_F(StubMount, ShowsTheParametersItWasCreatedWith) {
  winfsp.set_debug_log(file_system, 0xFFFFFFFF);
  winfsp.set_operation_guard_strategy(file_system, FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY_COARSE);
  EXPECT_EQ(run({"params"}),
            "OK\nversion=0\nserial=0x00001A2B\nfile-info-timeout=30000\ndir-info-timeout=30000\n"
            "timeout-valid-flags=0x00000000\nflags=0x00013007\nfile-system-name=VARLIN\nprefix-empty=true\n"
            "guard-strategy=coarse\ndebug-log=0xFFFFFFFF\nmount-point=M:\n");
}

TEST_F(StubMount, WritesItsDebugLogOnlyWhenAsked) {
  std::vector<std::string> lines;
  std::mutex mutex;
  StubPlatform platform;
  platform.write_debug_log = [&](void*, std::string_view line) {
    std::lock_guard lock(mutex);
    lines.emplace_back(line);
  };
  StubWinFsp logging(platform);
  varlin::filesystem::OperationTarget logged{memory, logging};
  FSP_FILE_SYSTEM* other = nullptr;
  ASSERT_EQ(logging.file_system_create(u"WinFsp.Disk", params, table, &other), kStatusSuccess);
  other->UserContext = &logged;
  ASSERT_EQ(logging.start_dispatcher(other, 1), kStatusSuccess);
  logging.submit(other, {{"read", "\\src\\a.txt"}, {}}).get();
  EXPECT_TRUE(lines.empty());
  logging.set_debug_log(other, 0xFFFFFFFF);
  logging.submit(other, {{"read", "\\src\\a.txt"}, {}}).get();
  logging.file_system_delete(other);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "winfsp-stub: Open \\src\\a.txt -> 0x00000000");
}

TEST_F(StubMount, AStopRequestEndsTheDispatcherWhichReportsItOnce) {
  EXPECT_EQ(run({"stop"}), "OK\n");
  ASSERT_TRUE(channel.receiver.wait()) << "DispatcherStopped told main";
  winfsp.stop_dispatcher(file_system);
  winfsp.stop_dispatcher(file_system);
  EXPECT_EQ(memory.dispatcher_stops(), 1);
  EXPECT_EQ(winfsp.stop_service_calls(), std::vector<bool>{true});
  EXPECT_FALSE(winfsp.dispatcher_running(file_system));
  EXPECT_EQ(run({"volume"}), "ERROR 0xC0000184 dispatcher\n");
}

TEST_F(StubMount, StopDispatcherReturnsAfterDispatcherStopped) {
  winfsp.stop_dispatcher(file_system);
  EXPECT_EQ(memory.dispatcher_stops(), 1);
  EXPECT_EQ(winfsp.stop_service_calls(), std::vector<bool>{true});
}

// Texts by name behind the few slots that "hold" and "read" go through, noting each call with the name
// of the file it is made for. A file context points at its open's name.
struct NotingFileSystem {
  std::map<std::u16string, std::string> texts;
  std::deque<std::u16string> opened;
  std::vector<std::string> calls;

  static NotingFileSystem& of(FSP_FILE_SYSTEM* file_system) {
    return *static_cast<NotingFileSystem*>(file_system->UserContext);
  }

  // The text of a context's file, noting the call.
  std::string& note(std::string_view call, void* file_context, std::string_view detail = {}) {
    const std::u16string& name = *static_cast<std::u16string*>(file_context);
    calls.push_back(fmt::format("{} {}{}", call, std::string(name.begin(), name.end()), detail));
    return texts.at(name);
  }

  static FSP_FILE_SYSTEM_INTERFACE table() {
    FSP_FILE_SYSTEM_INTERFACE table{};
    table.Open = [](FSP_FILE_SYSTEM* file_system, char16_t* name, std::uint32_t, std::uint32_t,
                    void** file_context, FSP_FSCTL_FILE_INFO*) {
      NotingFileSystem& files = of(file_system);
      *file_context = &files.opened.emplace_back(name);
      files.note("Open", *file_context);
      return kStatusSuccess;
    };
    table.OverwriteEx = [](FSP_FILE_SYSTEM* file_system, void* file_context, std::uint32_t, Boolean,
                           std::uint64_t, FILE_FULL_EA_INFORMATION*, std::uint32_t, FSP_FSCTL_FILE_INFO*) {
      of(file_system).note("OverwriteEx", file_context).clear();
      return kStatusSuccess;
    };
    table.Write = [](FSP_FILE_SYSTEM* file_system, void* file_context, void* buffer, std::uint64_t offset,
                     std::uint32_t length, Boolean, Boolean, std::uint32_t* written, FSP_FSCTL_FILE_INFO*) {
      const std::string_view data(static_cast<const char*>(buffer), length);
      of(file_system)
          .note("Write", file_context, fmt::format(" at {}: {}", offset, data))
          .replace(offset, length, data);
      *written = length;
      return kStatusSuccess;
    };
    table.Read = [](FSP_FILE_SYSTEM* file_system, void* file_context, void* buffer, std::uint64_t offset,
                    std::uint32_t length, std::uint32_t* read) {
      const std::string& text = of(file_system).note("Read", file_context, fmt::format(" at {}", offset));
      *read = static_cast<std::uint32_t>(text.copy(static_cast<char*>(buffer), length, offset));
      return kStatusSuccess;
    };
    table.Cleanup = [](FSP_FILE_SYSTEM* file_system, void* file_context, char16_t*, std::uint32_t) {
      of(file_system).note("Cleanup", file_context);
    };
    table.Close = [](FSP_FILE_SYSTEM* file_system, void* file_context) {
      of(file_system).note("Close", file_context);
    };
    return table;
  }
};

TEST(StubWinFsp, AHeldFileGetsNoCleanupNorCloseWhileLaterRequestsRun) {
  NotingFileSystem files;
  files.texts = {{u"\\held.txt", "old text"}, {u"\\read.txt", "other"}};
  const FSP_FILE_SYSTEM_INTERFACE table = NotingFileSystem::table();
  StubWinFsp winfsp;
  FSP_FILE_SYSTEM* file_system = nullptr;
  ASSERT_EQ(winfsp.file_system_create(u"WinFsp.Disk", varlin::mount_volume_params(1, 1), table, &file_system),
            kStatusSuccess);
  file_system->UserContext = &files;
  ASSERT_EQ(winfsp.start_dispatcher(file_system, 1), kStatusSuccess)
      << "one thread, which the hold must free";
  EXPECT_EQ(run_request(winfsp, file_system, {{"hold", "\\held.txt", "7"}, "changed"}),
            "OK\nwrote 7 bytes and holds the file open\n");
  EXPECT_EQ(run_request(winfsp, file_system, {{"read", "\\read.txt"}, {}}), "OK\nother");
  winfsp.file_system_delete(file_system);
  EXPECT_EQ(files.texts.at(u"\\held.txt"), "changed");
  EXPECT_EQ(files.calls, (std::vector<std::string>{"Open \\held.txt", "OverwriteEx \\held.txt",
                                                   "Write \\held.txt at 0: changed", "Open \\read.txt",
                                                   "Read \\read.txt at 0", "Read \\read.txt at 5",
                                                   "Cleanup \\read.txt", "Close \\read.txt"}));
}

TEST(StubWinFsp, RefusesAnotherDeviceAndMountPointsItCannotTake) {
  MemoryFileSystem memory;
  StubPlatform platform;
  platform.claim_mount_point =
      [](std::u16string_view mount_point) -> std::expected<std::shared_ptr<void>, NtStatus> {
    if (mount_point == u"Z:") return std::unexpected(kStatusObjectNameCollision);
    return std::make_shared<int>(0);
  };
  StubWinFsp winfsp(platform);
  const FSP_FILE_SYSTEM_INTERFACE table = varlin::filesystem::operation_table<MemoryFileRef>();
  const FSP_FSCTL_VOLUME_PARAMS params = varlin::mount_volume_params(1, 1);
  FSP_FILE_SYSTEM* file_system = nullptr;
  EXPECT_EQ(winfsp.file_system_create(u"WinFsp.Net", params, table, &file_system), kStatusObjectNameNotFound);
  ASSERT_EQ(winfsp.file_system_create(u"WinFsp.Disk", params, table, &file_system), kStatusSuccess);
  EXPECT_EQ(winfsp.set_mount_point(file_system, u""), nt_status(0xC0000033));
  EXPECT_EQ(winfsp.set_mount_point(file_system, u"Z:"), kStatusObjectNameCollision);
  EXPECT_EQ(winfsp.set_mount_point(file_system, u"Y:"), kStatusSuccess);
  EXPECT_EQ(winfsp.mount_point(file_system), u"Y:");
  winfsp.remove_mount_point(file_system);
  EXPECT_EQ(winfsp.mount_point(file_system), u"");
  winfsp.file_system_delete(file_system);
}

}  // namespace
}  // namespace winfsp_stub
