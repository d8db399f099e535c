#include "main/console/console_input.hpp"

#include "morva/ccsid/utf8.hpp"

namespace varlin {

namespace {

constexpr std::string_view kUserProfilePrompt = "IBM i user profile: ";

bool is_stop(std::string_view line) {
  constexpr std::string_view kStop = "stop";
  const std::string_view word = morva::ccsid::trim_white_space(line);
  if (word.size() != kStop.size()) return false;
  for (std::size_t i = 0; i < kStop.size(); ++i) {
    const char c = word[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kStop[i]) return false;
  }
  return true;
}

}  // namespace

morva::Result<std::string> resolve_user_profile(const Args& args, LineReader& input,
                                                const PromptWriter& prompt) {
  if (args.user) {
    const std::string_view given = morva::ccsid::trim_white_space(*args.user);
    if (!given.empty()) return std::string{given};
  }
  for (;;) {
    if (auto written = prompt(kUserProfilePrompt); !written) return std::unexpected(written.error());
    std::string line;
    auto count = input.read_line(line);
    if (!count) return std::unexpected(count.error());
    if (*count == 0)
      return std::unexpected(morva::Error::io(morva::IoErrorKind::unexpected_eof,
                                              "standard input ended before a user profile was given"));
    const std::string_view profile = morva::ccsid::trim_white_space(line);
    if (!profile.empty()) return std::string{profile};
  }
}

void stdin_stop_reader(StopSender sender, LineReader& input) {
  std::string line;
  for (;;) {
    line.clear();
    auto count = input.read_line(line);
    if (!count || *count == 0) return;
    if (is_stop(line)) {
      sender.send();
      return;
    }
  }
}

}  // namespace varlin
