#include "morva/server/qsys_path.hpp"

#include <fmt/format.h>

#include "morva/server/path_text.hpp"

namespace morva::server {
namespace {

struct LibraryAndFile {
  std::string_view library;
  std::string_view file;
};

// The shared first steps: the QSYS.LIB root, a library and a file, then `extra` further components.
std::optional<LibraryAndFile> parse_library_and_file(const std::vector<std::string_view>& components,
                                                     std::size_t extra) {
  if (components.size() != 3 + extra || !is_qsys_root(components[0])) return std::nullopt;
  const auto library = strip_suffix_ignore_case(components[1], kLibrarySuffix);
  const auto file = strip_suffix_ignore_case(components[2], kFileSuffix);
  if (!library || !file) return std::nullopt;
  return LibraryAndFile{*library, *file};
}

// The member of an IFS name ("HELLO.MBR") or of a display name ("hello.clp").
std::string_view member_name(std::string_view component) {
  if (ends_with_ignore_ascii_case(component, kMemberSuffix))
    return component.substr(0, component.size() - kMemberSuffix.size());
  const std::size_t dot = component.rfind('.');
  return dot == std::string_view::npos ? component : component.substr(0, dot);
}

// CCSID 277 holds these letters where CCSID 37 has '#', '@' and '$'; in UTF-8 each is 0xC3 and one
// byte, and 0xC3 never continues another character.
constexpr char kLatinLead = '\xC3';

std::optional<char> national_variant(char second) {
  switch (second) {
    case '\x86':
    case '\xA6': return '#';  // Æ æ
    case '\x98':
    case '\xB8': return '@';  // Ø ø
    case '\x85':
    case '\xA5': return '$';  // Å å
    default: return std::nullopt;
  }
}

std::string fold_national_variants(std::string_view member) {
  std::string folded;
  folded.reserve(member.size());
  for (std::size_t i = 0; i < member.size(); ++i) {
    const auto replacement =
        member[i] == kLatinLead && i + 1 < member.size() ? national_variant(member[i + 1]) : std::nullopt;
    if (replacement) {
      folded += *replacement;
      ++i;
    } else {
      folded += member[i];
    }
  }
  return folded;
}

}  // namespace

std::optional<std::string_view> strip_suffix_ignore_case(std::string_view component,
                                                         std::string_view suffix) {
  if (ends_with_ignore_ascii_case(component, suffix))
    return component.substr(0, component.size() - suffix.size());
  if (component.find('.') == std::string_view::npos) return component;
  return std::nullopt;
}

std::optional<QsysMemberPath> QsysMemberPath::parse(std::string_view path) {
  const auto components = path_components(path);
  const auto parent = parse_library_and_file(components, 1);
  if (!parent) return std::nullopt;
  QsysMemberPath result{std::string(parent->library),
                        std::string(parent->file),
                        fold_national_variants(member_name(components[3])),
                        {}};
  result.path = fmt::format("/QSYS.LIB/{}.LIB/{}.FILE/{}.MBR", result.library, result.file, result.member);
  return result;
}

std::optional<QsysFilePath> QsysFilePath::parse(std::string_view path) {
  const auto parsed = parse_library_and_file(path_components(path), 0);
  if (!parsed) return std::nullopt;
  return QsysFilePath{std::string(parsed->library), std::string(parsed->file)};
}

}  // namespace morva::server
