// A fake IBM i that stops answering: start-up and operations fail once the time limit has passed
// without progress, and a connection that timed out is not used again.
#include <gmock/gmock.h>

#include <future>
#include <string>

#include "fake_host_mount.hpp"

namespace varlin::filesystem {
namespace {

using namespace std::chrono_literals;

class SilentHost : public FakeHostMount {
 protected:
  MountSettings short_limit() const {
    MountSettings settings = settings_for("/");
    settings.time_limit = 300ms;
    return settings;
  }
};

TEST_F(SilentHost, StartUpFailsAsTimedOutWhenTheSignOnServerSaysNothing) {
  host.set_silent(true);
  const auto fs = IfsFileSystem::connect(short_limit());
  ASSERT_FALSE(fs);
  EXPECT_EQ(fs.error().io_kind(), morva::IoErrorKind::timed_out);
  EXPECT_EQ(fs.error().text(), "timed out waiting for sign-on service at " + host.address() + ":" +
                                   std::to_string(host.ports().signon));
}

TEST_F(SilentHost, QueuedOperationsFailWithTheirStatusAndTheConnectionIsNotUsedAgain) {
  const auto fs = IfsFileSystem::connect(short_limit());
  ASSERT_TRUE(fs) << fs.error().text();
  host.clear_requests();
  host.set_silent(true);
  // Two operations on the file-service connection: one waits for the IBM i, the other for the lock.
  auto listing = std::async(std::launch::async, [&fs] { return (*fs)->list_directory("/home"); });
  auto lookup =
      std::async(std::launch::async, [&fs] { return (*fs)->lookup_entry("/home/tester/notes.txt"); });
  const auto listed = listing.get();
  const auto found = lookup.get();
  ASSERT_FALSE(listed);
  EXPECT_EQ(listed.error(), winfsp::kStatusUnexpectedNetworkError);
  ASSERT_FALSE(found);
  EXPECT_EQ(found.error(), winfsp::kStatusUnexpectedNetworkError);
  EXPECT_EQ(host.requests().size(), 1u) << "one request, never answered";

  host.set_silent(false);
  const auto again = (*fs)->list_directory("/home/tester");
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error(), winfsp::kStatusUnexpectedNetworkError);
  EXPECT_EQ(host.requests().size(), 1u) << "the connection that timed out is not used again";
}

TEST_F(SilentHost, AnObjectDescriptionLeftUnansweredFailsTheLibraryListing) {
  const auto fs = IfsFileSystem::connect(short_limit());
  ASSERT_TRUE(fs) << fs.error().text();
  host.hang_next(fake_ibmi::RequestKind::object_description);
  EXPECT_EQ((*fs)->list_directory("/QSYS.LIB/DEVLIB.LIB"),
            std::unexpected(winfsp::kStatusUnexpectedNetworkError));
  EXPECT_EQ(host.count(fake_ibmi::RequestKind::object_description), 1u)
      << "no object after it is asked about";
}

}  // namespace
}  // namespace varlin::filesystem
