// varlin.exe end to end under Wine: it signs on to the native fake IBM i, mounts through the stand-in
// WinFsp (driven by its control client), serves the metadata pipe and stops, each test on a loopback
// address and drive letter of its own.
#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "child_process_win.hpp"
#include "filesystem/recovery_copies.hpp"
#include "metadata_pipe/mount_id_hash.hpp"
#include "native_fake_ibmi_win.hpp"
#include "pipe_io_win.hpp"
#include "temporary_folder.hpp"

namespace end_to_end {
namespace {

using child_process::ChildRun;
using child_process::RunningChild;

constexpr DWORD kMountTimeoutMs = 60'000;
constexpr DWORD kStopTimeoutMs = 30'000;
constexpr DWORD kPipeTimeoutMs = 30'000;
constexpr DWORD kCopyTimeoutMs = 10'000;
constexpr DWORD kPollMs = 100;
constexpr std::string_view kBannerEnd = "to stop the mount.\n";

std::wstring wide(std::string_view text) {
  return {text.begin(), text.end()};
}

std::wstring pipe_name(std::uint32_t mount_id) {
  return wide(fmt::format(R"(\\.\pipe\VARLIN.Metadata.{:08X})", mount_id));
}

// One getFileProperties request line on the metadata pipe of `mount_id`, with `path` as JSON text.
std::expected<std::string, pipe_io::ExchangeFailure> ask_metadata_pipe(std::uint32_t mount_id,
                                                                       std::string_view path_json) {
  const std::string request =
      fmt::format(R"({{"version":1,"method":"getFileProperties","path":{}}})", path_json) + "\n";
  return pipe_io::request_reply(pipe_name(mount_id), request, pipe_io::ReplyEnd::line_feed, kPipeTimeoutMs,
                                kPipeTimeoutMs);
}

// varlin.exe, started with `arguments` and the environment's MORVA_* and VARLIN_* replaced by `environment`.
std::unique_ptr<RunningChild> start_mount(
    const std::wstring& arguments, const std::vector<std::wstring>& environment = {L"MORVA_PASSWORD=demo"},
    const std::wstring& program = L"varlin.exe") {
  return std::make_unique<RunningChild>(child_process::program_folder() + program, arguments,
                                        child_process::environment_block(environment));
}

// The copy of varlin.exe whose exchanges with the IBM i time out after 2 seconds without progress.
std::unique_ptr<RunningChild> start_short_time_limit_mount(const std::wstring& arguments) {
  return start_mount(arguments, {L"MORVA_PASSWORD=demo"}, L"varlin_short_time_limit.exe");
}

ChildRun stub_client(std::string_view mount_point, const std::wstring& arguments) {
  return child_process::run_child(child_process::program_folder() + L"winfsp_stub_client.exe",
                                  wide(mount_point) + L" " + arguments);
}

std::string describe(const RunningChild& mount) {
  return "standard output:\n" + mount.output() + "\nstandard error:\n" + mount.errors();
}

// Whether a file below `folder`, at any depth, holds exactly `text`.
bool holds_a_file_of(const std::filesystem::path& folder, std::string_view text) {
  std::error_code error;
  for (std::filesystem::recursive_directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    if (!entry->is_regular_file()) continue;
    std::ifstream file(entry->path(), std::ios::binary);
    if (std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()) == text)
      return true;
  }
  return false;
}

// Waits until a file below `folder` holds exactly `text`; false when none does within the time.
bool wait_for_a_file_of(const std::filesystem::path& folder, std::string_view text, DWORD timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (!holds_a_file_of(folder, text)) {
    if (GetTickCount64() > deadline) return false;
    Sleep(kPollMs);
  }
  return true;
}

class MountProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!native_fake_ibmi_built())
      GTEST_SKIP() << "the native fake_ibmi_server is not built at " << native_fake_ibmi_path()
                   << "; build the linux preset first";
  }

  // A fake IBM i on `address`, failing the test when it does not serve.
  std::unique_ptr<NativeFakeIbmi> serve_fake_ibmi(
      const std::string& address, NativeFakeIbmi::Start start = NativeFakeIbmi::Start::answering) {
    auto fake = std::make_unique<NativeFakeIbmi>(address, start);
    EXPECT_TRUE(fake->ready()) << fake->failure();
    return fake;
  }
};

