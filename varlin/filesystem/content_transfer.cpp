#include "filesystem/ifs_file_system.hpp"
#include "morva/ccsid/utf8.hpp"
#include "morva/server/qsys_path.hpp"
#include "morva/server/resolve_remote_path.hpp"

namespace varlin::filesystem {

namespace {

using morva::command::CommandClient;
using morva::ifs::IfsClient;

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A refusal of the IBM i, or an exchange that broke off before its answer came.
RemoteFailure remote_failure(const morva::Error& error) {
  return RemoteFailure{.status = map_ifs_error(error), .reason = error.text(), .answered = !error.is_io()};
}

}  // namespace

StatusResult<std::string> IfsFileSystem::load_content(std::string_view path,
                                                      const std::optional<MemberLocation>& member) {
  std::optional<std::uint64_t> record_length;
  if (member) {
    auto described = with_command([&member](CommandClient& client) {
      return client.retrieve_file_description(member->library, member->file);
    });
    if (!described) return std::unexpected(map_ifs_error(described.error()));
    record_length = described->record_length;
  }
  const std::string resolved = morva::server::resolve_remote_path(path);
  auto loaded = with_ifs([&](IfsClient& client) {
    return member ? client.read_source_member(member->path, max_file_size_, *record_length)
                  : client.read_file(resolved, max_file_size_);
  });
  if (!loaded) return std::unexpected(map_ifs_error(loaded.error()));
  return std::string(loaded->begin(), loaded->end());
}

StatusResult<void> IfsFileSystem::store_content(std::string_view path, std::string_view bytes, bool create,
                                                bool overwrite) {
  auto stored = store_content_or_reason(path, bytes, create, overwrite);
  if (!stored) return std::unexpected(stored.error().status);
  return {};
}

std::expected<void, RemoteFailure> IfsFileSystem::store_content_or_reason(std::string_view path,
                                                                          std::string_view bytes, bool create,
                                                                          bool overwrite) {
  morva::Result<void> stored;
  if (auto member = morva::server::QsysMemberPath::parse(path)) {
    if (!morva::ccsid::is_valid_utf8(bytes))
      return std::unexpected(RemoteFailure{winfsp::kStatusIllegalCharacter, "the text is not valid UTF-8"});
    auto described = with_command([&member](CommandClient& client) {
      return client.retrieve_file_description(member->library, member->file);
    });
    // Nothing about the member itself was sent yet: however this failed, the member is as it was.
    if (!described)
      return std::unexpected(RemoteFailure{map_ifs_error(described.error()), described.error().text()});
    // The library encodes the whole text as records before it opens the member for replacement, so a
    // text the member cannot hold leaves it as it was.
    stored = with_ifs([&](IfsClient& client) {
      return client.write_source_member(member->path, std::string(bytes), described->record_length);
    });
  } else {
    const std::string resolved = morva::server::resolve_remote_path(path);
    auto written = with_ifs(
        [&](IfsClient& client) { return client.write_file(resolved, bytes_of(bytes), create, overwrite); });
    if (!written) stored = std::unexpected(written.error());
  }
  if (!stored) return std::unexpected(remote_failure(stored.error()));
  invalidate_path(path);
  return {};
}

StatusResult<std::vector<std::uint8_t>> IfsFileSystem::read_range(std::string_view path, std::uint64_t offset,
                                                                  std::uint32_t length) {
  const std::string resolved = morva::server::resolve_remote_path(path);
  auto read = with_ifs([&](IfsClient& client) { return client.read_range(resolved, offset, length); });
  if (!read) return std::unexpected(map_ifs_error(read.error()));
  return std::move(*read);
}

StatusResult<std::uint64_t> IfsFileSystem::write_range(std::string_view path, std::uint64_t offset,
                                                       std::span<const std::uint8_t> bytes) {
  const std::string resolved = morva::server::resolve_remote_path(path);
  auto written = with_ifs([&](IfsClient& client) {
    return client.write(resolved, bytes,
                        morva::ifs::WriteOptions{.offset = offset, .create = false, .overwrite = true});
  });
  // Some chunks may have landed before a failure: either way the next look asks the IBM i.
  invalidate_path(path);
  if (!written) return std::unexpected(map_ifs_error(written.error()));
  return *written;
}

StatusResult<morva::ifs::WrittenRange> IfsFileSystem::append_range(std::string_view path,
                                                                   std::span<const std::uint8_t> bytes) {
  const std::string resolved = morva::server::resolve_remote_path(path);
  auto appended = with_ifs([&](IfsClient& client) { return client.append(resolved, bytes); });
  invalidate_path(path);
  if (!appended) return std::unexpected(map_ifs_error(appended.error()));
  return *appended;
}

StatusResult<void> IfsFileSystem::set_remote_size(std::string_view path, std::uint64_t size) {
  const std::string resolved = morva::server::resolve_remote_path(path);
  auto truncated = with_ifs([&](IfsClient& client) { return client.truncate(resolved, size); });
  if (!truncated) return std::unexpected(map_ifs_error(truncated.error()));
  invalidate_path(path);
  return {};
}

StatusResult<void> IfsFileSystem::create_directory(std::string_view path) {
  const std::string resolved = morva::server::resolve_remote_path(path);
  auto created = with_ifs([&](IfsClient& client) { return client.create_directory(resolved); });
  if (!created) return std::unexpected(map_ifs_error(created.error()));
  invalidate_path(path);
  return {};
}

StatusResult<void> IfsFileSystem::remove_path(std::string_view path) {
  auto removed = remove_path_or_reason(path);
  if (!removed) return std::unexpected(removed.error().status);
  return {};
}

std::expected<void, RemoteFailure> IfsFileSystem::remove_path_or_reason(std::string_view path) {
  const std::string resolved = morva::server::resolve_remote_path(path);
  auto removed = with_ifs([&](IfsClient& client) { return client.remove(resolved); });
  if (!removed) return std::unexpected(remote_failure(removed.error()));
  invalidate_tree(path);
  return {};
}

StatusResult<bool> IfsFileSystem::directory_is_empty(std::string_view path) {
  const std::string resolved = morva::server::resolve_remote_path(path);
  auto listed = with_ifs([&](IfsClient& client) { return client.list_directory(resolved); });
  if (!listed) return std::unexpected(map_ifs_error(listed.error()));
  return listed->empty();
}

StatusResult<void> IfsFileSystem::rename_path(std::string_view from, std::string_view to, bool replace) {
  const std::string resolved_from = morva::server::resolve_remote_path(from);
  const std::string resolved_to = morva::server::resolve_remote_path(to);
  auto renamed =
      with_ifs([&](IfsClient& client) { return client.rename(resolved_from, resolved_to, replace); });
  if (!renamed) return std::unexpected(map_ifs_error(renamed.error()));
  invalidate_tree(from);
  invalidate_tree(to);
  return {};
}

}  // namespace varlin::filesystem
