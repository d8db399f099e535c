// A mount's file-system context signed on to a fake IBM i, with a clock that moves only when the test
// moves it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fake_ibmi/host/fake_host.hpp"
#include "fake_ibmi/host/test_tree.hpp"
#include "filesystem/ifs_file_system.hpp"
#include "temporary_folder.hpp"

namespace varlin::filesystem {

inline constexpr Lifetime kTestLifetime = std::chrono::seconds(30);

// The fake's test tree (fake_ibmi::test_tree) and more: /home/tester/docs/readme.txt,
// /home/tester2/other.txt and the member CUSTOMERS.MBR of the data file DEVLIB/CUSTOMERS.
fake_ibmi::IfsTree mount_tree();
// User TESTER; a system ASP of 2,000,000 bytes of which a quarter is used.
fake_ibmi::HostSettings mount_host_settings();

// Monotonic time that stands still until the test moves it; read from any thread.
class ManualClock {
 public:
  MonotonicClock reader() const;
  void advance(Lifetime by) { *ticks_ += by.count(); }

 private:
  std::shared_ptr<std::atomic<Lifetime::rep>> ticks_ =
      std::make_shared<std::atomic<Lifetime::rep>>(Lifetime(std::chrono::hours(1)).count());
};

// Ends the program, naming the test, when the test has not ended within the limit: a call that
// blocks on a broken exchange or lock fails the run instead of hanging it.
class TimeLimit {
 public:
  explicit TimeLimit(std::chrono::seconds limit = std::chrono::seconds(60));
  ~TimeLimit();
  TimeLimit(const TimeLimit&) = delete;
  TimeLimit& operator=(const TimeLimit&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  std::thread watch_;
};

// The properties of the tree's member DEVLIB/QCLSRC/HELLO under its path on the server, with the
// library and file named as the path names them.
metadata_pipe::FileProperties::Member hello_member_properties(std::string path, std::string library,
                                                              std::string file);
// The properties of the tree's HELLO.PGM and SETTINGS.DTAARA, as their descriptions give them.
metadata_pipe::FileProperties::Object hello_program_properties();
metadata_pipe::FileProperties::Object settings_area_properties();

// Entries as the fake reports what its tree was built with.
EntryInfo built_file(std::uint64_t size, std::optional<MemberLocation> member = std::nullopt);
EntryInfo built_directory();

// What the fake holds now: a stream file's bytes as text, and whether a path is there.
std::optional<std::string> file_text(fake_ibmi::FakeHost& host, std::string_view path);
bool exists(fake_ibmi::FakeHost& host, std::string_view path);

// The names a listing shows, in its order.
std::vector<std::string> names_of(const std::vector<DirEntry>& entries);

fake_ibmi::ServedRequest file_request(fake_ibmi::RequestKind kind, std::string subject = {});
fake_ibmi::ServedRequest command_request(fake_ibmi::RequestKind kind, std::string subject = {});

class FakeHostMount : public ::testing::Test {
 protected:
  // The fake's ports, the test's clock and an environment that rewrites no root.
  MountSettings settings_for(std::string remote_root, Lifetime ttl = kTestLifetime,
                             std::string_view password = fake_ibmi::kTestPassword) const;
  // A mount of the root, or nothing (and a failure of the test) when it cannot be made.
  std::unique_ptr<IfsFileSystem> mount(std::string remote_root = "/", Lifetime ttl = kTestLifetime);

  TimeLimit time_limit;
  fake_ibmi::FakeHost host{mount_tree(), mount_host_settings()};
  ManualClock clock;
  // Where the mount keeps copies of members' texts while it writes them back.
  testing_support::TemporaryFolder recovery_folder;
};

// A mount of the fake's root, with the requests of its start-up forgotten.
class MountedRoot : public FakeHostMount {
 protected:
  void SetUp() override {
    fs = mount();
    ASSERT_TRUE(fs);
    host.clear_requests();
  }

  // Whether looking the path up, or listing it, had to ask the IBM i: what a change left cached.
  bool entry_asks(std::string_view path);
  bool listing_asks(std::string_view path);

  std::unique_ptr<IfsFileSystem> fs;
};

void PrintTo(const EntryInfo& entry, std::ostream* out);
void PrintTo(const DirEntry& entry, std::ostream* out);

}  // namespace varlin::filesystem
