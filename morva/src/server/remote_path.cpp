#include "morva/server/remote_path.hpp"

#include <algorithm>

#include "morva/ccsid/utf8.hpp"
#include "morva/server/path_text.hpp"

namespace morva::server {
namespace {

constexpr std::string_view kQsysPrefix = "/QSYS.LIB/";

}  // namespace

std::string normalize_remote_path(std::string_view path) {
  std::string normalized(ccsid::trim_white_space(path));
  std::ranges::replace(normalized, '\\', '/');
  if (!normalized.starts_with('/')) normalized.insert(0, 1, '/');
  const std::size_t last = normalized.find_last_not_of('/');
  normalized.resize(last == std::string::npos ? 1 : last + 1);
  return normalized;
}

Result<void> ensure_not_root(std::string_view normalized_path) {
  if (normalized_path == "/") return fail("refusing to modify the IFS root directory");
  return {};
}

bool is_source_member_path(std::string_view path) {
  if (path.size() < kQsysPrefix.size() ||
      !equals_ignore_ascii_case(path.substr(0, kQsysPrefix.size()), kQsysPrefix))
    return false;
  const std::string_view last = path.substr(path.rfind('/') + 1);
  return ends_with_ignore_ascii_case(last, kMemberSuffix);
}

}  // namespace morva::server
