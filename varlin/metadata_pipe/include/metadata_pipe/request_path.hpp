#pragma once

#include <expected>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace varlin::metadata_pipe {

// A typed object in the library file system.
struct QsysObjectPath {
  std::string library;      // as written, without ".LIB"
  std::string object;       // the last component up to its first '.'
  std::string object_type;  // the text after its last '.', ASCII letters upper-cased

  friend bool operator==(const QsysObjectPath&, const QsysObjectPath&) = default;
};

// The remote path of a path relative to the mounted volume ('\' or '/' between components), or the
// reason it names no file inside the volume.
std::expected<std::string, std::string> resolve_request_path(std::string_view remote_root,
                                                             std::string_view path);

// "/QSYS.LIB/lib[.LIB]/name[.attribute].type", other than a library or a member.
std::optional<QsysObjectPath> parse_qsys_object_path(std::string_view path);

// The first name that the IBM i's description calls would cut, which would describe another object.
std::optional<std::string_view> first_overlong_name(std::initializer_list<std::string_view> names);

}  // namespace varlin::metadata_pipe
