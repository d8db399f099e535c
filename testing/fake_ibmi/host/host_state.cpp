#include "fake_ibmi/host/host_state.hpp"

#include <algorithm>
#include <ostream>

namespace fake_ibmi {

std::string_view request_kind_name(RequestKind kind) {
  switch (kind) {
    case RequestKind::signon_attributes: return "signon_attributes";
    case RequestKind::signon_info: return "signon_info";
    case RequestKind::file_seeds: return "file_seeds";
    case RequestKind::file_start: return "file_start";
    case RequestKind::file_attributes: return "file_attributes";
    case RequestKind::list_attributes: return "list_attributes";
    case RequestKind::object_attributes: return "object_attributes";
    case RequestKind::open_file: return "open_file";
    case RequestKind::read_file: return "read_file";
    case RequestKind::write_file: return "write_file";
    case RequestKind::close_file: return "close_file";
    case RequestKind::truncate: return "truncate";
    case RequestKind::create_directory: return "create_directory";
    case RequestKind::delete_file: return "delete_file";
    case RequestKind::delete_directory: return "delete_directory";
    case RequestKind::rename: return "rename";
    case RequestKind::command_seeds: return "command_seeds";
    case RequestKind::command_start: return "command_start";
    case RequestKind::command_attributes: return "command_attributes";
    case RequestKind::member_description: return "member_description";
    case RequestKind::file_description: return "file_description";
    case RequestKind::object_description: return "object_description";
    case RequestKind::system_storage: return "system_storage";
    case RequestKind::call_program: return "call_program";
    case RequestKind::unknown_file_request: return "unknown_file_request";
    case RequestKind::unknown_command_request: return "unknown_command_request";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& out, const ServedRequest& request) {
  return out << request_kind_name(request.kind) << "(" << request.subject << ")";
}

std::optional<Fault> HostState::admit(Service service, RequestKind kind, std::string subject) {
  served.push_back({service, kind, std::move(subject)});
  if (silent) return Fault{.kind = kind, .return_code = std::nullopt, .close = false, .served_first = 0};
  const auto planned = std::ranges::find(faults, kind, &Fault::kind);
  if (planned == faults.end()) return std::nullopt;
  if (planned->served_first > 0) {
    --planned->served_first;
    return std::nullopt;
  }
  Fault fault = *planned;
  faults.erase(planned);
  return fault;
}

Seed HostState::new_seed() {
  Seed seed{};
  std::uint64_t value = random();
  for (auto& byte : seed) {
    byte = static_cast<std::uint8_t>(value);
    value >>= 8;
  }
  return seed;
}

}  // namespace fake_ibmi
