#include <fmt/format.h>

#include <algorithm>
#include <ranges>

#include "filesystem/ifs_file_system.hpp"
#include "morva/command/program_call.hpp"
#include "morva/log.hpp"
#include "morva/server/display_name.hpp"
#include "morva/server/path_text.hpp"
#include "morva/server/qsys_path.hpp"
#include "morva/server/resolve_remote_path.hpp"

namespace varlin::filesystem {

namespace {

using morva::command::CommandClient;
using morva::ifs::IfsClient;
using morva::ifs::IfsEntry;

// The library of a directory "/QSYS.LIB/lib[.LIB]", whose entries are typed objects.
std::optional<std::string> library_of(std::string_view directory) {
  const auto components = morva::server::path_components(directory);
  if (components.size() != 2 || !morva::server::is_qsys_root(components[0])) return std::nullopt;
  return std::string(library_name(components[1]));
}

struct ObjectName {
  std::string object;
  std::string type;  // ASCII letters upper-cased
};

// "name.type" of a listed library entry; libraries and members are no typed objects.
std::optional<ObjectName> object_name_of(const IfsEntry& entry) {
  const auto dot = entry.name.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string type = morva::server::ascii_upper(std::string_view(entry.name).substr(dot + 1));
  if (type == "LIB" || type == "MBR") return std::nullopt;
  return ObjectName{entry.name.substr(0, dot), std::move(type)};
}

}  // namespace

StatusResult<std::vector<DirEntry>> IfsFileSystem::list_directory(std::string_view path) {
  if (auto cached = listings_.fresh(path)) return std::move(*cached);

  const std::string resolved = morva::server::resolve_remote_path(path);
  auto listed = with_ifs([&resolved](IfsClient& client) { return client.list_directory(resolved); });
  if (!listed) return std::unexpected(map_ifs_error(listed.error()));

  // Inside a source file each member gets its description; inside a library each object its own.
  const auto source_file = morva::server::QsysFilePath::parse(path);
  std::uint64_t record_length = 0;
  if (source_file) {
    auto described = with_command([&source_file](CommandClient& client) {
      return client.retrieve_file_description(source_file->library, source_file->file);
    });
    if (!described) return std::unexpected(map_ifs_error(described.error()));
    record_length = described->record_length;
  }
  const auto library = source_file ? std::nullopt : library_of(path);

  std::vector<DirEntry> entries;
  entries.reserve(listed->size());
  std::vector<std::string> paths;
  paths.reserve(listed->size());
  for (IfsEntry& listed_entry : *listed) {
    std::optional<MemberLocation> member;
    if (source_file && listed_entry.name.size() >= 4 && listed_entry.name.ends_with(".MBR")) {
      const std::string stem = listed_entry.name.substr(0, listed_entry.name.size() - 4);
      // The description programs cannot be asked about a member such as A.B: the rest of the file
      // lists without it.
      if (!morva::command::is_api_name(stem)) {
        morva::log::warn(kLogTarget, "leaving out of the listing an IBM i member the APIs cannot name",
                         {{"path", join_path(resolved, listed_entry.name)}});
        continue;
      }
      auto described = with_command([&source_file, &stem](CommandClient& client) {
        return client.retrieve_member_description(source_file->library, source_file->file, stem);
      });
      if (!described) return std::unexpected(map_ifs_error(described.error()));
      listed_entry.member = described->member;
      listed_entry.source_type = described->source_type;
      if (listed_entry.ccsid)
        listed_entry.member_info = morva::ifs::SourceMemberInfo{.library = source_file->library,
                                                                .source_file = source_file->file,
                                                                .member = described->member,
                                                                .source_type = described->source_type,
                                                                .description = described->description,
                                                                .record_length = record_length,
                                                                .ccsid = *listed_entry.ccsid};
      member =
          MemberLocation{source_file->library, source_file->file, fmt::format("{}/{}.MBR", resolved, stem)};
    } else if (library && listed_entry.kind != morva::ifs::kDirectoryKind) {
      if (auto object = object_name_of(listed_entry)) {
        auto described = with_command([&library, &object](CommandClient& client) {
          return client.retrieve_object_description(*library, object->object, object->type);
        });
        if (described) {
          listed_entry.description = described->description;
          listed_entry.object = std::move(*described);
        } else if (described.error().program_return_code()) {
          // Users often lack authority to some objects of a library: those are listed as they are.
          morva::log::warn(
              kLogTarget, "listing IBM i object without its description",
              {{"path", join_path(resolved, listed_entry.name)}, {"error", described.error().text()}});
        } else {
          return std::unexpected(map_ifs_error(described.error()));
        }
      }
    }

    std::string name = morva::server::display_name(path, listed_entry);
    std::string entry_path = join_path(path, name);
    metadata_cache_.fill_from_listing(entry_path, resolved, listed_entry.name, listed_entry);
    paths.push_back(std::move(entry_path));
    entries.push_back(
        DirEntry{.name = std::move(name),
                 .entry = EntryInfo{.member = std::move(member),
                                    .size = listed_entry.size,
                                    .modified = listed_entry.modified,
                                    .is_directory = listed_entry.kind == morva::ifs::kDirectoryKind}});
  }

  metadata_cache_.touch(paths);
  entries_.insert_all(std::views::iota(std::size_t{0}, entries.size()),
                      [&](std::size_t i) { return std::pair(paths[i], entries[i].entry); });
  listings_.insert(std::string(path), entries);
  return entries;
}

void IfsFileSystem::invalidate_path(std::string_view path) {
  metadata_cache_.remove(path);
  entries_.remove(path);
  listings_.remove(path);
  listings_.remove(parent_path(path));
}

void IfsFileSystem::invalidate_tree(std::string_view path) {
  metadata_cache_.invalidate_tree(path);
  entries_.remove_at_or_below(path);
  listings_.remove_at_or_below(path);
  listings_.remove(parent_path(path));
}

}  // namespace varlin::filesystem
