#include "stub_winfsp.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <thread>

#include "command_runner.hpp"
#include "stub_functions.hpp"

namespace winfsp_stub {

namespace {

using namespace varlin::winfsp;

constexpr std::u16string_view kDiskDeviceName = u"WinFsp.Disk";
constexpr NtStatus kStatusInvalidDeviceState = nt_status(0xC0000184);

class StubFileSystem;

// What WinFsp hands out as the file system: its public fields first, then the stand-in's own.
struct Head {
  FSP_FILE_SYSTEM file_system;
  StubFileSystem* owner;
};

class StubFileSystem {
 public:
  StubFileSystem(const FSP_FSCTL_VOLUME_PARAMS& volume_params, const FSP_FILE_SYSTEM_INTERFACE& interface)
      : head{{}, this}, params(volume_params), table(&interface) {}

  Head head;
  const FSP_FSCTL_VOLUME_PARAMS params;
  const FSP_FILE_SYSTEM_INTERFACE* const table;  // WinFsp keeps the caller's table, not a copy

  std::mutex mutex;  // guards everything below
  std::u16string mount_point;
  std::shared_ptr<void> mount_point_claim;
  FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY guard_strategy = FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY_FINE;
  std::uint32_t debug_log_mask = 0;
  std::vector<void*> held_open;  // contexts of handles never cleaned up nor closed, as WinFsp leaves them

  std::condition_variable wake;
  std::deque<std::packaged_task<std::string()>> jobs;
  bool started = false;
  bool closing = false;
  std::size_t running = 0;
  std::vector<std::thread> threads;

  // Lets the threads run out once the queued requests are done.
  void end() {
    std::lock_guard lock(mutex);
    closing = true;
    wake.notify_all();
  }

  void serve() {
    for (;;) {
      std::packaged_task<std::string()> job;
      {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] { return closing || !jobs.empty(); });
        if (jobs.empty()) break;
        job = std::move(jobs.front());
        jobs.pop_front();
      }
      job();
    }
    bool last = false;
    {
      std::lock_guard lock(mutex);
      last = --running == 0;
    }
    if (last && table->DispatcherStopped != nullptr) table->DispatcherStopped(&head.file_system, 1);
  }
};

StubFileSystem& stub_of(FSP_FILE_SYSTEM* file_system) {
  return *reinterpret_cast<Head*>(file_system)->owner;
}

std::future<std::string> ready(std::string reply) {
  std::promise<std::string> promise;
  promise.set_value(std::move(reply));
  return promise.get_future();
}

}  // namespace

StubWinFsp::StubWinFsp(StubPlatform platform) : platform_(std::move(platform)) {}

NtStatus StubWinFsp::file_system_create(const char16_t* device_path,
                                        const FSP_FSCTL_VOLUME_PARAMS& volume_params,
                                        const FSP_FILE_SYSTEM_INTERFACE& table,
                                        FSP_FILE_SYSTEM** file_system) {
  if (device_path == nullptr || kDiskDeviceName != device_path) return kStatusObjectNameNotFound;
  auto* created = new StubFileSystem(volume_params, table);
  *file_system = &created->head.file_system;
  return kStatusSuccess;
}

void StubWinFsp::file_system_delete(FSP_FILE_SYSTEM* file_system) {
  stop_dispatcher(file_system);
  delete &stub_of(file_system);
}

void StubWinFsp::set_operation_guard_strategy(FSP_FILE_SYSTEM* file_system,
                                              FSP_FILE_SYSTEM_OPERATION_GUARD_STRATEGY strategy) {
  StubFileSystem& stub = stub_of(file_system);
  std::lock_guard lock(stub.mutex);
  stub.guard_strategy = strategy;
}

NtStatus StubWinFsp::set_mount_point(FSP_FILE_SYSTEM* file_system, const char16_t* mount_point) {
  if (mount_point == nullptr || *mount_point == 0) return kStatusObjectNameInvalid;
  StubFileSystem& stub = stub_of(file_system);
  std::lock_guard lock(stub.mutex);
  if (!stub.mount_point.empty()) return kStatusInvalidDeviceState;
  if (platform_.claim_mount_point) {
    auto claim = platform_.claim_mount_point(mount_point);
    if (!claim) return claim.error();
    stub.mount_point_claim = std::move(*claim);
  }
  stub.mount_point = mount_point;
  return kStatusSuccess;
}

void StubWinFsp::remove_mount_point(FSP_FILE_SYSTEM* file_system) {
  StubFileSystem& stub = stub_of(file_system);
  std::lock_guard lock(stub.mutex);
  stub.mount_point.clear();
  stub.mount_point_claim.reset();
}

