#pragma once

#include <cstdint>
#include <string>

#include "morva/secret.hpp"

namespace morva::signon {

// The result of signing on, lent to the file-service and remote-command connections.
struct SignonCredentials {
  std::string user;  // as the caller wrote it
  Secret password;   // UTF-8; zeroed when released
  std::uint8_t password_level = 0;
};

}  // namespace morva::signon
