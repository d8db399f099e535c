// Building a mount against a fake IBM i: the order of the steps, where each failure stops, and what
// the context keeps.
#include <gmock/gmock.h>

#include <functional>
#include <vector>

#include "fake_host_mount.hpp"
#include "shared/stop_channel.hpp"

namespace varlin::filesystem {
namespace {

using fake_ibmi::FakeHost;
using fake_ibmi::RequestKind;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<RequestKind> kinds(const std::vector<fake_ibmi::ServedRequest>& requests) {
  std::vector<RequestKind> result;
  for (const auto& request : requests) result.push_back(request.kind);
  return result;
}

using MountConnect = FakeHostMount;

TEST_F(MountConnect, SignsOnOpensBothConnectionsReadsTheStorageAndListsTheRootOnce) {
  const auto fs = mount("/home/tester//");
  ASSERT_TRUE(fs);
  EXPECT_EQ(fs->remote_root(), "/home/tester");
  EXPECT_EQ(fs->volume_label(), host.address());
  EXPECT_EQ(fs->max_file_size(), 1u << 20);
  EXPECT_THAT(kinds(host.requests()),
              ElementsAre(RequestKind::signon_attributes, RequestKind::signon_info, RequestKind::file_seeds,
                          RequestKind::file_start, RequestKind::file_attributes, RequestKind::command_seeds,
                          RequestKind::command_start, RequestKind::command_attributes,
                          RequestKind::system_storage, RequestKind::list_attributes));
  EXPECT_EQ(host.requests().back(), file_request(RequestKind::list_attributes, "/home/tester/*"));

  host.clear_requests();
  EXPECT_TRUE(fs->list_directory("/home/tester")) << "the proof of the root is not kept as its listing";
  EXPECT_EQ(host.count(RequestKind::list_attributes), 1u);
}

TEST_F(MountConnect, ResolvesAQsysRootBeforeListingIt) {
  const auto fs = mount("/qsys.lib/devlib/");
  ASSERT_TRUE(fs);
  EXPECT_EQ(fs->remote_root(), "/qsys.lib/devlib");
  EXPECT_EQ(host.requests().back(), file_request(RequestKind::list_attributes, "/QSYS.LIB/devlib.LIB/*"));
}

TEST_F(MountConnect, TranslatesARootThatAUnixLikeShellRewrote) {
  MountSettings settings = settings_for("C:/Program Files/Shell/QSYS.LIB/DEVLIB.LIB");
  settings.environment.msystem = true;
  settings.environment.shell = R"(C:\Program Files\Shell\usr\bin\bash.exe)";
  const auto fs = IfsFileSystem::connect(std::move(settings));
  ASSERT_TRUE(fs) << fs.error().text();
  EXPECT_EQ((*fs)->remote_root(), "/QSYS.LIB/DEVLIB.LIB");
}

TEST_F(MountConnect, RefusesAWrongPasswordBeforeOpeningAConnection) {
  const auto fs = IfsFileSystem::connect(settings_for("/", kTestLifetime, "Wrong1"));
  ASSERT_FALSE(fs);
  EXPECT_THAT(fs.error().text(), HasSubstr("password or passphrase is incorrect"));
  EXPECT_THAT(kinds(host.requests()), ElementsAre(RequestKind::signon_attributes, RequestKind::signon_info));
}

// A bad root is reported only once the IBM i has been reached in full; an unreadable one after the
// root's check.
TEST_F(MountConnect, StopsAtTheFirstFailingStep) {
  struct Case {
    std::string what;
    std::function<void(FakeHost&)> arrange;
    std::string root;
    std::string error;  // a phrase of it
    RequestKind last;   // the last request served
  };
  const auto nothing = [](FakeHost&) {};
  const Case cases[] = {
      {"file connection refused", [](FakeHost& h) { h.fail_next(RequestKind::file_start, 0x00020002); }, "/",
       "file-service authentication failed with 0x00020002", RequestKind::file_start},
      {"command connection refused",
       [](FakeHost& h) { h.fail_next(RequestKind::command_attributes, 0x0101); }, "/",
       "command attribute exchange failed with 0x0101", RequestKind::command_attributes},
      {"storage query refused", [](FakeHost& h) { h.fail_next(RequestKind::system_storage, 0x0500); }, "/",
       "retrieve system storage failed with 0x0500", RequestKind::system_storage},
      {"storage query refused with a bad root",
       [](FakeHost& h) { h.fail_next(RequestKind::system_storage, 0x0500); }, "home/tester",
       "retrieve system storage failed with 0x0500", RequestKind::system_storage},
      {"relative root", nothing, "home/tester", "remote root must be an absolute IBM i IFS path",
       RequestKind::system_storage},
      {"root with ..", nothing, "/home/tester/../tester2", "remote root must be an absolute IBM i IFS path",
       RequestKind::system_storage},
      {"root with a backslash", nothing, R"(/home\tester)", "remote root must be an absolute IBM i IFS path",
       RequestKind::system_storage},
      {"empty root", nothing, "", "remote root must be an absolute IBM i IFS path",
       RequestKind::system_storage},
      {"missing root", nothing, "/home/nobody", "path not found for /home/nobody",
       RequestKind::list_attributes},
      {"root that is a file", nothing, "/home/tester/notes.txt", "path not found",
       RequestKind::list_attributes},
      {"unreadable root", [](FakeHost& h) { h.fail_next(RequestKind::list_attributes, 5); }, "/home/tester",
       "access denied", RequestKind::list_attributes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.clear_requests();
    c.arrange(host);
    const auto fs = IfsFileSystem::connect(settings_for(c.root));
    ASSERT_FALSE(fs);
    EXPECT_THAT(fs.error().text(), HasSubstr(c.error));
    ASSERT_FALSE(host.requests().empty());
    EXPECT_EQ(host.requests().back().kind, c.last);
  }
}

TEST_F(MountConnect, ReportsABadRootAsInvalidInput) {
  const auto fs = IfsFileSystem::connect(settings_for("C:/x"));
  ASSERT_FALSE(fs);
  EXPECT_EQ(fs.error().io_kind(), morva::IoErrorKind::invalid_input);
}

// The end of WinFsp's dispatcher, which stops the metadata pipe and tells main.
TEST_F(MountedRoot, DispatcherStoppedSendsOneStopMessageForEachEndWhileMainListens) {
  fs->dispatcher_stopped(true);  // no stop sender yet
  StopChannel channel = StopChannel::create();
  fs->set_stop_sender(channel.sender.clone());
  fs->dispatcher_stopped(false);
  ASSERT_TRUE(channel.receiver.wait());
  fs->dispatcher_stopped(true);
  ASSERT_TRUE(channel.receiver.wait()) << "each end sends one message";
  {
    StopChannel gone = StopChannel::create();
    fs->set_stop_sender(gone.sender.clone());
  }  // main has stopped listening
  fs->dispatcher_stopped(true);
}

}  // namespace
}  // namespace varlin::filesystem
