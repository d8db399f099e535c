#include "morva/signon/return_code_text.hpp"

namespace morva::signon {

std::string_view return_code_text(std::uint32_t return_code) {
  switch (return_code) {
    case 0x00000000: return "sign-on successful";
    case 0x00020001: return "user profile is unknown";
    case 0x00020002: return "user profile is revoked";
    case 0x0003000B: return "password or passphrase is incorrect";
    case 0x0003000C: return "profile will be revoked after the next invalid password";
    case 0x0003000D: return "password or passphrase is correct but expired";
    case 0x00030010: return "password is *NONE";
    default: return "unrecognized sign-on return code";
  }
}

}  // namespace morva::signon
