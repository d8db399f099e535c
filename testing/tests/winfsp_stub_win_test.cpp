// The stand-in winfsp-x64.dll, loaded as varlin.exe loads WinFsp, serving a memory file system through
// the WinFsp host and the operation table, driven by its control client in a child process.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <future>
#include <string>

#include "child_process_win.hpp"
#include "memory_file_system.hpp"
#include "shared/stop_channel.hpp"
#include "winfsp/loader_win.hpp"
#include "winfsp/volume_params.hpp"
#include "winfsp/winfsp_host_win.hpp"

namespace winfsp_stub {
namespace {

using child_process::ChildRun;

constexpr std::uint32_t kMountId = 0x1A2B;

// A mount point no other test of any run uses.
std::string unique_mount_point() {
  static std::atomic<int> counter = 0;
  return "C:\\varlin-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
}

std::wstring wide(std::string_view text) {
  return {text.begin(), text.end()};
}

ChildRun client(const std::string& mount_point, const std::wstring& arguments) {
  return child_process::run_child(child_process::program_folder() + L"winfsp_stub_client.exe",
                                  L"\"" + wide(mount_point) + L"\" " + arguments);
}

class StubbedMount : public ::testing::Test {
 protected:
  void SetUp() override {
    auto loaded = varlin::winfsp::load_winfsp();
    ASSERT_TRUE(loaded) << loaded.error().diagnostic();
    winfsp = std::move(*loaded);
    mount(0);
  }

  void mount(std::uint32_t debug_log_mask) {
    auto file_system = std::make_unique<MemoryFileSystem>("ibmi.example.com");
    file_system->add_directory(u"\\src");
    file_system->add_file(u"\\src\\a.txt", "alpha\r\n");
    file_system->on_dispatcher_stopped([sender = channel.sender.clone()] { sender.send(); });
    file_system->watch_release(released);
    memory = file_system.get();
    auto created = varlin::WinFspHost::create(*winfsp, std::move(file_system),
                                              varlin::mount_volume_params(kMountId, 30), debug_log_mask);
    ASSERT_TRUE(created) << created.error().diagnostic();
    host = std::move(*created);
    ASSERT_TRUE(host->set_mount_point(mount_point));
    ASSERT_TRUE(host->start_dispatcher());
  }

  ChildRun run(const std::wstring& arguments) { return client(mount_point, arguments); }

