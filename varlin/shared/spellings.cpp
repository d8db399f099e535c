#include "shared/spellings.hpp"

#include <algorithm>

#include "morva/ccsid/unicode_tables.hpp"
#include "morva/ccsid/utf8.hpp"
#include "morva/server/path_text.hpp"
#include "morva/server/qsys_path.hpp"
#include "morva/server/resolve_remote_path.hpp"

namespace varlin::filesystem {

namespace {

// The file system in which names that differ in case name different objects.
constexpr std::string_view kCaseSensitiveRoot = "/qopensys";

std::string case_folded(std::string_view text) {
  return morva::ccsid::map_code_points(text, morva::ccsid::fold_case);
}

}  // namespace

std::string object_key(std::string_view path) {
  if (morva::server::is_in_qsys(path)) {
    if (auto member = morva::server::QsysMemberPath::parse(path))
      return morva::server::ascii_upper(member->path);
    return morva::server::ascii_upper(morva::server::resolve_remote_path(path));
  }
  // The root's own names ignore case, "QOpenSys" among them; below it every letter counts.
  const std::size_t first_end = std::min(path.find('/', 1), path.size());
  std::string first = case_folded(path.substr(0, first_end));
  if (first == kCaseSensitiveRoot) return first.append(path.substr(first_end));
  return first.append(case_folded(path.substr(first_end)));
}

}  // namespace varlin::filesystem
