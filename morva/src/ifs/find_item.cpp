#include "ifs/find_item.hpp"

namespace morva::ifs {

Result<std::optional<Item>> find_item(Packet packet, std::uint64_t start,
                                      const std::function<bool(const Item&)>& wanted) {
  std::optional<Item> found;
  auto walked = walk_items(packet, start, [&](const Item& item) -> Result<void> {
    if (!wanted(item)) return {};
    found = item;
    return fail("item found");  // ends the walk
  });
  if (found) return found;
  if (!walked) return std::unexpected(walked.error());
  return std::optional<Item>{};
}

}  // namespace morva::ifs
