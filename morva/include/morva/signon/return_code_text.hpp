#pragma once

#include <cstdint>
#include <string_view>

namespace morva::signon {

// What a sign-on information reply's return code means.
std::string_view return_code_text(std::uint32_t return_code);

}  // namespace morva::signon
