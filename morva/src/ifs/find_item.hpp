#pragma once

#include "morva/ifs/packet.hpp"
#include "morva/ifs/reply_fields.hpp"

#include <functional>
#include <optional>

namespace morva::ifs {

// The first item from `start` that `wanted` accepts; the walk ends there, so the items behind it are
// not examined. Nothing when no item is accepted.
Result<std::optional<Item>> find_item(Packet packet, std::uint64_t start,
                                      const std::function<bool(const Item&)>& wanted);

}  // namespace morva::ifs
