#include "fake_host_mount.hpp"

#include <cstdio>
#include <cstdlib>

namespace varlin::filesystem {

using fake_ibmi::IfsTree;
using fake_ibmi::RequestKind;
using fake_ibmi::ServedRequest;
using fake_ibmi::Service;

IfsTree mount_tree() {
  IfsTree tree = fake_ibmi::test_tree();
  tree.add_file("/home/tester/docs/readme.txt", "read me\n").add_file("/home/tester2/other.txt", "other\n");
  // The builder makes members of source files only; a data file's member is made as the file server
  // would make it.
  const auto customers = tree.find(fake_ibmi::qsys_path("DEVLIB", "CUSTOMERS"));
  customers->children.push_back(tree.make_child(*customers, "CUSTOMERS.MBR", false, fake_ibmi::kBuiltTime));
  return tree;
}

fake_ibmi::HostSettings mount_host_settings() {
  fake_ibmi::HostSettings settings = fake_ibmi::test_settings();
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

metadata_pipe::FileProperties::Member hello_member_properties(std::string path, std::string library,
                                                              std::string file) {
  return {.path = std::move(path),
          .library = std::move(library),
          .source_file = std::move(file),
          .member = "HELLO",
          .source_type = "CLP",
          .ccsid = 277,
          .record_length = 92,
          .description = "Sig hej på dansk"};
}

metadata_pipe::FileProperties::Object hello_program_properties() {
  const std::string built = fake_ibmi::qsys_timestamp(fake_ibmi::kBuiltTime);
  return {.path = "/QSYS.LIB/DEVLIB.LIB/HELLO.PGM",
          .library = "DEVLIB",
          .object = "HELLO",
          .object_type = "PGM",
          .attribute = "CLP",
          .owner = "TESTER",
          .asp = 1,
          .created = built,
          .changed = built,
          .description = "Say hello",
          .source_file = "QCLSRC",
          .source_library = "DEVLIB",
          .source_member = "HELLO"};
}

metadata_pipe::FileProperties::Object settings_area_properties() {
  metadata_pipe::FileProperties::Object settings = hello_program_properties();
  settings.path = "/QSYS.LIB/DEVLIB.LIB/SETTINGS.DTAARA";
  settings.object = "SETTINGS";
  settings.object_type = "DTAARA";
  settings.attribute = "";
  settings.owner = "QPGMR";
  settings.description = "Settings";
  settings.source_file = settings.source_library = settings.source_member = std::nullopt;
  return settings;
}

EntryInfo built_file(std::uint64_t size, std::optional<MemberLocation> member) {
  return EntryInfo{
      .member = std::move(member), .size = size, .modified = fake_ibmi::kBuiltTime, .is_directory = false};
}

EntryInfo built_directory() {
  return EntryInfo{
      .member = std::nullopt, .size = 0, .modified = fake_ibmi::kBuiltTime, .is_directory = true};
}

std::optional<std::string> file_text(fake_ibmi::FakeHost& host, std::string_view path) {
  const auto bytes = host.with_tree([path](const IfsTree& tree) { return tree.file_bytes(path); });
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

bool exists(fake_ibmi::FakeHost& host, std::string_view path) {
  return host.with_tree([path](const IfsTree& tree) { return tree.find(path) != nullptr; });
}

std::vector<std::string> names_of(const std::vector<DirEntry>& entries) {
  std::vector<std::string> names;
  for (const DirEntry& entry : entries) names.push_back(entry.name);
  return names;
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
                       .user = std::string(fake_ibmi::kTestUser),
                       .password = morva::Secret(password),
                       .remote_root = std::move(remote_root),
                       .max_file_size = 1 << 20,
                       .cache_ttl = ttl,
                       .ports = {.signon = ports.signon, .file = ports.file, .command = ports.command},
                       .environment = RootEnvironment{},
                       .clock = clock.reader(),
                       .recovery_folder = recovery_folder.path()};
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
