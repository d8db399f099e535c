#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "filesystem/entry_info.hpp"
#include "filesystem/lost_changes.hpp"
#include "filesystem/open_file.hpp"
#include "filesystem/recovery_copies.hpp"
#include "filesystem/remote_root.hpp"
#include "filesystem/shared_states.hpp"
#include "filesystem/status.hpp"
#include "filesystem/timed_cache.hpp"
#include "filesystem/volume_space.hpp"
#include "metadata_pipe/shutdown_signal.hpp"
#include "morva/command/command_client.hpp"
#include "morva/ifs/client.hpp"
#include "morva/secret.hpp"
#include "morva/server/time_limit.hpp"
#include "shared/clock.hpp"
#include "shared/connection_lock.hpp"
#include "shared/metadata_cache.hpp"
#include "shared/runtime.hpp"
#include "shared/stop_channel.hpp"
#include "winfsp/file_system_context.hpp"

namespace varlin::filesystem {

// The IBM i host servers' ports.
struct ServerPorts {
  std::uint16_t signon = 8476;
  std::uint16_t file = 8473;
  std::uint16_t command = 8475;
};

// Everything a mount is built from.
struct MountSettings {
  std::string host;
  std::string user;
  morva::Secret password;
  std::string remote_root;
  std::uint64_t max_file_size = 0;
  Lifetime cache_ttl{};
  ServerPorts ports{};
  // How long an exchange with the IBM i may make no progress before it fails as timed out.
  std::chrono::milliseconds time_limit = morva::server::kExchangeTimeLimit;
  RootEnvironment environment = RootEnvironment::of_process();
  MonotonicClock clock = steady_now;
  LostChangesSink lost_changes = write_to_standard_error;
  // Where a member's text is copied before each write-back, since a failed one can leave the member
  // empty on the IBM i (recovery_folder()).
  std::filesystem::path recovery_folder;
};

// A change the IBM i did not make: the status WinFsp is answered with, and why, in words for the user.
struct RemoteFailure {
  NtStatus status;
  std::string reason;
  // False when an answer that never came (a time-out, a dropped connection) leaves unknown what the
  // IBM i did with the object.
  bool answered = true;
};

// The file-system context of one mount: its runtime, its two IBM i connections, its remote root, its
// caches and its open files. WinFsp's dispatcher threads call it concurrently; the connections and the
// metadata cache are shared with the metadata pipe.
class IfsFileSystem final : public FileSystemContext<OpenFileRef> {
 public:
  // Signs on, opens both connections, reads the storage figures, checks the remote root and proves it
  // readable. Blocks the calling thread until done. Its release writes back every member still open
  // with unsaved changes before the connections close.
  static morva::Result<std::unique_ptr<IfsFileSystem>> connect(MountSettings settings);

  ~IfsFileSystem() override;

#ifdef _WIN32
  // Serves the mount's metadata pipe until `stop_metadata_pipe` or the context's release.
  morva::Result<void> start_metadata_pipe(std::uint32_t mount_id);
#endif
  // Tells the metadata pipe to stop; harmless when it has stopped already.
  void stop_metadata_pipe();

  // The metadata pipe stops and the stop channel, when there is a sender, gets one message.
  void dispatcher_stopped(bool normally) override;
  // Copies of every open member's text with unsaved changes, and of every replacement through another
  // name not done yet that would change its member; no lock held across an exchange with the IBM i is
  // taken.
  void keep_unsaved_texts() override;
  // The stop-channel sender that dispatcher_stopped uses; it replaces an earlier one.
  void set_stop_sender(StopSender sender);

  const std::string& remote_root() const {
    return remote_root_;
  }
  const std::string& volume_label() const {
    return volume_label_;
  }
  std::uint64_t max_file_size() const {
    return max_file_size_;
  }
  // Shared with the metadata pipe: a copy is a handle to the same entries.
  const MetadataCache& metadata_cache() const {
    return metadata_cache_;
  }

  // The WinFsp operations: names, opening, reading and listing.
  OperationResult<std::uint32_t> get_security_by_name(FileName name) override;
  OperationResult<OpenFileRef> open(FileName name, std::uint32_t create_options, std::uint32_t granted_access,
                                    winfsp::FSP_FSCTL_OPEN_FILE_INFO& info) override;
  OperationResult<void> get_file_info(const OpenFileRef& file, winfsp::FSP_FSCTL_FILE_INFO& info) override;
  OperationResult<std::uint32_t> read(const OpenFileRef& file, std::span<std::byte> buffer,
                                      std::uint64_t offset) override;
  OperationResult<std::uint32_t> read_directory(const OpenFileRef& file, std::optional<FileName> pattern,
                                                std::optional<FileName> marker,
                                                DirectoryBuffer& buffer) override;
  OperationResult<void> get_dir_info_by_name(const OpenFileRef& file, FileName name,
                                             winfsp::FSP_FSCTL_DIR_INFO& dir_info) override;

