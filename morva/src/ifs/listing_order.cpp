#include "morva/ifs/listing_order.hpp"

#include "morva/ccsid/unicode_tables.hpp"
#include "morva/ccsid/utf8.hpp"

#include <algorithm>
#include <numeric>
#include <string>

namespace morva::ifs {

namespace {

std::string lower_case(std::string_view name) {
  return ccsid::map_code_points(name, ccsid::to_lower);
}

}  // namespace

bool listing_order(const IfsEntry& a, const IfsEntry& b) {
  return lower_case(a.name) < lower_case(b.name);
}

void sort_listing(std::vector<IfsEntry>& entries) {
  std::vector<std::string> keys;
  keys.reserve(entries.size());
  for (const auto& entry : entries) keys.push_back(lower_case(entry.name));
  std::vector<std::size_t> order(entries.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::ranges::stable_sort(order, [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  std::vector<IfsEntry> sorted;
  sorted.reserve(entries.size());
  for (const std::size_t index : order) sorted.push_back(std::move(entries[index]));
  entries = std::move(sorted);
}

}  // namespace morva::ifs