  std::unique_ptr<varlin::winfsp::WinFspApi> winfsp;
  varlin::StopChannel channel = varlin::StopChannel::create();
  std::shared_ptr<std::atomic<bool>> released = std::make_shared<std::atomic<bool>>(false);
  std::string mount_point = unique_mount_point();
  MemoryFileSystem* memory = nullptr;
  std::unique_ptr<varlin::WinFspHost> host;
};

TEST_F(StubbedMount, ClientListsReadsAndDescribes) {
  const ChildRun listing = run(L"dir \\");
  EXPECT_EQ(listing.exit_code, 0u) << listing.errors;
  EXPECT_EQ(listing.output, "         <DIR>  src\n");
  EXPECT_EQ(run(L"read \\src\\a.txt").output, "alpha\r\n") << "the bytes as they are";
  EXPECT_EQ(run(L"volume").output, "total=1073741824 free=1073741817 label=ibmi.example.com\n");
  const ChildRun params = run(L"params");
  EXPECT_EQ(params.output,
            "version=0\nserial=0x00001A2B\nfile-info-timeout=30000\ndir-info-timeout=30000\n"
            "timeout-valid-flags=0x00000000\nflags=0x00013007\nfile-system-name=VARLIN\nprefix-empty=true\n"
            "guard-strategy=fine\ndebug-log=0x00000000\nmount-point=" +
                mount_point + "\n");
}

TEST_F(StubbedMount, ClientWritesAMemberBackAndMovesFiles) {
  const std::string local = "winfsp-stub-" + std::to_string(GetCurrentProcessId()) + ".txt";
  const std::string content = "first line\r\n" + std::string(200'000, 'x') + "\r\n";
  std::ofstream(local, std::ios::binary) << content;
  const ChildRun written = run(L"write \\src\\a.txt " + wide(local));
  DeleteFileA(local.c_str());
  EXPECT_EQ(written.exit_code, 0u) << written.errors;
  EXPECT_EQ(written.output, "wrote 200014 bytes\n");
  EXPECT_EQ(memory->content(u"\\src\\a.txt"), content);
  EXPECT_EQ(run(L"read \\src\\a.txt").output, content);

  EXPECT_EQ(run(L"mkdir \\out").exit_code, 0u);
  EXPECT_EQ(run(L"rename \\src\\a.txt \\out\\b.txt").exit_code, 0u);
  EXPECT_EQ(run(L"delete \\src").exit_code, 0u);
  EXPECT_EQ(run(L"dir \\").output, "         <DIR>  out\n");
}

TEST_F(StubbedMount, ClientReportsFailuresWithTheirStatus) {
  const ChildRun missing = run(L"read \\src\\missing.txt");
  EXPECT_EQ(missing.exit_code, 1u);
  EXPECT_EQ(missing.errors, "ERROR 0xC0000034 Open\n");
  EXPECT_EQ(missing.output, "");
  EXPECT_EQ(run(L"").exit_code, 2u) << "usage";
}

TEST_F(StubbedMount, AStopRequestEndsTheDispatcherAndTellsTheMount) {
  EXPECT_EQ(run(L"stop").exit_code, 0u);
  ASSERT_TRUE(channel.receiver.wait()) << "DispatcherStopped sent on the stop channel";
  EXPECT_EQ(memory->dispatcher_stops(), 1);
  host->stop_dispatcher();  // what main does next; harmless now
  host->remove_mount_point();
  host.reset();
  EXPECT_TRUE(*released);
}

TEST_F(StubbedMount, DeletingTheHostUnmountsThenReleasesTheContext) {
  host.reset();
  EXPECT_TRUE(*released);
  ASSERT_TRUE(channel.receiver.wait()) << "the dispatcher ended before the context went";
  mount(0);  // the mount point is free again
  EXPECT_EQ(run(L"dir \\").exit_code, 0u);
}

TEST_F(StubbedMount, MountPointsInUseAreRefusedAsStatusErrors) {
  for (const std::string& taken : {mount_point, std::string("C:")}) {
    auto other = varlin::WinFspHost::create(*winfsp, std::make_unique<MemoryFileSystem>(),
                                            varlin::mount_volume_params(1, 1), 0);
    ASSERT_TRUE(other);
    const auto refused = (*other)->set_mount_point(taken);
    ASSERT_FALSE(refused) << taken;
    EXPECT_EQ(refused.error().hresult(), 0xD0000035u);  // STATUS_OBJECT_NAME_COLLISION with bit 28
    EXPECT_TRUE(refused.error().diagnostic().starts_with("status error HRESULT 0xD0000035: "))
        << refused.error().diagnostic();
  }
  auto unnamed = varlin::WinFspHost::create(*winfsp, std::make_unique<MemoryFileSystem>(),
                                            varlin::mount_volume_params(1, 1), 0);
  ASSERT_TRUE(unnamed);
  EXPECT_EQ((*unnamed)->set_mount_point("").error().hresult(), 0xD0000033u)
      << "an empty mount point is passed on";
}

TEST_F(StubbedMount, WinFspsDebugLogGoesToStandardError) {
  host.reset();
  HANDLE read_end, write_end;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  const HANDLE standard_error = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_ERROR_HANDLE, write_end);
  mount(0xFFFFFFFF);
  SetStdHandle(STD_ERROR_HANDLE, standard_error);
  auto logged = std::async(std::launch::async, [read_end] {
    std::string text;
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(read_end, buffer, sizeof(buffer), &count, nullptr) && count > 0)
      text.append(buffer, count);
    return text;
  });
  EXPECT_EQ(run(L"read \\src\\a.txt").exit_code, 0u);
  host.reset();
  CloseHandle(write_end);
  const std::string log = logged.get();
  CloseHandle(read_end);
  EXPECT_NE(log.find("winfsp-stub: Open \\src\\a.txt -> 0x00000000\n"), std::string::npos) << log;
}

TEST(NtStatusError, CarriesTheStatusAsAnHresultWithText) {
  const morva::Error error = varlin::nt_status_error(varlin::winfsp::kStatusObjectNameNotFound);
  EXPECT_EQ(error.hresult(), 0xD0000034u);
  EXPECT_FALSE(error.text().empty());
  EXPECT_EQ(error.text().find('\n'), std::string::npos);
}

}  // namespace
}  // namespace winfsp_stub
