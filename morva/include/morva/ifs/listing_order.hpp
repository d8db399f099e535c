#pragma once

#include "morva/ifs/entry.hpp"

#include <vector>

namespace morva::ifs {

// Names compare lower-cased (Unicode simple lower case) as UTF-8 bytes; a name that is a prefix of
// another comes first.
bool listing_order(const IfsEntry& a, const IfsEntry& b);

// Sorts in listing order; names that compare equal keep the server's order.
void sort_listing(std::vector<IfsEntry>& entries);

}  // namespace morva::ifs
