#include "morva/server/remote_path.hpp"

#include <algorithm>
#include <vector>

#include "morva/ccsid/utf8.hpp"
#include "morva/server/path_text.hpp"

namespace morva::server {
namespace {

// The steps of a path as the IBM i follows them: empty and "." steps are none, ".." goes back one.
std::vector<std::string_view> followed_steps(std::string_view path) {
  std::vector<std::string_view> steps;
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view step = path.substr(start, end - start);
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
    start = end + 1;
  }
  return steps;
}

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
  if (path.ends_with('/')) return false;
  const auto steps = followed_steps(path);
  if (steps.size() < 2 || !is_qsys_root(steps.front())) return false;
  // A database file holds members only, and only members are named *.MBR.
  return ends_with_ignore_ascii_case(steps.back(), kMemberSuffix) ||
         (steps.size() > 3 && ends_with_ignore_ascii_case(steps[2], kFileSuffix));
}

}  // namespace morva::server
