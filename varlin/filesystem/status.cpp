#include "filesystem/status.hpp"

#include <array>
#include <string_view>
#include <utility>

#include "morva/log.hpp"
#include "morva/server/qsys_path.hpp"

namespace varlin::filesystem {

namespace {

// First match wins, in this order.
constexpr std::array<std::pair<std::string_view, NtStatus>, 8> kPhrases = {{
    {"file not found", winfsp::kStatusObjectNameNotFound},
    {"path not found", winfsp::kStatusObjectPathNotFound},
    {"path already exists", winfsp::kStatusObjectNameCollision},
    {"access denied", winfsp::kStatusAccessDenied},
    {"request denied", winfsp::kStatusAccessDenied},
    {"directory is not empty", winfsp::kStatusDirectoryNotEmpty},
    {"file is in use", winfsp::kStatusSharingViolation},
    {"sharing violation", winfsp::kStatusSharingViolation},
}};

}  // namespace

NtStatus map_ifs_error(const morva::Error& error) {
  const std::string& text = error.text();
  morva::log::debug(kLogTarget, "mapping IBM i IFS request error", {{"error", text}});
  for (const auto& [phrase, status] : kPhrases)
    if (text.find(phrase) != std::string::npos) return status;
  morva::log::error(kLogTarget, "IBM i IFS request failed", {{"error", text}});
  return winfsp::kStatusUnexpectedNetworkError;
}

StatusResult<void> reject_source_member_path(std::string_view path) {
  if (morva::server::QsysMemberPath::parse(path)) return std::unexpected(winfsp::kStatusAccessDenied);
  return {};
}

}  // namespace varlin::filesystem