TEST_F(MountProgram, MountsServesTheMetadataPipeAndStopsOnStdin) {
  const auto ibmi = serve_fake_ibmi("127.0.83.1");
  ASSERT_TRUE(ibmi->ready());
  const auto mount = start_mount(L"--host 127.0.83.1 --user DEMO --mount-point M: --mount-id 0x1A2B");
  ASSERT_TRUE(mount->wait_for_output(kBannerEnd, kMountTimeoutMs)) << describe(*mount);
  EXPECT_EQ(mount->output(),
            "Mounted IBM i 127.0.83.1:/ at M:\n"
            "Mount ID: 00001A2B; metadata pipe: \\\\.\\pipe\\VARLIN.Metadata.00001A2B\n"
            "Press Ctrl+C or send 'stop' on stdin to stop the mount.\n");

  const ChildRun listing = stub_client("M:", L"dir \\QSYS.LIB\\DEMOLIB\\QCLSRC");
  EXPECT_EQ(listing.exit_code, 0u) << listing.errors;
  EXPECT_NE(listing.output.find("HELLO.clp\n"), std::string::npos) << listing.output;
  const ChildRun member = stub_client("M:", L"read \\QSYS.LIB\\DEMOLIB\\QCLSRC\\HELLO.clp");
  EXPECT_EQ(member.exit_code, 0u) << member.errors;
  EXPECT_EQ(member.output,
            "             PGM\n"
            "             SNDPGMMSG  MSG('Hej verden! \xC3\x86"
            "ble, \xC3\xB8l og \xC3\xA5.')\n"
            "             ENDPGM\n");

  const auto reply = ask_metadata_pipe(0x1A2B, R"("QSYS.LIB\\DEMOLIB\\QCLSRC\\HELLO.clp")");
  ASSERT_TRUE(reply) << "no reply line on the metadata pipe";
  const auto json = nlohmann::json::parse(*reply, nullptr, false);
  ASSERT_FALSE(json.is_discarded()) << *reply;
  EXPECT_EQ(json.value("mountId", ""), "00001A2B");
  ASSERT_EQ(json.value("ok", false), true) << *reply;
  const auto& properties = json["result"]["properties"];
  EXPECT_EQ(properties.value("library", ""), "DEMOLIB");
  EXPECT_EQ(properties.value("sourceFile", ""), "QCLSRC");
  EXPECT_EQ(properties.value("member", ""), "HELLO");
  EXPECT_EQ(properties.value("sourceType", ""), "CLP");
  EXPECT_EQ(properties.value("ccsid", 0), 277);
  EXPECT_EQ(properties.value("recordLength", 0), 92);
  EXPECT_EQ(properties.value("description", ""), "Say hello");

  mount->write_input("stop\n");
  EXPECT_EQ(mount->wait(kStopTimeoutMs), 0u) << describe(*mount);
  EXPECT_TRUE(mount->output().ends_with("to stop the mount.\nStopping mount...\n")) << describe(*mount);
  EXPECT_EQ(mount->errors(), "");
}

TEST_F(MountProgram, StopsWhenWinFspsDispatcherEnds) {
  const auto ibmi = serve_fake_ibmi("127.0.83.2");
  ASSERT_TRUE(ibmi->ready());
  const auto mount =
      start_mount(L"--host 127.0.83.2 --user DEMO --mount-point N: --remote-root /QSYS.LIB/DEMOLIB.LIB/");
  ASSERT_TRUE(mount->wait_for_output(kBannerEnd, kMountTimeoutMs)) << describe(*mount);
  const std::uint32_t mount_id =
      varlin::metadata_pipe::mount_id_hash("127.0.83.2", "/QSYS.LIB/DEMOLIB.LIB/", "N:");
  EXPECT_EQ(mount->output(),
            fmt::format("Mounted IBM i 127.0.83.2:/QSYS.LIB/DEMOLIB.LIB at N:\n"
                        "Mount ID: {0:08X}; metadata pipe: \\\\.\\pipe\\VARLIN.Metadata.{0:08X}\n"
                        "Press Ctrl+C or send 'stop' on stdin to stop the mount.\n",
                        mount_id));
  EXPECT_NE(stub_client("N:", L"dir \\").output.find("<DIR>  QCLSRC\n"), std::string::npos)
      << "the library is the root";

  EXPECT_EQ(stub_client("N:", L"stop").exit_code, 0u);
  EXPECT_EQ(mount->wait(kStopTimeoutMs), 0u) << describe(*mount);
  EXPECT_TRUE(mount->output().ends_with("Stopping mount...\n")) << describe(*mount);
}

