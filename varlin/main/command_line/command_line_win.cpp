#include "main/command_line/command_line.hpp"
#include "main/console/console_output_win.hpp"
#include "main/exit_report.hpp"
#include "morva/ccsid/utf16.hpp"
#include "shared/environment.hpp"
#include "shared/windows_text_win.hpp"

// After <windows.h>, which it needs.
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>

namespace varlin {

namespace {

// Arguments and values reach the parser as UTF-8; a lone surrogate stays visible as invalid UTF-8.
std::string utf8_of(const wchar_t* text, std::size_t length) {
  std::string bytes;
  morva::ccsid::append_utf8_of_utf16(as_utf16(text, length), bytes);
  return bytes;
}

std::vector<std::string> process_arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {"varlin"};
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(utf8_of(wide[i], std::wcslen(wide[i])));
  LocalFree(wide);
  return arguments;
}

}  // namespace

Args Args::parse() {
  const std::vector<std::string> arguments = process_arguments();
  auto result = parse_command_line(arguments, process_environment_value);
  if (auto* args = std::get_if<Args>(&result)) return std::move(*args);

  const auto& exit = std::get<CommandLineExit>(result);
  if (exit.exit_code != kExitSuccess) {
    // An error that cannot be shown keeps its exit code: there is nothing better to say.
    static_cast<void>(write_standard_error(exit.text));
    std::exit(exit.exit_code);
  }
  if (auto written = write_standard_output(exit.text); !written) {
    static_cast<void>(write_standard_error(error_report(written.error())));
    std::exit(kExitInternalFault);
  }
  std::exit(kExitSuccess);
}

}  // namespace varlin
