// The name of a copy of a member's text: the file's path on the drive with the time it was made before
// its extension, "QSYS.LIB/MYLIB.LIB/QCLSRC/HELLO.2026-05-01T08-09-10.123456Z.clp".
#pragma once

#include <gmock/gmock.h>

#include <regex>
#include <string>

namespace varlin::filesystem {

// `stem` and `extension` are regular expressions (ECMAScript, the same on every platform).
MATCHER_P2(IsCopyName, stem, extension, "") {
  static_cast<void>(result_listener);
  const std::regex name(std::string(stem) + R"(\.\d{4}-\d\d-\d\dT\d\d-\d\d-\d\d\.\d{6}Z)" +
                        std::string(extension));
  return std::regex_match(std::string(arg), name);
}

}  // namespace varlin::filesystem
