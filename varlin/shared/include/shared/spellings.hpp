#pragma once

#include <string>
#include <string_view>

namespace varlin::filesystem {

// The key that every spelling of one object comes down to, as the IBM i resolves names. Inside
// /QSYS.LIB an object has many spellings: a library with or without ".LIB", a file with or without
// ".FILE", a member as "HELLO.MBR" or by its display name "HELLO.clp", a typed object as "HELLO.PGM" or
// "HELLO.clp.pgm", all in any ASCII case; the key is its IFS path with the type suffixes, ASCII letters
// upper-cased. Below /QOpenSys case counts, and the key is the path as it is. Anywhere else names
// ignore case: the key is the path case-folded (Unicode simple case folding).
std::string object_key(std::string_view path);

}  // namespace varlin::filesystem