TEST_F(MountProgram, LogsWithVerboseAndPassesWinFspsLogToStandardError) {
  const auto ibmi = serve_fake_ibmi("127.0.83.3");
  ASSERT_TRUE(ibmi->ready());
  const auto mount = start_mount(L"-v --host 127.0.83.3 --mount-point O:",
                                 {L"MORVA_PASSWORD=demo", L"MORVA_USER=DEMO", L"NO_COLOR=1"});
  ASSERT_TRUE(mount->wait_for_output(kBannerEnd, kMountTimeoutMs)) << describe(*mount);
  EXPECT_EQ(stub_client("O:", L"stat \\home").exit_code, 0u);
  mount->write_input("stop\n");
  EXPECT_EQ(mount->wait(kStopTimeoutMs), 0u) << describe(*mount);

  const std::string output = mount->output();
  const std::regex first_line(
      R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z DEBUG starting IBM i IFS mount host=127\.0\.83\.3 user=DEMO )"
      R"(remote_root=/ mount_point=O:)");
  EXPECT_TRUE(std::regex_match(output.substr(0, output.find('\n')), first_line)) << output;
  EXPECT_NE(output.find("\nMounted IBM i 127.0.83.3:/ at O:\n"), std::string::npos) << output;
  EXPECT_NE(mount->errors().find("winfsp-stub: Open \\home"), std::string::npos) << describe(*mount);
}

TEST_F(MountProgram, TakesTheUserProfileFromStandardInputAndThenStop) {
  const auto ibmi = serve_fake_ibmi("127.0.83.4");
  ASSERT_TRUE(ibmi->ready());
  const auto mount = start_mount(L"--host 127.0.83.4 --mount-point P:");
  mount->write_input("  demo \r\nstop\n");
  EXPECT_EQ(mount->wait(kMountTimeoutMs), 0u) << describe(*mount);
  EXPECT_TRUE(mount->output().starts_with("IBM i user profile: Mounted IBM i 127.0.83.4:/ at P:\n"))
      << describe(*mount);
  EXPECT_TRUE(mount->output().ends_with("Stopping mount...\n")) << describe(*mount);
}

TEST_F(MountProgram, AWrongPasswordEndsWithAnError) {
  const auto ibmi = serve_fake_ibmi("127.0.83.5");
  ASSERT_TRUE(ibmi->ready());
  const auto mount =
      start_mount(L"--host 127.0.83.5 --user DEMO --mount-point Q:", {L"MORVA_PASSWORD=wrong"});
  EXPECT_EQ(mount->wait(kMountTimeoutMs), 1u) << describe(*mount);
  EXPECT_EQ(mount->output(), "") << "no banner";
  EXPECT_EQ(mount->errors(), "Error: \"password or passphrase is incorrect (0x0003000B)\"\n");
}

TEST_F(MountProgram, ASecondMountWithTheSameIdFailsBeforeMounting) {
  const auto ibmi = serve_fake_ibmi("127.0.83.6");
  ASSERT_TRUE(ibmi->ready());
  const auto first = start_mount(L"--host 127.0.83.6 --user DEMO --mount-point R: --mount-id 0x5A5A");
  ASSERT_TRUE(first->wait_for_output(kBannerEnd, kMountTimeoutMs)) << describe(*first);

  const auto second = start_mount(L"--host 127.0.83.6 --user DEMO --mount-point S: --mount-id 23130");
  EXPECT_EQ(second->wait(kMountTimeoutMs), 1u) << describe(*second);
  EXPECT_EQ(second->output(), "");
  EXPECT_TRUE(second->errors().starts_with("Error: I/O error PermissionDenied (system error 5): "))
      << describe(*second);

  EXPECT_EQ(stub_client("R:", L"stat \\home").exit_code, 0u) << "the first mount goes on";
  const auto reply = ask_metadata_pipe(0x5A5A, R"("home")");
  ASSERT_TRUE(reply);
  EXPECT_TRUE(reply->starts_with(R"({"version":1,"mountId":"00005A5A","ok":false,"code":"invalidRequest")"))
      << *reply;
  first->write_input("stop\n");
  EXPECT_EQ(first->wait(kStopTimeoutMs), 0u) << describe(*first);
}

