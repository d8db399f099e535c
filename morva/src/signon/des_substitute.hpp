#pragma once

#include <cstdint>
#include <string_view>

#include "morva/error.hpp"
#include "morva/secret.hpp"
#include "morva/signon/exchange_attributes.hpp"

namespace morva::signon {

// The 8-byte substitute of password levels 0 and 1.
Result<Secret> des_substitute(std::string_view user, const Secret& password, std::uint64_t client_seed,
                              const Seed& server_seed);

}  // namespace morva::signon
