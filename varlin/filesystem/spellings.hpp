#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "filesystem/path_text.hpp"

namespace varlin::filesystem {

// The keys under which the caches may hold one object. Inside /QSYS.LIB an object has many spellings:
// a library with or without ".LIB", a file with or without ".FILE", a member as "HELLO.MBR" or by its
// display name "HELLO.clp", a typed object as "HELLO.PGM" or "HELLO.clp.pgm", all in any ASCII case.
// Anywhere else a path is its only spelling.
class Spellings {
 public:
  explicit Spellings(std::string_view path);

  // The one key that names the object, when it has no other spelling.
  std::optional<std::string_view> only_key() const;
  bool names(std::string_view key) const;
  // Whether the key names the object or something below it.
  bool names_at_or_below(std::string_view key) const;

 private:
  std::string path_;
  std::optional<std::string> object_;
};

// The spelling that every spelling of an object inside /QSYS.LIB comes down to: its IFS path with the
// type suffixes, a member as "{member}.MBR", ASCII letters upper-cased. Nothing outside /QSYS.LIB.
std::optional<std::string> qsys_object_key(std::string_view path);

// Drops the entries of a map by path (an unordered_map with transparent lookup) under every spelling
// of the object.
template <typename Map>
void erase_spellings(Map& map, const Spellings& object) {
  if (const auto key = object.only_key()) {
    if (const auto found = map.find(*key); found != map.end()) map.erase(found);
    return;
  }
  std::erase_if(map, [&object](const auto& entry) { return object.names(entry.first); });
}

// Drops a map's entries at or below every spelling of the object.
template <typename Map>
void erase_spellings_at_or_below(Map& map, const Spellings& object) {
  std::erase_if(map, [&object](const auto& entry) { return object.names_at_or_below(entry.first); });
}

}  // namespace varlin::filesystem