TEST_F(MountProgram, AMountPointInUseFailsWithItsStatus) {
  const auto ibmi = serve_fake_ibmi("127.0.83.7");
  ASSERT_TRUE(ibmi->ready());
  const auto mount = start_mount(L"--host 127.0.83.7 --user DEMO --mount-point C: --mount-id 0x7C7C");
  EXPECT_EQ(mount->wait(kMountTimeoutMs), 1u) << describe(*mount);
  EXPECT_EQ(mount->output(), "") << "no banner";
  EXPECT_TRUE(mount->errors().starts_with("Error: status error HRESULT 0xD0000035: ")) << describe(*mount);
}

TEST_F(MountProgram, AnIbmiThatNeverAnswersEndsTheStartUpWithAnError) {
  const auto ibmi = serve_fake_ibmi("127.0.83.8", NativeFakeIbmi::Start::silent);
  ASSERT_TRUE(ibmi->ready());
  const auto mount = start_short_time_limit_mount(L"--host 127.0.83.8 --user DEMO --mount-point T:");
  EXPECT_EQ(mount->wait(kMountTimeoutMs), 1u) << describe(*mount);
  EXPECT_EQ(mount->output(), "") << "no banner";
  EXPECT_EQ(mount->errors(),
            "Error: I/O error TimedOut: timed out waiting for sign-on service at 127.0.83.8:8476\n");
}

TEST_F(MountProgram, AnIbmiThatFallsSilentFailsOperationsAndThePipeButNotTheStop) {
  const auto ibmi = serve_fake_ibmi("127.0.83.9");
  ASSERT_TRUE(ibmi->ready());
  const auto mount =
      start_short_time_limit_mount(L"--host 127.0.83.9 --user DEMO --mount-point U: --mount-id 0x5117");
  ASSERT_TRUE(mount->wait_for_output(kBannerEnd, kMountTimeoutMs)) << describe(*mount);
  ASSERT_TRUE(ibmi->fall_silent());

  // The member's description waits on the remote-command connection until the time limit.
  const auto reply = ask_metadata_pipe(0x5117, R"("QSYS.LIB\\DEMOLIB\\QCLSRC\\HELLO.clp")");
  ASSERT_TRUE(reply) << "no reply line on the metadata pipe";
  EXPECT_TRUE(reply->starts_with(R"({"version":1,"mountId":"00005117","ok":false,"code":"connectionLost")"))
      << *reply;

  // A lookup waits on the file-service connection while the mount is told to stop.
  RunningChild lookup(child_process::program_folder() + L"winfsp_stub_client.exe",
                      L"U: stat \\home\\nothing");
  Sleep(500);
  mount->write_input("stop\n");
  // It ends with STATUS_UNEXPECTED_NETWORK_ERROR at the time limit, and the stop then completes.
  EXPECT_EQ(lookup.wait(kStopTimeoutMs), 1u);
  EXPECT_TRUE(lookup.errors().starts_with("ERROR 0xC00000C4 ")) << lookup.errors();
  EXPECT_EQ(mount->wait(kStopTimeoutMs), 0u) << describe(*mount);
  EXPECT_TRUE(mount->output().ends_with("Stopping mount...\n")) << describe(*mount);
}

