#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tarvik {

// Reads one JSON text (white space around it allowed), refusing what the JSON library alone lets
// through: a key given twice in one object, and arrays and objects nested deeper than `max_depth`.
std::optional<nlohmann::json> read_strict_json(std::string_view text, std::size_t max_depth);

}  // namespace tarvik
