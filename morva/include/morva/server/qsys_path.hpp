#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morva::server {

// A source member under "/QSYS.LIB", from its IFS path or its display name.
struct QsysMemberPath {
  std::string library;  // as written, without ".LIB"
  std::string file;     // as written, without ".FILE"
  std::string member;   // with the CCSID 277 variants of '#', '@' and '$' folded to those characters
  std::string path;     // "/QSYS.LIB/{library}.LIB/{file}.FILE/{member}.MBR"

  // Accepts "/QSYS.LIB/lib[.LIB]/file[.FILE]/member(.MBR|.type)" in any ASCII case, '\' or '/'.
  static std::optional<QsysMemberPath> parse(std::string_view path);

  friend bool operator==(const QsysMemberPath&, const QsysMemberPath&) = default;
};

// A database file under "/QSYS.LIB".
struct QsysFilePath {
  std::string library;  // as written, without ".LIB"
  std::string file;     // as written, without ".FILE"

  // Accepts "/QSYS.LIB/lib[.LIB]/file[.FILE]" in any ASCII case, '\' or '/'.
  static std::optional<QsysFilePath> parse(std::string_view path);

  friend bool operator==(const QsysFilePath&, const QsysFilePath&) = default;
};

// The component without its suffix (ASCII case ignored); a component without any '.' may omit the
// suffix. The result is a part of the component.
std::optional<std::string_view> strip_suffix_ignore_case(std::string_view component, std::string_view suffix);

}  // namespace morva::server
