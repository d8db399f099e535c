#pragma once

#include <string>
#include <string_view>

namespace varlin::filesystem {

// A name of a path (UTF-8) spelled so that Windows makes a file or folder of that name on the disk: a
// name Windows keeps for a device (CON, PRN, AUX, NUL, or COM or LPT and a digit, superscript ones too;
// in any case, alone or before a dot) has its first character escaped, and so has each character a
// Windows name cannot hold and a last dot or space, which Windows drops. An escape is '%' and the byte in two
// hex digits: "CON.LIB" is "%43ON.LIB", "a:b" is "a%3Ab", ".." is ".%2E". Every other name stays as it is.
std::string windows_name(std::string_view name);

}  // namespace varlin::filesystem
