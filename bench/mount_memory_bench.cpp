// The heap a mount holds after walking thousands of distinct entries of a fake IBM i (stream files, or
// members of source files), and again after its caches' lifetime has passed and a second walk has gone
// over as many other entries.
#include <fmt/format.h>
#include <malloc.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <expected>
#include <memory>
#include <string>
#include <string_view>

#include "fake_ibmi/host/fake_host.hpp"
#include "fake_ibmi/host/test_tree.hpp"
#include "filesystem/ifs_file_system.hpp"
#include "shared/path_text.hpp"
#include "temporary_folder.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace varlin::filesystem;

constexpr Lifetime kLifetime = std::chrono::seconds(30);
constexpr int kFolders = 20;
constexpr int kEntriesPerFolder = 250;
constexpr const char* kWalks[] = {"FIRST", "SECOND"};

enum class Walked { stream_files, members };

// Where one walk starts: a folder of folders of stream files, or a library of source files.
std::string walk_top(Walked walked, std::string_view walk) {
  return walked == Walked::stream_files ? fmt::format("/walk/{}", walk)
                                        : fmt::format("/QSYS.LIB/{}.LIB", walk);
}

// For each walk, kFolders folders of kEntriesPerFolder stream files and as many source files of as
// many members.
fake_ibmi::IfsTree walk_tree() {
  fake_ibmi::IfsTree tree;
  for (const char* walk : kWalks) {
    tree.add_library(walk);
    for (int folder = 0; folder < kFolders; ++folder) {
      const std::string source_file = fmt::format("SRC{:02}", folder);
      tree.add_source_file(walk, source_file);
      for (int entry = 0; entry < kEntriesPerFolder; ++entry) {
        tree.add_file(fmt::format("/walk/{}/DIR{:02}/FILE{:03}.txt", walk, folder, entry), "text\n");
        tree.add_member(walk, source_file, fmt::format("MBR{:03}", entry),
                        {.lines = {"PGM"}, .source_type = "CLP", .description = "Member"});
      }
    }
  }
  return tree;
}

// Lists every folder at or below `folder` and looks up every entry, as an indexer does; the entries
// looked up.
std::expected<std::size_t, std::string> walk(IfsFileSystem& mount, const std::string& folder) {
  const auto listed = mount.list_directory(folder);
  if (!listed)
    return std::unexpected(fmt::format("listing {} failed with status {:#010x}", folder,
                                       static_cast<std::uint32_t>(listed.error())));
  std::size_t looked_up = 0;
  for (const DirEntry& entry : *listed) {
    const std::string path = join_path(folder, entry.name);
    if (!mount.lookup_entry(path)) return std::unexpected(fmt::format("looking up {} failed", path));
    ++looked_up;
    if (!entry.entry.is_directory) continue;
    const auto below = walk(mount, path);
    if (!below) return below;
    looked_up += *below;
  }
  return looked_up;
}

// Bytes in use on the heap, in every arena and in chunks mapped on their own.
std::size_t heap_in_use() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

void BM_MountHeapAfterWalks(benchmark::State& state, Walked walked) {
  spdlog::set_level(spdlog::level::warn);  // the connections' lines would break up the table
  for (auto _ : state) {
    fake_ibmi::FakeHost host(walk_tree(), fake_ibmi::test_settings());
    testing_support::TemporaryFolder recovery_folder;
    std::atomic<MonotonicTime> now{MonotonicTime(std::chrono::hours(1))};
    const auto connect = [&] {
      const fake_ibmi::HostPorts ports = host.ports();
      return IfsFileSystem::connect(
          MountSettings{.host = host.address(),
                        .user = std::string(fake_ibmi::kTestUser),
                        .password = morva::Secret(fake_ibmi::kTestPassword),
                        .remote_root = "/",
                        .max_file_size = 1 << 20,
                        .cache_ttl = kLifetime,
                        .ports = {.signon = ports.signon, .file = ports.file, .command = ports.command},
                        .environment = RootEnvironment{},
                        .clock = [&now] { return now.load(); },
                        .recovery_folder = recovery_folder.path()});
    };

    // A mount of its own walks first, so that the fake's record of the requests it serves has grown
    // as far as one walk takes it before the measured mount's heap is counted.
    auto warm_up = connect();
    auto mounted = connect();
    if (!warm_up || !mounted) {
      state.SkipWithError("mount failed");
      return;
    }
    if (!walk(**warm_up, walk_top(walked, kWalks[1]))) {
      state.SkipWithError("the walk of the warm-up mount failed");
      return;
    }
    warm_up->reset();
    host.clear_requests();

    const std::size_t before = heap_in_use();
    const auto first = walk(**mounted, walk_top(walked, kWalks[0]));
    host.clear_requests();
    const std::size_t after_first = heap_in_use();
    now = now.load() + kLifetime;
    const auto second = walk(**mounted, walk_top(walked, kWalks[1]));
    host.clear_requests();
    const std::size_t after_second = heap_in_use();
    if (!first || !second) {
      state.SkipWithError((first ? second : first).error().c_str());
      return;
    }

    const double first_bytes = static_cast<double>(after_first) - static_cast<double>(before);
    const double second_bytes = static_cast<double>(after_second) - static_cast<double>(before);
    const auto entries = static_cast<double>(*first);
    state.counters["entries_per_walk"] = entries;
    state.counters["heap_after_first_walk"] = first_bytes;
    state.counters["heap_after_second_walk"] = second_bytes;
    state.counters["bytes_per_entry_first"] = first_bytes / entries;
    state.counters["bytes_per_entry_second"] = second_bytes / entries;
  }
}

BENCHMARK_CAPTURE(BM_MountHeapAfterWalks, stream_files, Walked::stream_files)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MountHeapAfterWalks, members, Walked::members)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
