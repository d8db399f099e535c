#pragma once

#include <string>
#include <string_view>
#include <vector>

// Byte-wise text helpers of the path model: only A-Z and a-z fold, so a non-ASCII byte matches itself
// alone.
namespace morva::server {

inline constexpr std::string_view kQsysRoot = "QSYS.LIB";
inline constexpr std::string_view kLibrarySuffix = ".LIB";
inline constexpr std::string_view kFileSuffix = ".FILE";
inline constexpr std::string_view kMemberSuffix = ".MBR";

std::string ascii_lower(std::string_view text);
std::string ascii_upper(std::string_view text);
bool equals_ignore_ascii_case(std::string_view a, std::string_view b);
bool ends_with_ignore_ascii_case(std::string_view text, std::string_view suffix);

// The non-empty components of a path, cut at every '/' and '\'.
std::vector<std::string_view> path_components(std::string_view path);

// True when the component names the library file system's root, "QSYS.LIB" in any case.
bool is_qsys_root(std::string_view component);
// True when the path's first component is the library file system's root.
bool is_in_qsys(std::string_view path);

}  // namespace morva::server
