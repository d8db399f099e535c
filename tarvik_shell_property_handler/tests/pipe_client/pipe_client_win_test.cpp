#include "pipe_client/pipe_client_win.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "pipe_client/request_message.hpp"
#include "pipe_client/system_access_win.hpp"
#include "test_pipe_server_win.hpp"

namespace tarvik {
namespace {

using testing::PipeConnection;
using testing::TestPipeServer;
using testing::wide;
using Clock = std::chrono::steady_clock;

constexpr PipeTimeouts kShortTimeouts{.wait_for_instance_ms = 300, .transfer_ms = 300};

// A pipe of its own per test, so tests running at once never meet.
std::string test_pipe_name() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(R"(\\.\pipe\tarvik.test.)") + test->name() + "." + std::to_string(GetCurrentProcessId());
}

const std::string kRequest = request_message(R"(QSYS.LIB\L.LIB\F.FILE\M.rpgle)");

TEST(ExchangeOnPipe, WritesTheRequestAndReadsTheReply) {
  TestPipeServer server(test_pipe_name(), {{.replies = {"{\"reply\":1}\n"}}});
  EXPECT_EQ(exchange_on_pipe(wide(test_pipe_name()), kRequest), "{\"reply\":1}\n");
  EXPECT_EQ(server.requests(), std::vector<std::string>{kRequest});
  EXPECT_TRUE(server.wait_until_served());
}

TEST(ExchangeOnPipe, ReadsOnceAndAtMost16384Bytes) {
  const std::string first_part = "{\"version\":1,";
  {
    TestPipeServer server(test_pipe_name(), {{.replies = {first_part, "\"rest\":true}\n"}}});
    EXPECT_EQ(exchange_on_pipe(wide(test_pipe_name()), kRequest), first_part);
  }
  const std::string long_reply(20000, 'x');
  TestPipeServer server(test_pipe_name(), {{.replies = {long_reply}}});
  const auto reply = exchange_on_pipe(wide(test_pipe_name()), kRequest);
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, long_reply.substr(0, kReplyReadSize));
}

TEST(ExchangeOnPipe, NoAnswerWithoutAPipe) {
  const auto started = Clock::now();
  EXPECT_EQ(exchange_on_pipe(wide(test_pipe_name()), kRequest), std::nullopt);
  EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(1000)) << "a missing pipe is not waited for";
}

TEST(ExchangeOnPipe, WaitsOneSecondForABusyPipe) {
  TestPipeServer server(test_pipe_name(), {{.reads_request = false}});
  HANDLE holder = CreateFileW(wide(test_pipe_name()).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const auto started = Clock::now();
  EXPECT_EQ(exchange_on_pipe(wide(test_pipe_name()), kRequest), std::nullopt);
  EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(950));
  CloseHandle(holder);
}

TEST(ExchangeOnPipe, GivesUpOnAReplyThatDoesNotCome) {
  TestPipeServer server(test_pipe_name(), {{.replies = {}}});
  const auto started = Clock::now();
  EXPECT_EQ(exchange_on_pipe(wide(test_pipe_name()), kRequest), std::nullopt);
  EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(4950)) << "five seconds for the read";
  EXPECT_EQ(server.requests(), std::vector<std::string>{kRequest});
  EXPECT_TRUE(server.wait_until_served()) << "the client closed its end";
}

TEST(ExchangeOnPipe, CancelsAWriteThatStalls) {
  TestPipeServer server(test_pipe_name(), {{.reads_request = false}});
  const std::string huge(4 << 20, 'x');
  const auto started = Clock::now();
  EXPECT_EQ(exchange_on_pipe(wide(test_pipe_name()), huge, kShortTimeouts), std::nullopt);
  EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(kShortTimeouts.transfer_ms - 10));
  EXPECT_TRUE(server.wait_until_served()) << "the client closed its end";
}

TEST(ExchangeOnPipe, AConnectionClosedWithoutAReplyGivesNoAnswer) {
  TestPipeServer server(test_pipe_name(), {{.waits_for_client = false}});
  const auto started = Clock::now();
  EXPECT_EQ(exchange_on_pipe(wide(test_pipe_name()), kRequest), std::nullopt);
  EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(4000)) << "no time-out needed";
}

TEST(ExchangeOnPipe, OpensThePipeOnlyForTheServerToIdentifyTheCaller) {
  std::vector<DWORD> open_flags;
  const CreateFileCall recording = [&open_flags](LPCWSTR name, DWORD access, DWORD share,
                                                 LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                                 DWORD flags_and_attributes, HANDLE template_file) {
    open_flags.push_back(flags_and_attributes);
    return CreateFileW(name, access, share, security, disposition, flags_and_attributes, template_file);
  };
  TestPipeServer server(test_pipe_name(), {{.replies = {"reply\n"}}});
  EXPECT_EQ(exchange_on_pipe(wide(test_pipe_name()), kRequest, {}, recording), "reply\n");
  // Without SECURITY_SQOS_PRESENT, a process that created the pipe's name first may act as the caller.
  EXPECT_EQ(open_flags,
            std::vector<DWORD>{FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION});
}

TEST(WindowsSystemAccess, ExchangesOnTheMountsMetadataPipe) {
  constexpr std::uint32_t kMountId = 0x5EED0000;
  TestPipeServer server(metadata_pipe_name(kMountId + GetCurrentProcessId()), {{.replies = {"reply\n"}}});
  WindowsSystemAccess system;
  EXPECT_EQ(system.exchange(kMountId + GetCurrentProcessId(), kRequest), "reply\n");
  EXPECT_EQ(server.requests(), std::vector<std::string>{kRequest});
}

}  // namespace
}  // namespace tarvik
