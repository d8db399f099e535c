#include "morva/ccsid/utf16.hpp"
#include "shared/environment.hpp"
#include "shared/windows_text_win.hpp"

namespace varlin {

std::optional<WipedWide> read_environment(const wchar_t* name) {
  WipedWide value(64);
  for (;;) {
    // An empty value and an unset variable both return 0; only the second sets ERROR_ENVVAR_NOT_FOUND.
    SetLastError(ERROR_SUCCESS);
    const DWORD needed = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (needed == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    if (needed < value.size()) {
      value.resize(needed);
      return value;
    }
    value.resize(needed);  // the value did not fit: `needed` counts its terminating NUL
  }
}

std::optional<std::string> process_environment_value(std::string_view name) {
  const std::optional<WipedWide> value = read_environment(to_wide(name).c_str());
  if (!value) return std::nullopt;
  std::string text;
  morva::ccsid::append_utf8_of_utf16(as_utf16(value->data(), value->size()), text);
  return text;
}

}  // namespace varlin