  // The WinFsp operations that change files or end their use.
  OperationResult<std::uint32_t> write(const OpenFileRef& file, std::span<const std::byte> data,
                                       std::uint64_t offset, bool write_to_end_of_file, bool constrained_io,
                                       winfsp::FSP_FSCTL_FILE_INFO& info) override;
  OperationResult<void> flush(const OpenFileRef& file, winfsp::FSP_FSCTL_FILE_INFO& info) override;
  // Writes back every open member with unsaved changes; the first failure's status.
  OperationResult<void> flush_volume() override;
  void cleanup(const OpenFileRef& file, std::uint32_t flags) override;
  void close(OpenFileRef file) override;
  OperationResult<OpenFileRef> create(FileName name, std::uint32_t create_options,
                                      std::uint32_t granted_access, std::uint64_t allocation_size,
                                      winfsp::FSP_FSCTL_OPEN_FILE_INFO& info) override;
  OperationResult<void> overwrite(const OpenFileRef& file, std::uint64_t allocation_size,
                                  winfsp::FSP_FSCTL_FILE_INFO& info) override;
  OperationResult<void> set_file_size(const OpenFileRef& file, std::uint64_t new_size,
                                      bool set_allocation_size, winfsp::FSP_FSCTL_FILE_INFO& info) override;
  OperationResult<void> set_basic_info(const OpenFileRef& file, std::uint64_t last_write_time,
                                       winfsp::FSP_FSCTL_FILE_INFO& info) override;
  OperationResult<void> set_delete(const OpenFileRef& file, bool delete_file) override;
  OperationResult<void> rename(const OpenFileRef& file, FileName new_name, bool replace_if_exists) override;

  // The remote path of a name as WinFsp passes it; a "." or ".." component or a '/' is invalid input.
  OperationResult<std::string> remote_path(FileName name) const;

  // Entries and listings, read through their caches.
  StatusResult<EntryInfo> lookup_entry(std::string_view path);
  StatusResult<std::vector<DirEntry>> list_directory(std::string_view path);
  void invalidate_path(std::string_view path);
  void invalidate_tree(std::string_view path);

  // Content transfer: every step runs one library operation under its connection's lock.
  StatusResult<std::string> load_content(std::string_view path, const std::optional<MemberLocation>& member);
  // A source member's text that is not UTF-8 is refused with STATUS_ILLEGAL_CHARACTER, unsent.
  StatusResult<void> store_content(std::string_view path, std::string_view bytes, bool create,
                                   bool overwrite);
  StatusResult<std::vector<std::uint8_t>> read_range(std::string_view path, std::uint64_t offset,
                                                     std::uint32_t length);
  StatusResult<std::uint64_t> write_range(std::string_view path, std::uint64_t offset,
                                          std::span<const std::uint8_t> bytes);
  // At the end of the file as the IBM i holds it, which other programs may have moved.
  StatusResult<morva::ifs::WrittenRange> append_range(std::string_view path,
                                                      std::span<const std::uint8_t> bytes);
  StatusResult<void> set_remote_size(std::string_view path, std::uint64_t size);
  StatusResult<void> create_directory(std::string_view path);
  StatusResult<void> remove_path(std::string_view path);
  // Asks the IBM i, not the caches.
  StatusResult<bool> directory_is_empty(std::string_view path);
  StatusResult<void> rename_path(std::string_view from, std::string_view to, bool replace);

  // The open files, for moving them along with a rename.
  OpenFileRef register_open_handle(OpenFile file);
  void retarget_open_handles(std::string_view from, std::string_view to);

  // The text of the member at the path, shared with its other open handles: loaded when none is open,
  // counted as held by one more handle under this path. The entry takes the text's size and time.
  StatusResult<std::shared_ptr<MemberText>> open_member_text(std::string_view path, EntryInfo& entry);
  // The size and time of the stream file at the path, shared with its other open handles: taken from
  // the entry when none is open, counted as held by one more handle. The entry takes them.
  std::shared_ptr<StreamFile> open_stream_file(std::string_view path, EntryInfo& entry);

  // Total and free bytes, asked of the IBM i at most once per cache lifetime.
  VolumeSize volume_space() override;

 private:
  IfsFileSystem(std::unique_ptr<Runtime> runtime, morva::ifs::IfsClient ifs,
                morva::command::CommandClient command, std::string remote_root, const MountSettings& settings,
                VolumeSpace space);

  // store_content with the reason of a failure, for the user to read when changes are lost.
  std::expected<void, RemoteFailure> store_content_or_reason(std::string_view path, std::string_view bytes,
                                                             bool create, bool overwrite);
  // remove_path with the reason of a failure, for the user to read when a delete did not happen.
  std::expected<void, RemoteFailure> remove_path_or_reason(std::string_view path);
  // The delete that WinFsp asks for at the last handle's Cleanup; what Windows cannot hear of it, the
  // user does.
  void delete_at_cleanup(OpenFile& file);

