#include "fake_host_mount.hpp"

#include <cstdio>
#include <cstdlib>

namespace varlin::filesystem {

using fake_ibmi::IfsTree;
using fake_ibmi::RequestKind;
using fake_ibmi::ServedRequest;
using fake_ibmi::Service;

IfsTree mount_tree() {
  IfsTree tree;
  tree.add_file("/home/tester/notes.txt", "first line\nsecond line\n")
      .add_file("/home/tester/docs/readme.txt", "read me\n")
      .add_directory("/home/tester/empty")
      .add_file("/home/tester2/other.txt", "other\n")
      .add_library("DEVLIB", "Development library")
      .add_source_file("DEVLIB", "QCLSRC", {.record_length = 92, .ccsid = 277, .description = "CL sources"})
      .add_member("DEVLIB", "QCLSRC", "HELLO",
                  {.lines = {"             PGM", "             SNDPGMMSG  MSG('Hej, Æble og øl')",
                             "             ENDPGM"},
                   .source_type = "CLP",
                   .description = "Sig hej på dansk"})
      .add_member("DEVLIB", "QCLSRC", "EMPTY", {.source_type = "CLP"})
      .add_source_file("DEVLIB", "QTXTSRC", {.record_length = 132, .ccsid = 1208})
      .add_member("DEVLIB", "QTXTSRC", "NOTE", {.lines = {"Grüße €"}, .source_type = "TXT"})
      .add_data_file("DEVLIB", "CUSTOMERS", 120)
      .add_object("DEVLIB", "HELLO", "PGM",
                  {.attribute = "CLP",
                   .owner = "TESTER",
                   .description = "Say hello",
                   .source_file = "QCLSRC",
                   .source_library = "DEVLIB",
                   .source_member = "HELLO"})
      .add_object("DEVLIB", "SETTINGS", "DTAARA", {.description = "Settings"});
  // The builder makes members of source files only; a data file's member is made as the file server
  // would make it.
  const auto customers = tree.find(fake_ibmi::qsys_path("DEVLIB", "CUSTOMERS"));
  customers->children.push_back(tree.make_child(*customers, "CUSTOMERS.MBR", false, fake_ibmi::kBuiltTime));
  return tree;
}

fake_ibmi::HostSettings mount_host_settings() {
  fake_ibmi::HostSettings settings;
  settings.users = {{std::string(kTestUser), std::string(kTestPassword)}};
  settings.system_asp = 2;
  settings.system_asp_used = 250'000;
  return settings;
}

MonotonicClock ManualClock::reader() const {
  return [ticks = ticks_] { return MonotonicTime(Lifetime(ticks->load())); };
}

TimeLimit::TimeLimit(std::chrono::seconds limit)
    : watch_([this, limit] {
        std::unique_lock lock(mutex_);
        if (ended_.wait_for(lock, limit, [this] { return done_; })) return;
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::fprintf(stderr, "%s.%s did not end within %lld s\n", test ? test->test_suite_name() : "?",
                     test ? test->name() : "?", static_cast<long long>(limit.count()));
        std::abort();
      }) {}

TimeLimit::~TimeLimit() {
  {
    std::lock_guard lock(mutex_);
    done_ = true;
  }
  ended_.notify_one();
  watch_.join();
}

EntryInfo built_file(std::uint64_t size, std::optional<MemberLocation> member) {
  return EntryInfo{
      .member = std::move(member), .size = size, .modified = fake_ibmi::kBuiltTime, .is_directory = false};
}

EntryInfo built_directory() {
  return EntryInfo{
      .member = std::nullopt, .size = 0, .modified = fake_ibmi::kBuiltTime, .is_directory = true};
}

ServedRequest file_request(RequestKind kind, std::string subject) {
  return ServedRequest{Service::file, kind, std::move(subject)};
}

ServedRequest command_request(RequestKind kind, std::string subject) {
  return ServedRequest{Service::command, kind, std::move(subject)};
}

MountSettings FakeHostMount::settings_for(std::string remote_root, Lifetime ttl,
                                          std::string_view password) const {
  const fake_ibmi::HostPorts ports = host.ports();
  return MountSettings{.host = host.address(),
                       .user = std::string(kTestUser),
                       .password = morva::Secret(password),
                       .remote_root = std::move(remote_root),
                       .max_file_size = 1 << 20,
                       .cache_ttl = ttl,
                       .ports = {.signon = ports.signon, .file = ports.file, .command = ports.command},
                       .environment = RootEnvironment{},
                       .clock = clock.reader()};
}

std::unique_ptr<IfsFileSystem> FakeHostMount::mount(std::string remote_root, Lifetime ttl) {
  auto mounted = IfsFileSystem::connect(settings_for(std::move(remote_root), ttl));
  if (!mounted) {
    ADD_FAILURE() << "mount failed: " << mounted.error().text();
    return nullptr;
  }
  return std::move(*mounted);
}

bool MountedRoot::entry_asks(std::string_view path) {
  host.clear_requests();
  (void)fs->lookup_entry(path);
  return !host.requests().empty();
}

bool MountedRoot::listing_asks(std::string_view path) {
  host.clear_requests();
  (void)fs->list_directory(path);
  return !host.requests().empty();
}

void PrintTo(const EntryInfo& entry, std::ostream* out) {
  *out << (entry.is_directory ? "directory" : "file") << " size " << entry.size << " modified "
       << entry.modified;
  if (entry.member)
    *out << " member " << entry.member->library << "/" << entry.member->file << " at " << entry.member->path;
}

void PrintTo(const DirEntry& entry, std::ostream* out) {
  *out << entry.name << ": ";
  PrintTo(entry.entry, out);
}

}  // namespace varlin::filesystem
