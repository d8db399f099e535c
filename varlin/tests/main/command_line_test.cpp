#include "main/command_line/command_line.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace varlin {
namespace {

using Environment = std::map<std::string, std::string, std::less<>>;

std::variant<Args, CommandLineExit> parse(std::vector<std::string> arguments,
                                          const Environment& environment) {
  arguments.insert(arguments.begin(), "C:\\tools\\varlin.exe");
  return parse_command_line(arguments, [&](std::string_view name) -> std::optional<std::string> {
    const auto found = environment.find(name);
    if (found == environment.end()) return std::nullopt;
    return found->second;
  });
}

Args defaults_with_host(std::string host) {
  return Args{.host = std::move(host),
              .user = std::nullopt,
              .mount_point = "Z:",
              .remote_root = "/",
              .mount_id = std::nullopt,
              .max_file_size = 67108864,
              .cache_ttl_seconds = 30};
}

template <typename Change>
Args with(Change change) {
  Args args = defaults_with_host("ibmi");
  change(args);
  return args;
}

struct AcceptedCase {
  std::vector<std::string> arguments;
  Environment environment;
  Args expected;
};

TEST(CommandLine, AcceptedCommandLinesGiveTheirArgs) {
  const std::vector<AcceptedCase> cases = {
      {{"--host", "ibmi"}, {}, defaults_with_host("ibmi")},
      {{"--host=ibmi"}, {}, defaults_with_host("ibmi")},
      {{"--host", " ibmi "}, {}, defaults_with_host(" ibmi ")},
      {{}, {{"MORVA_HOST", "ibmi"}}, defaults_with_host("ibmi")},
      {{"--host", "cmd"}, {{"MORVA_HOST", "env"}}, defaults_with_host("cmd")},
      {{"-v", "--host", "ibmi"}, {}, with([](Args& a) { a.verbose = true; })},
      {{"--host", "ibmi", "--verbose"}, {}, with([](Args& a) { a.verbose = true; })},
      {{"--host", "ibmi", "--user", " dev1 "}, {}, with([](Args& a) { a.user = " dev1 "; })},
      {{"--host", "ibmi"}, {{"MORVA_USER", ""}}, with([](Args& a) { a.user = ""; })},
      {{"--host", "ibmi", "--mount-point", "C:\\mnt\\ibmi", "--remote-root=/QSYS.LIB/"},
       {},
       with([](Args& a) {
         a.mount_point = "C:\\mnt\\ibmi";
         a.remote_root = "/QSYS.LIB/";
       })},
      {{"--host", "ibmi", "--mount-point", "-"}, {}, with([](Args& a) { a.mount_point = "-"; })},
      {{"--host", "ibmi"}, {{"VARLIN_MOUNT_POINT", "Y:"}, {"VARLIN_REMOTE_ROOT", "/home"}}, with([](Args& a) {
         a.mount_point = "Y:";
         a.remote_root = "/home";
       })},
      {{"--host", "ibmi", "--mount-id", " 0x1A2B "}, {}, with([](Args& a) { a.mount_id = 0x1A2B; })},
      {{"--host", "ibmi"}, {{"VARLIN_MOUNT_ID", "42"}}, with([](Args& a) { a.mount_id = 42; })},
      {{"--host", "ibmi", "--mount-id=7"}, {{"VARLIN_MOUNT_ID", "0"}}, with([](Args& a) { a.mount_id = 7; })},
      {{"--host", "ibmi", "--max-file-size", "18446744073709551615"}, {}, with([](Args& a) {
         a.max_file_size = 18446744073709551615ull;
       })},
      {{"--host", "ibmi", "--max-file-size=+0"}, {}, with([](Args& a) { a.max_file_size = 0; })},
      {{"--host", "ibmi"}, {{"VARLIN_MAX_FILE_SIZE", "1024"}}, with([](Args& a) { a.max_file_size = 1024; })},
      {{"--host", "ibmi", "--cache-ttl-seconds", "4294967295"}, {}, with([](Args& a) {
         a.cache_ttl_seconds = 4294967295u;
       })},
      {{"--host", "ibmi", "--cache-ttl-seconds=-0"}, {}, with([](Args& a) { a.cache_ttl_seconds = 0; })},
      {{"--host", "ibmi"}, {{"VARLIN_CACHE_TTL_SECONDS", "0"}}, with([](Args& a) {
         a.cache_ttl_seconds = 0;
       })},
      {{"--host", "ibmi", "--"}, {}, defaults_with_host("ibmi")},
  };
  for (const AcceptedCase& test : cases) {
    const auto result = parse(test.arguments, test.environment);
    ASSERT_TRUE(std::holds_alternative<Args>(result))
        << testing::PrintToString(test.arguments) << ": " << std::get<CommandLineExit>(result).text;
    EXPECT_EQ(std::get<Args>(result), test.expected) << testing::PrintToString(test.arguments);
  }
}

struct RefusedCase {
  std::vector<std::string> arguments;
  Environment environment;
  std::string message;  // the first line of standard error
};

TEST(CommandLine, RefusedCommandLinesEndWithExitCodeTwo) {
  const std::vector<RefusedCase> cases = {
      {{}, {}, "error: the following required arguments were not provided:"},
      {{"--host", "a", "--host", "b"},
       {},
       "error: the argument '--host <HOST>' cannot be used multiple times"},
      {{"--host", "a", "--host=a"}, {}, "error: the argument '--host <HOST>' cannot be used multiple times"},
      {{"--host", "a", "-v", "--verbose"},
       {},
       "error: the argument '--verbose' cannot be used multiple times"},
      {{"--host"}, {}, "error: a value is required for '--host <HOST>' but none was supplied"},
      {{"--host", "--user", "u"}, {}, "error: a value is required for '--host <HOST>' but none was supplied"},
      {{"--host", "a", "--verbose=yes"},
       {},
       "error: unexpected value 'yes' for '--verbose' found; no more were expected"},
      {{"--host", "a", "-V"}, {}, "error: unexpected argument '-V' found"},
      {{"--host", "a", "--version"}, {}, "error: unexpected argument '--version' found"},
      {{"--host", "a", "-vv"}, {}, "error: unexpected argument '-vv' found"},
      {{"--host", "a", "--hos=b"}, {}, "error: unexpected argument '--hos' found"},
      {{"--host", "a", "extra"}, {}, "error: unexpected argument 'extra' found"},
      {{"--host", "a", "--", "--verbose"}, {}, "error: unexpected argument '--verbose' found"},
      {{"--host", ""},
       {},
       "error: invalid value '' for '--host <HOST>': host must not be empty or only white space"},
      {{"--host="},
       {},
       "error: invalid value '' for '--host <HOST>': host must not be empty or only white space"},
      {{"--host", " \t"},
       {},
       "error: invalid value ' \t' for '--host <HOST>': host must not be empty or only white space"},
      {{},
       {{"MORVA_HOST", ""}},
       "error: invalid value '' for '--host <HOST>': host must not be empty or only white space"},
      {{},
       {{"MORVA_HOST", "\u3000"}},
       "error: invalid value '\u3000' for '--host <HOST>': host must not be empty or only white space"},
      {{"--host", "a", "--mount-id", " 0 "},
       {},
       "error: invalid value ' 0 ' for '--mount-id <MOUNT_ID>': mount id must not be zero"},
      {{"--host", "a"},
       {{"VARLIN_MOUNT_ID", "x1"}},
       "error: invalid value 'x1' for '--mount-id <MOUNT_ID>': mount id must be a 32-bit decimal or "
       "0x-prefixed hexadecimal number"},
      {{"--host", "a", "--max-file-size", "18446744073709551616"},
       {},
       "error: invalid value '18446744073709551616' for '--max-file-size <MAX_FILE_SIZE>': not an unsigned "
       "64-bit decimal number"},
      {{"--host", "a", "--max-file-size=-1"},
       {},
       "error: invalid value '-1' for '--max-file-size <MAX_FILE_SIZE>': not an unsigned 64-bit decimal "
       "number"},
      {{"--host", "a", "--max-file-size= 1"},
       {},
       "error: invalid value ' 1' for '--max-file-size <MAX_FILE_SIZE>': not an unsigned 64-bit decimal "
       "number"},
      {{"--host", "a"},
       {{"VARLIN_MAX_FILE_SIZE", "0x10"}},
       "error: invalid value '0x10' for '--max-file-size <MAX_FILE_SIZE>': not an unsigned 64-bit decimal "
       "number"},
      {{"--host", "a", "--cache-ttl-seconds=4294967296"},
       {},
       "error: invalid value '4294967296' for '--cache-ttl-seconds <CACHE_TTL_SECONDS>': 4294967296 is not "
       "in "
       "0..=4294967295"},
      {{"--host", "a", "--cache-ttl-seconds=-1"},
       {},
       "error: invalid value '-1' for '--cache-ttl-seconds <CACHE_TTL_SECONDS>': -1 is not in "
       "0..=4294967295"},
      {{"--host", "a", "--cache-ttl-seconds=9223372036854775808"},
       {},
       "error: invalid value '9223372036854775808' for '--cache-ttl-seconds <CACHE_TTL_SECONDS>': not a "
       "64-bit "
       "decimal number"},
      {{"--host", "a"},
       {{"VARLIN_CACHE_TTL_SECONDS", ""}},
       "error: invalid value '' for '--cache-ttl-seconds <CACHE_TTL_SECONDS>': not a 64-bit decimal number"},
      {{"--host", "a", "--user", "\xC3"}, {}, "error: invalid UTF-8 was detected in one or more arguments"},
      {{"--host", "a"},
       {{"MORVA_USER", "\xED\xA0\x80"}},
       "error: invalid UTF-8 was detected in environment variable MORVA_USER"},
      {{"--bogus", "--help"}, {}, "error: unexpected argument '--bogus' found"},
      {{"--host", "\xFF", "--help"}, {}, "error: invalid UTF-8 was detected in one or more arguments"},
      {{"\xFF", "--help"}, {}, "error: invalid UTF-8 was detected in one or more arguments"},
  };
  for (const RefusedCase& test : cases) {
    const auto result = parse(test.arguments, test.environment);
    ASSERT_TRUE(std::holds_alternative<CommandLineExit>(result)) << testing::PrintToString(test.arguments);
    const auto& exit = std::get<CommandLineExit>(result);
    EXPECT_EQ(exit.exit_code, 2) << testing::PrintToString(test.arguments);
    EXPECT_EQ(exit.text.substr(0, exit.text.find('\n')), test.message)
        << testing::PrintToString(test.arguments);
    EXPECT_NE(exit.text.find("\nUsage: varlin.exe [OPTIONS] --host <HOST>\n"), std::string::npos)
        << exit.text;
  }
}

TEST(CommandLine, EnvironmentValuesOverriddenOnTheCommandLineAreNotChecked) {
  const auto result = parse({"--host", "a", "--max-file-size", "5"}, {{"VARLIN_MAX_FILE_SIZE", "junk"}});
  ASSERT_TRUE(std::holds_alternative<Args>(result));
  EXPECT_EQ(std::get<Args>(result).max_file_size, 5u);
}

TEST(CommandLine, HelpGoesToStandardOutputWithExitCodeZero) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--help"},
                                                    {"-h"},
                                                    {"--host", "a", "-h"},
                                                    {"--help", "\xFF"},
                                                    {"-h", "--user", "\xC3"},
                                                    {"--help", "--bogus"},
                                                    {"--help", "--help"}}) {
    const auto result = parse(arguments, {{"VARLIN_MOUNT_ID", "0"}});
    ASSERT_TRUE(std::holds_alternative<CommandLineExit>(result));
    const auto& help = std::get<CommandLineExit>(result);
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_TRUE(
        help.text.starts_with("Mount an IBM i IFS directory as a Windows drive\n\n"
                              "Usage: varlin.exe [OPTIONS] --host <HOST>\n"))
        << help.text;
    for (const std::string_view expected :
         {"-v, --verbose", "--mount-id <MOUNT_ID>", "[env: VARLIN_CACHE_TTL_SECONDS] [default: 30]",
          "[env: VARLIN_MAX_FILE_SIZE] [default: 67108864]", "[default: Z:]", "-h, --help"})
      EXPECT_NE(help.text.find(expected), std::string::npos) << expected;
    // Options appear in declaration order.
    const std::string listed = help.text.substr(help.text.find("Options:"));
    EXPECT_LT(listed.find("--verbose"), listed.find("--host"));
    EXPECT_LT(listed.find("--remote-root"), listed.find("--mount-id"));
    EXPECT_LT(listed.find("--max-file-size"), listed.find("--cache-ttl-seconds"));
  }
}

