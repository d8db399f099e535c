#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "shared/keyed_hash.hpp"
#include "shared/path_text.hpp"
#include "shared/spellings.hpp"

namespace varlin::filesystem {

// Values by path, kept together by the object each path names (`object_key`): a lookup finds the
// value of its own spelling only, while dropping an object drops it under every spelling at once.
template <typename Value>
class SpellingMap {
 public:
  // The value stored under exactly this spelling, or none.
  Value* find(std::string_view path) {
    const auto object = objects_.find(object_key(path));
    if (object == objects_.end()) return nullptr;
    const auto spelling = std::ranges::find(object->second, path, &Spelling::path);
    return spelling == object->second.end() ? nullptr : &spelling->value;
  }

  void insert_or_assign(std::string path, Value value) {
    std::vector<Spelling>& spellings = objects_[object_key(path)];
    const auto spelling = std::ranges::find(spellings, path, &Spelling::path);
    if (spelling != spellings.end()) {
      spelling->value = std::move(value);
    } else {
      spellings.push_back(Spelling{std::move(path), std::move(value)});
    }
  }

  // Drops the value of this spelling; the object's other spellings keep theirs.
  void erase_spelling(std::string_view path) {
    const auto object = objects_.find(object_key(path));
    if (object == objects_.end()) return;
    std::erase_if(object->second, [path](const Spelling& spelling) { return spelling.path == path; });
    if (object->second.empty()) objects_.erase(object);
  }

  // Drops the object the path names, under every spelling.
  void erase_object(std::string_view path) {
    if (const auto object = objects_.find(object_key(path)); object != objects_.end()) objects_.erase(object);
  }

  // Drops the object and everything below it, under every spelling.
  void erase_at_or_below(std::string_view path) {
    const std::string top = object_key(path);
    std::erase_if(objects_, [&top](const auto& object) { return is_at_or_below(object.first, top); });
  }

  // Drops each spelling whose value the predicate picks; the object's other spellings keep theirs.
  template <typename Predicate>
  void erase_values_if(Predicate picks) {
    for (auto object = objects_.begin(); object != objects_.end();) {
      std::erase_if(object->second, [&picks](const Spelling& spelling) { return picks(spelling.value); });
      object = object->second.empty() ? objects_.erase(object) : std::next(object);
    }
  }

  // The spellings stored.
  std::size_t size() const {
    std::size_t spellings = 0;
    for (const auto& object : objects_) spellings += object.second.size();
    return spellings;
  }

 private:
  struct Spelling {
    std::string path;
    Value value;
  };

  std::unordered_map<std::string, std::vector<Spelling>, RandomlyKeyedHash, std::equal_to<>> objects_;
};

}  // namespace varlin::filesystem
