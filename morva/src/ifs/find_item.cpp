#include "ifs/find_item.hpp"

namespace morva::ifs {

Result<std::optional<Item>> find_item(Packet packet, std::uint64_t start,
                                      const std::function<bool(const Item&)>& wanted) {
  std::optional<Item> found;
  auto walked = walk_items(packet, start, [&](const Item& item) -> Result<WalkStep> {
    if (!wanted(item)) return WalkStep::next;
    found = item;
    return WalkStep::stop;
  });
  if (!walked) return std::unexpected(walked.error());
  return found;
}

}  // namespace morva::ifs
