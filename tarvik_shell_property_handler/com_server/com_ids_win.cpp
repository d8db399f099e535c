#include "com_server/com_ids_win.hpp"

namespace tarvik {

bool is_null_reference(const void* address) {
  return address == nullptr;
}

}  // namespace tarvik
