#include "filesystem/status.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "morva/log.hpp"
#include "morva/server/remote_path.hpp"
#include "morva/server/resolve_remote_path.hpp"

namespace varlin::filesystem {

namespace {

// A file-server return code that the mount answers with a status of its own, and the phrase of the
// library's message for it.
struct KnownFailure {
  std::uint32_t return_code;
  std::string_view phrase;
  NtStatus status;
};

// Phrases are tried in this order; the first that occurs wins.
constexpr std::array<KnownFailure, 8> kKnownFailures = {{
    {2, "file not found", winfsp::kStatusObjectNameNotFound},
    {3, "path not found", winfsp::kStatusObjectPathNotFound},
    {4, "path already exists", winfsp::kStatusObjectNameCollision},
    {5, "access denied", winfsp::kStatusAccessDenied},
    {13, "request denied", winfsp::kStatusAccessDenied},
    {9, "directory is not empty", winfsp::kStatusDirectoryNotEmpty},
    {1, "file is in use", winfsp::kStatusSharingViolation},
    {32, "sharing violation", winfsp::kStatusSharingViolation},
}};

// A message's own words come before the values it names: a path or a quoted value never counts.
std::string_view own_words(std::string_view text) {
  return text.substr(0, text.find_first_of("/\\\""));
}

std::optional<NtStatus> known_status(const morva::Error& error) {
  if (const auto code = error.return_code()) {
    for (const auto& known : kKnownFailures)
      if (known.return_code == *code) return known.status;
    return std::nullopt;
  }
  const std::string_view words = own_words(error.text());
  for (const auto& known : kKnownFailures)
    if (words.find(known.phrase) != std::string_view::npos) return known.status;
  return std::nullopt;
}

// A text a source member cannot hold is the user's to change, not a fault of the network.
NtStatus status_of(morva::TextFault fault) {
  switch (fault) {
    case morva::TextFault::unmappable_character: return winfsp::kStatusUnmappableCharacter;
    case morva::TextFault::does_not_fit: return winfsp::kStatusInvalidParameter;
  }
  return winfsp::kStatusInvalidParameter;
}

}  // namespace

NtStatus map_ifs_error(const morva::Error& error) {
  const std::string& text = error.text();
  morva::log::debug(kLogTarget, "mapping IBM i IFS request error", {{"error", text}});
  if (const auto fault = error.text_fault()) {
    morva::log::error(kLogTarget, "IBM i source member cannot hold the text", {{"error", text}});
    return status_of(*fault);
  }
  if (const auto status = known_status(error)) return *status;
  morva::log::error(kLogTarget, "IBM i IFS request failed", {{"error", text}});
  return winfsp::kStatusUnexpectedNetworkError;
}

bool is_not_found(NtStatus status) {
  return status == winfsp::kStatusObjectNameNotFound || status == winfsp::kStatusObjectPathNotFound;
}

StatusResult<void> reject_source_member_path(std::string_view path) {
  // Every spelling of a member resolves to a path inside its source file, a member's text or not.
  if (morva::server::is_source_member_path(morva::server::resolve_remote_path(path)))
    return std::unexpected(winfsp::kStatusAccessDenied);
  return {};
}

}  // namespace varlin::filesystem