  // A copy on this computer of a text with unsaved changes, made unless one holds the text already.
  // The text's lock is held, as for the replacement's copy below.
  std::expected<void, RemoteFailure> keep_copy(MemberText& text);
  // A copy of a replacement's own text that would change the member, made unless one holds it already.
  void keep_copy(const MemberText& text, Replacement& replacement);
  // Copies of every open member's text with unsaved changes, and with `replacements` of the own texts
  // of replacements not done yet that would change a member, made without waiting for anything but the
  // disk.
  void keep_copies(bool replacements);
  // The member's text written back when it has unsaved changes, a copy of it kept on this computer
  // until the IBM i holds it. The text's exchange is held; its lock is not, nor taken while the IBM i
  // answers.
  std::expected<void, RemoteFailure> write_back(MemberText& text);
  // The last write-back a text gets, its exchange held; changes it cannot write back are lost, and the
  // user is told.
  void final_write_back(MemberText& text);
  // The handle is done (flush, cleanup, close), its own lock held: its replacement ends, and the member's
  // text goes back when it has unsaved changes. Closing, the handle lets the text go; the last one to do
  // so gives it its last write-back.
  std::expected<void, RemoteFailure> done_with(OpenFile& file, MemberText& text, bool closing);
  // The replacement through the handle is done: its own text, when it would change the member, is the
  // member's text from now on, and the handle works on the member's text again. The text's lock is held.
  void end_replacement(OpenFile& file, MemberText& text);
  // At the stop, the replacements whose handles were never done and whose own texts would change the
  // member: each is kept in a copy, and the user is told where. The text's lock is held.
  void report_pending_replacements(MemberText& text);
  // Every open file still held by WinFsp (or anyone), in registration order.
  std::vector<OpenFileRef> live_open_handles();
  // A write that failed part way may have changed the file: the handle takes its size from the IBM i,
  // asked again as the write dropped the cached entry.
  void refresh_size(OpenFile& file);
  // A new size for the file: its text cut or padded with spaces, or the remote file's size set.
  OperationResult<void> resize(OpenFile& file, std::uint64_t size, winfsp::FSP_FSCTL_FILE_INFO& info);

  // Runs one library operation under the connection's lock, blocking this thread (never one of the
  // runtime's) until it is done.
  template <typename Client, typename Operation>
  auto with_connection(const SharedConnection<Client>& connection, Operation operation);

  template <typename Operation>
  auto with_ifs(Operation operation) {
    return with_connection(ifs_, std::move(operation));
  }
  template <typename Operation>
  auto with_command(Operation operation) {
    return with_connection(command_, std::move(operation));
  }

  // The runtime is declared first so that it goes last: the destructor stops its threads before the
  // connections close, and the tasks it still holds are dropped with it.
  std::unique_ptr<Runtime> runtime_;
  SharedConnection<morva::ifs::IfsClient> ifs_;
  SharedConnection<morva::command::CommandClient> command_;
  std::string remote_root_;
  std::string volume_label_;
  Lifetime cache_ttl_;
  MonotonicClock clock_;
  LostChangesSink lost_changes_;
  TimedCache<EntryInfo> entries_;
  TimedCache<std::vector<DirEntry>> listings_;
  MetadataCache metadata_cache_;
  std::uint64_t max_file_size_;
  std::mutex volume_space_mutex_;
  VolumeSpace volume_space_;
  std::mutex open_handles_mutex_;
  std::vector<std::weak_ptr<SharedOpenFile>> open_handles_;
  // What the open handles of one object share, by its one spelling (object_key).
  SharedStates<MemberText> member_texts_;
  SharedStates<StreamFile> stream_files_;
  // Held shared by an open from its lookup until its handle is registered, and exclusively by a rename
  // from its remote step until the open files have moved: an open under the new path finds the shared
  // state that the rename moves there. Taken before any other lock.
  std::shared_mutex renames_;
  RecoveryCopies recovery_copies_;
  std::mutex pipe_shutdown_mutex_;
  std::optional<metadata_pipe::ShutdownSender> pipe_shutdown_;
  std::mutex stop_sender_mutex_;
  std::optional<StopSender> stop_sender_;
};

template <typename Client, typename Operation>
auto IfsFileSystem::with_connection(const SharedConnection<Client>& connection, Operation operation) {
  using Awaitable = std::invoke_result_t<Operation&, Client&>;
  using Value = typename Awaitable::value_type;
  return runtime_->block_on([](SharedConnection<Client> shared, Operation run) -> asio::awaitable<Value> {
    auto client = co_await shared->lock();
    co_return co_await run(*client);
  }(connection, std::move(operation)));
}

}  // namespace varlin::filesystem