NtStatus StubWinFsp::start_dispatcher(FSP_FILE_SYSTEM* file_system, std::uint32_t thread_count) {
  StubFileSystem& stub = stub_of(file_system);
  std::lock_guard lock(stub.mutex);
  if (stub.started) return kStatusInvalidDeviceState;
  stub.started = true;
  stub.running = thread_count != 0 ? thread_count : std::max(2u, std::thread::hardware_concurrency());
  for (std::size_t i = 0; i < stub.running; ++i) stub.threads.emplace_back([&stub] { stub.serve(); });
  return kStatusSuccess;
}

void StubWinFsp::stop_dispatcher(FSP_FILE_SYSTEM* file_system) {
  StubFileSystem& stub = stub_of(file_system);
  stub.end();
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(stub.mutex);
    threads.swap(stub.threads);
  }
  for (std::thread& thread : threads) {
    if (thread.get_id() == std::this_thread::get_id())
      thread.detach();  // stopped from its own DispatcherStopped
    else
      thread.join();
  }
}

bool StubWinFsp::add_dir_info(const FSP_FSCTL_DIR_INFO* dir_info, void* buffer, std::uint32_t length,
                              std::uint32_t* bytes_transferred) {
  return winfsp_stub::add_dir_info(dir_info, buffer, length, bytes_transferred);
}

NtStatus StubWinFsp::resolve_reparse_points(FSP_FILE_SYSTEM* file_system, GetReparsePointByName by_name,
                                            void* context, const char16_t* file_name,
                                            std::uint32_t /*reparse_point_index*/,
                                            bool /*resolve_last_path_component*/,
                                            IO_STATUS_BLOCK* /*io_status*/, void* /*buffer*/,
                                            std::uint64_t* /*size*/) {
  return winfsp_stub::resolve_reparse_points(file_system, by_name, context, file_name);
}

void StubWinFsp::stop_service_if_necessary(FSP_FILE_SYSTEM* /*file_system*/, bool normally) {
  std::lock_guard lock(mutex_);
  stop_service_calls_.push_back(normally);
}

NtStatus StubWinFsp::nt_status_from_win32(std::uint32_t error) {
  return winfsp_stub::nt_status_from_win32(error);
}

void StubWinFsp::debug_log_set_handle(void* handle) {
  std::lock_guard lock(mutex_);
  debug_log_handle_ = handle;
}

void StubWinFsp::set_debug_log(FSP_FILE_SYSTEM* file_system, std::uint32_t mask) {
  StubFileSystem& stub = stub_of(file_system);
  std::lock_guard lock(stub.mutex);
  stub.debug_log_mask = mask;
}

std::future<std::string> StubWinFsp::submit(FSP_FILE_SYSTEM* file_system, ControlRequest request) {
  StubFileSystem& stub = stub_of(file_system);
  std::packaged_task<std::string()> job([this, &stub, request = std::move(request)] {
    if (request.words == std::vector<std::string>{"stop"}) {
      stub.end();
      return ok_reply("");
    }
    MountView view;
    view.file_system = &stub.head.file_system;
    view.table = stub.table;
    view.params = &stub.params;
    std::u16string mount_point;
    {
      std::lock_guard lock(stub.mutex);
      mount_point = stub.mount_point;
      view.guard_strategy = stub.guard_strategy;
      view.debug_log_mask = stub.debug_log_mask;
    }
    view.mount_point = mount_point;
    view.hold_open = [&stub](void* file_context) {
      std::lock_guard lock(stub.mutex);
      stub.held_open.push_back(file_context);
    };
    return run_command(view, request, [this](std::string_view line) { write_debug_log(line); });
  });
  std::future<std::string> reply = job.get_future();
  {
    std::lock_guard lock(stub.mutex);
    if (!stub.started || stub.closing) return ready(error_reply(kStatusInvalidDeviceState, "dispatcher"));
    stub.jobs.push_back(std::move(job));
  }
  stub.wake.notify_one();
  return reply;
}

std::u16string StubWinFsp::mount_point(FSP_FILE_SYSTEM* file_system) const {
  StubFileSystem& stub = stub_of(file_system);
  std::lock_guard lock(stub.mutex);
  return stub.mount_point;
}

bool StubWinFsp::dispatcher_running(FSP_FILE_SYSTEM* file_system) const {
  StubFileSystem& stub = stub_of(file_system);
  std::lock_guard lock(stub.mutex);
  return stub.started && !stub.closing;
}

std::vector<bool> StubWinFsp::stop_service_calls() const {
  std::lock_guard lock(mutex_);
  return stop_service_calls_;
}

void StubWinFsp::write_debug_log(std::string_view line) {
  void* handle = nullptr;
  {
    std::lock_guard lock(mutex_);
    handle = debug_log_handle_;
  }
  if (platform_.write_debug_log) platform_.write_debug_log(handle, line);
}

}  // namespace winfsp_stub
