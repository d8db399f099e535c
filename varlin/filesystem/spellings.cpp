#include "filesystem/spellings.hpp"

#include "morva/server/path_text.hpp"
#include "morva/server/qsys_path.hpp"
#include "morva/server/resolve_remote_path.hpp"

namespace varlin::filesystem {

std::optional<std::string> qsys_object_key(std::string_view path) {
  if (!morva::server::is_in_qsys(path)) return std::nullopt;
  if (auto member = morva::server::QsysMemberPath::parse(path))
    return morva::server::ascii_upper(member->path);
  return morva::server::ascii_upper(morva::server::resolve_remote_path(path));
}

Spellings::Spellings(std::string_view path) : path_(path), object_(qsys_object_key(path)) {}

std::optional<std::string_view> Spellings::only_key() const {
  if (object_) return std::nullopt;
  return path_;
}

bool Spellings::names(std::string_view key) const {
  if (!object_) return key == path_;
  const auto other = qsys_object_key(key);
  return other && *other == *object_;
}

bool Spellings::names_at_or_below(std::string_view key) const {
  if (!object_) return is_at_or_below(key, path_);
  const auto other = qsys_object_key(key);
  return other && is_at_or_below(*other, *object_);
}

}  // namespace varlin::filesystem
