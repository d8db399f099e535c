#include "main/console/console_input.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

namespace varlin {
namespace {

// Hands out its chunks one read at a time, then end of input or a read error.
class ScriptedSource : public ByteSource {
 public:
  explicit ScriptedSource(std::vector<std::string> chunks, bool fail_at_end = false)
      : chunks_(chunks.begin(), chunks.end()), fail_at_end_(fail_at_end) {}

  morva::Result<std::size_t> read(std::span<char> buffer) override {
    if (chunks_.empty()) {
      if (fail_at_end_) return std::unexpected(morva::Error::io(morva::IoErrorKind::other, "read failed"));
      return 0;
    }
    std::string& chunk = chunks_.front();
    const std::size_t count = std::min(buffer.size(), chunk.size());
    std::copy_n(chunk.begin(), count, buffer.begin());
    chunk.erase(0, count);
    if (chunk.empty()) chunks_.pop_front();
    return count;
  }

 private:
  std::deque<std::string> chunks_;
  bool fail_at_end_;
};

struct Prompts {
  int count = 0;
  std::string text;
  bool fail = false;

  PromptWriter writer() {
    return [this](std::string_view shown) -> morva::Result<void> {
      ++count;
      text += shown;
      if (fail) return std::unexpected(morva::Error::io(morva::IoErrorKind::write_zero, "flush failed"));
      return {};
    };
  }
};

Args args_with_user(std::optional<std::string> user) {
  Args args;
  args.user = std::move(user);
  return args;
}

TEST(UserProfile, ComesFromTheOptionOrFromTheFirstNonBlankLine) {
  struct Case {
    std::optional<std::string> user;
    std::vector<std::string> input;
    std::string expected;
    int prompts;
  };
  const std::vector<Case> cases = {
      {"  QSECOFR\t", {}, "QSECOFR", 0},
      {"dev", {"ignored\n"}, "dev", 0},
      {std::nullopt, {"  dev1\r\n"}, "dev1", 1},
      {"", {"dev2\n"}, "dev2", 1},
      {" \t ", {"\n", "   \r\n", "\t\n", "dev3"}, "dev3", 4},
      {std::nullopt, {"de", "v4\nnext\n"}, "dev4", 1},
      {std::nullopt, {"\u3000D\u00C9V\u3000\n"}, "D\u00C9V", 1},
  };
  for (const Case& test : cases) {
    ScriptedSource source(test.input);
    LineReader input(source);
    Prompts prompts;
    const auto profile = resolve_user_profile(args_with_user(test.user), input, prompts.writer());
    ASSERT_TRUE(profile.has_value()) << test.expected << ": " << profile.error().text();
    EXPECT_EQ(*profile, test.expected);
    EXPECT_EQ(prompts.count, test.prompts) << test.expected;
    if (test.prompts > 0) {
      EXPECT_TRUE(prompts.text.starts_with("IBM i user profile: "));
    }
  }
}

TEST(UserProfile, EndOfInputAndReadFailuresAreErrors) {
  struct Case {
    std::vector<std::string> input;
    bool fail_at_end;
    morva::IoErrorKind kind;
  };
  const std::vector<Case> cases = {
      {{}, false, morva::IoErrorKind::unexpected_eof},
      {{"\n", "  \n"}, false, morva::IoErrorKind::unexpected_eof},
      {{"\n"}, true, morva::IoErrorKind::other},
      {{"d\xFF\n"}, false, morva::IoErrorKind::invalid_data},
  };
  for (const Case& test : cases) {
    ScriptedSource source(test.input, test.fail_at_end);
    LineReader input(source);
    Prompts prompts;
    const auto profile = resolve_user_profile(args_with_user(std::nullopt), input, prompts.writer());
    ASSERT_FALSE(profile.has_value());
    EXPECT_EQ(profile.error().io_kind(), test.kind);
    EXPECT_LE(prompts.count, static_cast<int>(test.input.size()) + 1);
  }
}

TEST(UserProfile, FailedPromptIsReturnedBeforeReading) {
  ScriptedSource source({"dev\n"});
  LineReader input(source);
  Prompts prompts;
  prompts.fail = true;
  const auto profile = resolve_user_profile(args_with_user(std::nullopt), input, prompts.writer());
  ASSERT_FALSE(profile.has_value());
  EXPECT_EQ(profile.error().io_kind(), morva::IoErrorKind::write_zero);
  std::string left;
  ASSERT_TRUE(input.read_line(left).has_value());
  EXPECT_EQ(left, "dev\n");
}

// Runs the reader on `input` with the channel's only sender; true when it sent a stop message.
bool reader_sends_stop(LineReader& input) {
  StopChannel channel = StopChannel::create();
  stdin_stop_reader(std::move(channel.sender), input);
  return channel.receiver.wait().has_value();
}

TEST(StopReader, SendsOnceForTheLineStop) {
  const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
      {{"stop\n"}, true},
      {{"STOP\r\n"}, true},
      {{"Stop\n"}, true},
      {{" \tstop \t\n"}, true},
      {{"st", "op"}, true},
      {{"stop now\n", "stopp\n", "s top\n", "   \n", "\n", "stop\n"}, true},
      {{"stop now\n", "stopp\n", "s top\n", "   \n", "\n"}, false},
      {{}, false},
      {{"st\xC3\n", "stop\n"}, false},
      {{"\u00A0stop\u2003\n"}, true},
      {{"\u017Ftop\n"}, false},
  };
  for (const auto& [chunks, sends] : cases) {
    ScriptedSource source(chunks);
    LineReader input(source);
    EXPECT_EQ(reader_sends_stop(input), sends) << testing::PrintToString(chunks);
  }
}

TEST(StopReader, ReadsTheLinesThatFollowTheUserProfile) {
  ScriptedSource source({"dev\nstop\nafter\n"});
  LineReader input(source);
  Prompts prompts;
  const auto profile = resolve_user_profile(args_with_user(std::nullopt), input, prompts.writer());
  ASSERT_TRUE(profile.has_value());
  EXPECT_EQ(*profile, "dev");
  EXPECT_TRUE(reader_sends_stop(input));
  std::string rest;
  ASSERT_TRUE(input.read_line(rest).has_value());
  EXPECT_EQ(rest, "after\n");
}

TEST(LineReader, KeepsLineEndsAndJoinsChunks) {
  ScriptedSource source({"one\r\ntw", "o\n\nthr", "ee"});
  LineReader input(source);
  std::vector<std::string> lines;
  for (;;) {
    std::string line;
    const auto count = input.read_line(line);
    ASSERT_TRUE(count.has_value());
    if (*count == 0) break;
    EXPECT_EQ(*count, line.size());
    lines.push_back(line);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"one\r\n", "two\n", "\n", "three"}));
}

TEST(LineReader, LinesLongerThanItsBufferArriveWhole) {
  const std::string long_line(10000, 'x');
  ScriptedSource source({long_line + "\nnext\n"});
  LineReader input(source);
  std::string line;
  ASSERT_TRUE(input.read_line(line).has_value());
  EXPECT_EQ(line, long_line + "\n");
}

}  // namespace
}  // namespace varlin