// A member saved through the drive while the texts that an earlier mount of the host could not save
// are still kept: the user hears of those at start-up, and the save leaves no copy behind.
TEST_F(MountProgram, NamesTheTextsEarlierMountsKeptAndKeepsNoCopyOfASavedMember) {
  const auto ibmi = serve_fake_ibmi("127.0.83.10");
  ASSERT_TRUE(ibmi->ready());
  const testing_support::TemporaryFolder local_app_data;
  const auto kept = local_app_data.path() / "varlin" / "unsaved" / "127.0.83.10";
  std::filesystem::create_directories(kept / "QSYS.LIB");
  std::ofstream(kept / "QSYS.LIB" / "HELLO.2026-01-02T03-04-05.000006Z.clp") << "PGM\n";
  const auto edited = local_app_data.path() / "HELLO.clp";
  std::ofstream(edited, std::ios::binary) << "PGM\nENDPGM\n";

  const auto mount =
      start_mount(L"--host 127.0.83.10 --user DEMO --mount-point V:",
                  {L"MORVA_PASSWORD=demo", L"LOCALAPPDATA=" + local_app_data.path().wstring()});
  ASSERT_TRUE(mount->wait_for_output(kBannerEnd, kMountTimeoutMs)) << describe(*mount);
  const ChildRun saved =
      stub_client("V:", L"write \\QSYS.LIB\\DEMOLIB\\QCLSRC\\HELLO.clp " + edited.wstring());
  EXPECT_EQ(saved.exit_code, 0u) << saved.errors;
  EXPECT_EQ(stub_client("V:", L"read \\QSYS.LIB\\DEMOLIB\\QCLSRC\\HELLO.clp").output, "PGM\nENDPGM\n");
  EXPECT_EQ(local_app_data.files().size(), 2u) << "the earlier copy and the edited file, no copy of the save";

  mount->write_input("stop\n");
  EXPECT_EQ(mount->wait(kStopTimeoutMs), 0u) << describe(*mount);
  EXPECT_EQ(mount->errors(),
            "1 unsaved text from an earlier mount is kept in " + varlin::filesystem::utf8_of(kept) + "\n");
}

// An editor holds a member open with changes while a write waits on an IBM i that stopped answering:
// the stop copies the changed text at once, not once that write has timed out.
TEST_F(MountProgram, AtTheStopEveryChangedTextIsCopiedWhileAnOperationWaitsOnTheIbmI) {
  const auto ibmi = serve_fake_ibmi("127.0.83.11");
  ASSERT_TRUE(ibmi->ready());
  const testing_support::TemporaryFolder local_app_data;
  const std::string changed = "PGM\nSNDPGMMSG MSG('Not saved yet')\nENDPGM\n";
  const auto edited = local_app_data.path() / "HELLO.clp";
  std::ofstream(edited, std::ios::binary) << changed;

  const auto mount = start_mount(
      L"-v --host 127.0.83.11 --user DEMO --mount-point W:",
      {L"MORVA_PASSWORD=demo", L"NO_COLOR=1", L"LOCALAPPDATA=" + local_app_data.path().wstring()});
  ASSERT_TRUE(mount->wait_for_output(kBannerEnd, kMountTimeoutMs)) << describe(*mount);
  const ChildRun held = stub_client("W:", L"hold \\QSYS.LIB\\DEMOLIB\\QCLSRC\\HELLO.clp " + edited.wstring());
  ASSERT_EQ(held.exit_code, 0u) << held.errors;

  ASSERT_TRUE(ibmi->fall_silent());
  const RunningChild waiting_write(child_process::program_folder() + L"winfsp_stub_client.exe",
                                   L"W: write \\home\\demo\\readme.txt " + edited.wstring());
  ASSERT_TRUE(
      mount->wait_for_output("querying IFS entry security path=/home/demo/readme.txt", kMountTimeoutMs))
      << describe(*mount);
  mount->write_input("stop\n");
  EXPECT_TRUE(wait_for_a_file_of(local_app_data.path() / "varlin" / "unsaved" / "127.0.83.11", changed,
                                 kCopyTimeoutMs))
      << "no copy of the changed text within " << kCopyTimeoutMs << " ms of the stop; the folder holds "
      << ::testing::PrintToString(local_app_data.files()) << "\n"
      << describe(*mount);
}

TEST_F(MountProgram, WithoutAFolderForUnsavedTextsItDoesNotStart) {
  const auto mount = start_mount(L"--host 127.0.83.10 --user DEMO --mount-point V:",
                                 {L"MORVA_PASSWORD=demo", L"LOCALAPPDATA="});
  EXPECT_EQ(mount->wait(kMountTimeoutMs), 1u) << describe(*mount);
  EXPECT_EQ(mount->errors(),
            "Error: \"LOCALAPPDATA is not set, so unsaved texts have no folder to be kept in\"\n");
}

}  // namespace
}  // namespace end_to_end
