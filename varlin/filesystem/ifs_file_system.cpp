#include "filesystem/ifs_file_system.hpp"

#include <asio/use_awaitable.hpp>

#include <algorithm>
#include <utility>

#include "filesystem/renamed_path.hpp"
#include "morva/command/sign_on.hpp"
#include "morva/log.hpp"
#include "morva/server/qsys_path.hpp"
#include "morva/server/resolve_remote_path.hpp"
#include "shared/spellings.hpp"

namespace varlin::filesystem {

namespace {

using morva::command::CommandClient;
using morva::ifs::IfsClient;

struct Connections {
  IfsClient ifs;
  CommandClient command;
  morva::command::SystemStorage storage;
};

// Signs on and opens both connections; the credentials, password included, are wiped when this ends.
asio::awaitable<morva::Result<Connections>> open_connections(const MountSettings& settings,
                                                             morva::Secret password) {
  const morva::server::ConnectionLimits limits{.time_limit = settings.time_limit};
  auto credentials = co_await morva::command::sign_on(settings.host, settings.ports.signon, settings.user,
                                                      std::move(password), limits);
  if (!credentials) co_return std::unexpected(credentials.error());
  auto ifs = co_await IfsClient::connect(settings.host, settings.ports.file, credentials->user,
                                         credentials->password, credentials->password_level, limits);
  if (!ifs) co_return std::unexpected(ifs.error());
  auto command = co_await CommandClient::connect(settings.host, settings.ports.command, *credentials, limits);
  if (!command) co_return std::unexpected(command.error());
  auto storage = co_await command->retrieve_system_storage();
  if (!storage) co_return std::unexpected(storage.error());
  co_return Connections{std::move(*ifs), std::move(*command), *storage};
}

}  // namespace

morva::Result<std::unique_ptr<IfsFileSystem>> IfsFileSystem::connect(MountSettings settings) {
  auto runtime = std::make_unique<Runtime>();
  auto connections = runtime->block_on(open_connections(settings, std::move(settings.password)));
  if (!connections) return std::unexpected(connections.error());

  auto root = normalize_remote_root(translate_remote_root(settings.remote_root, settings.environment));
  if (!root) return std::unexpected(root.error());

  // The root must be readable; its listing itself is not kept.
  auto listed = runtime->block_on(connections->ifs.list_directory(morva::server::resolve_remote_path(*root)));
  if (!listed) return std::unexpected(listed.error());

  const VolumeSpace space = volume_space_of(connections->storage, settings.clock());
  return std::unique_ptr<IfsFileSystem>(new IfsFileSystem(std::move(runtime), std::move(connections->ifs),
                                                          std::move(connections->command), std::move(*root),
                                                          settings, space));
}

IfsFileSystem::IfsFileSystem(std::unique_ptr<Runtime> runtime, IfsClient ifs, CommandClient command,
                             std::string remote_root, const MountSettings& settings, VolumeSpace space)
    : runtime_(std::move(runtime)),
      ifs_(std::make_shared<ConnectionLock<IfsClient>>(runtime_->executor(), std::move(ifs))),
      command_(std::make_shared<ConnectionLock<CommandClient>>(runtime_->executor(), std::move(command))),
      remote_root_(std::move(remote_root)),
      volume_label_(settings.host),
      cache_ttl_(settings.cache_ttl),
      clock_(settings.clock),
      lost_changes_(settings.lost_changes),
      entries_(settings.cache_ttl, settings.clock),
      listings_(settings.cache_ttl, settings.clock),
      metadata_cache_(settings.cache_ttl, settings.clock),
      max_file_size_(settings.max_file_size),
      volume_space_(space),
      recovery_copies_(settings.recovery_folder) {}

IfsFileSystem::~IfsFileSystem() {
  stop_metadata_pipe();
  // WinFsp closes no handle at unmount: members still open keep their changes until here. Windows ends
  // the process soon after it asks it to stop, however slow the IBM i is, so every text is copied first.
  keep_copies(true);
  const auto texts = member_texts_.live();
  // No operation can end a replacement now: one whose program was not done is never made, which the
  // user hears before any write-back waits on the IBM i.
  for (const auto& text : texts) {
    std::lock_guard lock(text->mutex);
    report_pending_replacements(*text);
  }
  for (const auto& text : texts) {
    std::lock_guard exchange(text->exchange);
    final_write_back(*text);
  }
  runtime_->shut_down();
}

void IfsFileSystem::stop_metadata_pipe() {
  std::optional<metadata_pipe::ShutdownSender> sender;
  {
    std::lock_guard lock(pipe_shutdown_mutex_);
    sender.swap(pipe_shutdown_);
  }
  if (sender) sender->send();
}

void IfsFileSystem::dispatcher_stopped(bool /*normally*/) {
  stop_metadata_pipe();
  std::lock_guard lock(stop_sender_mutex_);
  if (stop_sender_) stop_sender_->send();  // false once main stopped listening, which is fine
}

void IfsFileSystem::set_stop_sender(StopSender sender) {
  std::lock_guard lock(stop_sender_mutex_);
  stop_sender_.emplace(std::move(sender));
}

StatusResult<EntryInfo> IfsFileSystem::lookup_entry(std::string_view path) {
  if (path == remote_root_)
    return EntryInfo{.member = std::nullopt, .size = 0, .modified = 0, .is_directory = true};
  if (auto cached = entries_.fresh(path)) return std::move(*cached);

  std::optional<MemberLocation> member;
  if (auto parsed = morva::server::QsysMemberPath::parse(path))
    member = MemberLocation{std::move(parsed->library), std::move(parsed->file), std::move(parsed->path)};
  std::string asked = member ? member->path : morva::server::resolve_remote_path(path);
  auto found = with_ifs([&asked](IfsClient& client) { return client.stat(asked); });
  if (!found) return std::unexpected(map_ifs_error(found.error()));

  EntryInfo entry{.member = std::move(member),
                  .size = found->size,
                  .modified = found->modified,
                  .is_directory = found->kind == morva::ifs::kDirectoryKind};
  entries_.insert(std::string(path), entry);
  return entry;
}

VolumeSize IfsFileSystem::volume_space() {
  VolumeSpace known;
  {
    std::lock_guard lock(volume_space_mutex_);
    known = volume_space_;
  }
  if (is_fresh(known.fetched_at, clock_(), cache_ttl_)) return {known.total, known.free};

  auto storage = with_command([](CommandClient& client) { return client.retrieve_system_storage(); });
  if (!storage) {
    morva::log::debug(kLogTarget, "using cached IBM i storage capacity", {{"error", storage.error().text()}});
    return {known.total, known.free};
  }
  const VolumeSpace fetched = volume_space_of(*storage, clock_());
  std::lock_guard lock(volume_space_mutex_);
  volume_space_ = fetched;
  return {fetched.total, fetched.free};
}

OpenFileRef IfsFileSystem::register_open_handle(OpenFile file) {
  auto shared = std::make_shared<SharedOpenFile>(std::move(file));
  std::lock_guard lock(open_handles_mutex_);
  std::erase_if(open_handles_, [](const auto& handle) { return handle.expired(); });
  open_handles_.push_back(shared);
  return shared;
}

std::vector<OpenFileRef> IfsFileSystem::live_open_handles() {
  std::vector<OpenFileRef> live;
  std::lock_guard lock(open_handles_mutex_);
  std::erase_if(open_handles_, [](const auto& handle) { return handle.expired(); });
  for (const auto& handle : open_handles_)
    if (auto file = handle.lock()) live.push_back(std::move(file));
  return live;
}

OperationResult<void> IfsFileSystem::flush_volume() {
  keep_copies(false);
  OperationResult<void> flushed;
  for (const auto& text : member_texts_.live()) {
    std::lock_guard exchange(text->exchange);
    auto written = write_back(*text);
    if (!written && flushed) flushed = fail(written.error().status);
  }
  return flushed;
}

StatusResult<std::shared_ptr<MemberText>> IfsFileSystem::open_member_text(std::string_view path,
                                                                          EntryInfo& entry) {
  std::string key = object_key(path);
  for (;;) {
    auto text = member_texts_.find_or_add(key);
    // A text whose last handle is closing is written back first.
    std::lock_guard exchange(text->exchange);
    std::unique_lock lock(text->mutex);
    if (text->done) {
      member_texts_.forget(text);
      continue;
    }
    if (!text->loaded) {
      lock.unlock();
      auto loaded = load_content(path, entry.member);
      if (!loaded) return std::unexpected(loaded.error());
      lock.lock();
      text->text = std::move(*loaded);
      text->modified = entry.modified;
      text->path = std::move(key);
      text->loaded = true;
    }
    text->names.emplace(path);
    entry.size = text->text.size();
    entry.modified = text->modified;
    return text;
  }
}

std::shared_ptr<StreamFile> IfsFileSystem::open_stream_file(std::string_view path, EntryInfo& entry) {
  auto stream = stream_files_.find_or_add(object_key(path));
  std::lock_guard lock(stream->mutex);
  if (stream->handles == 0) {
    stream->size = entry.size;
    stream->modified = entry.modified;
  }
  ++stream->handles;
  entry.size = stream->size;
  entry.modified = stream->modified;
  return stream;
}

void IfsFileSystem::retarget_open_handles(std::string_view from, std::string_view to) {
  SharedStates<MemberText>::Moved moved_texts;
  SharedStates<StreamFile>::Moved moved_streams;
  for (const auto& handle : live_open_handles()) {
    std::lock_guard lock(handle->mutex);
    OpenFile& file = handle->file;
    auto moved = renamed_path(file.path, from, to);
    if (!moved) continue;
    morva::log::debug(kLogTarget, "updated open handle after rename",
                      {{"old_path", file.path}, {"new_path", *moved}});
    if (file.text) {
      std::lock_guard text_lock(file.text->mutex);
      file.text->drop_name(file.path);
      file.text->names.emplace(*moved);
      file.text->path = object_key(*moved);
      if (file.replacement) file.replacement->name = *moved;
      moved_texts.emplace_back(file.text->path, file.text);
    } else if (file.stream) {
      moved_streams.emplace_back(object_key(*moved), file.stream);
    }
    file.path = std::move(*moved);
  }
  member_texts_.rekey(std::move(moved_texts));
  stream_files_.rekey(std::move(moved_streams));
}

}  // namespace varlin::filesystem