TEST(MountId, ParsesDecimalAndPrefixedHexadecimal) {
  const std::vector<std::pair<std::string, std::uint32_t>> accepted = {
      {"1", 1},           {"+17", 17},          {"0042", 42},           {"4294967295", 0xFFFFFFFFu},
      {"0x1a2B", 0x1A2B}, {"0X00ff", 0xFF},     {"0x+10", 0x10},        {"0xFFFFFFFF", 0xFFFFFFFFu},
      {" \t7\r\n", 7},    {"\u00A09\u3000", 9}, {"0x0000000000001", 1},
  };
  for (const auto& [text, expected] : accepted) {
    const auto id = parse_mount_id(text);
    ASSERT_TRUE(id.has_value()) << text << ": " << id.error();
    EXPECT_EQ(*id, expected) << text;
  }

  const std::string not_a_number = "mount id must be a 32-bit decimal or 0x-prefixed hexadecimal number";
  const std::string zero = "mount id must not be zero";
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"", not_a_number},
      {"   ", not_a_number},
      {"+", not_a_number},
      {"0x", not_a_number},
      {"0x+", not_a_number},
      {"-1", not_a_number},
      {"0x-1", not_a_number},
      {"++1", not_a_number},
      {"+0x10", not_a_number},
      {"1 2", not_a_number},
      {"12a", not_a_number},
      {"0xG", not_a_number},
      {"4294967296", not_a_number},
      {"0x100000000", not_a_number},
      {"99999999999999999999999", not_a_number},
      {"0", zero},
      {"0x0", zero},
      {" +000 ", zero},
  };
  for (const auto& [text, message] : refused) {
    const auto id = parse_mount_id(text);
    ASSERT_FALSE(id.has_value()) << text;
    EXPECT_EQ(id.error(), message) << text;
  }
}

}  // namespace
}  // namespace varlin
