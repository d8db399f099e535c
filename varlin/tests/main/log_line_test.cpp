#include "main/logging/log_line.hpp"

#include <gtest/gtest.h>
#include <spdlog/sinks/ostream_sink.h>
#include <spdlog/spdlog.h>

#include <chrono>
#include <ctime>
#include <iomanip>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>

#include "main/logging/diagnostic_logging.hpp"
#include "morva/log.hpp"

namespace varlin {
namespace {

using namespace std::chrono;

system_clock::time_point utc(year_month_day date, nanoseconds time_of_day) {
  return system_clock::time_point(
      duration_cast<system_clock::duration>(sys_days(date).time_since_epoch() + time_of_day));
}

std::string formatted(const LogLineFormatter& formatter, system_clock::time_point time,
                      spdlog::level::level_enum level, std::string_view message) {
  const spdlog::details::log_msg record(time, {}, "varlin", level, message);
  spdlog::memory_buf_t out;
  formatter.clone()->format(record, out);
  return fmt::to_string(out);
}

TEST(LogLine, TimeIsUtcWithMicroseconds) {
  const LogLineFormatter plain(false);
  struct Case {
    system_clock::time_point time;
    std::string_view expected;
  };
  const Case cases[] = {
      {utc(2024y / May / 1, 8h + 9min + 10s + 123'456'789ns), "2024-05-01T08:09:10.123456Z"},
      {utc(1970y / January / 1, 0ns), "1970-01-01T00:00:00.000000Z"},
      {utc(2000y / February / 29, 23h + 59min + 59s + 999'999'999ns), "2000-02-29T23:59:59.999999Z"},
      {utc(2038y / January / 19, 3h + 14min + 8s + 1us), "2038-01-19T03:14:08.000001Z"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(formatted(plain, c.time, spdlog::level::debug, "event"),
              std::string(c.expected) + " DEBUG event\n");
}

TEST(LogLine, LevelsAreRightAlignedInFiveColumns) {
  const LogLineFormatter plain(false);
  const auto time = utc(2024y / May / 1, 0ns);
  const std::map<spdlog::level::level_enum, std::string_view> levels = {
      {spdlog::level::trace, "TRACE"}, {spdlog::level::debug, "DEBUG"}, {spdlog::level::info, " INFO"},
      {spdlog::level::warn, " WARN"},  {spdlog::level::err, "ERROR"},   {spdlog::level::critical, "ERROR"},
  };
  for (const auto& [level, text] : levels)
    EXPECT_EQ(formatted(plain, time, level, "metadata-pipe client disconnected error=gone"),
              "2024-05-01T00:00:00.000000Z " + std::string(text) +
                  " metadata-pipe client disconnected error=gone\n");
}

TEST(LogLine, ColoursDimTheTimeAndColourTheLevel) {
  const LogLineFormatter coloured(true);
  const auto time = utc(2024y / May / 1, 8h);
  EXPECT_EQ(
      formatted(coloured, time, spdlog::level::debug, "starting IBM i IFS mount host=SYS1"),
      "\x1b[2m2024-05-01T08:00:00.000000Z\x1b[0m \x1b[34mDEBUG\x1b[0m starting IBM i IFS mount host=SYS1\n");
  EXPECT_EQ(formatted(coloured, time, spdlog::level::err, "VARLIN metadata pipe stopped"),
            "\x1b[2m2024-05-01T08:00:00.000000Z\x1b[0m \x1b[31mERROR\x1b[0m VARLIN metadata pipe stopped\n");
  EXPECT_EQ(formatted(coloured, time, spdlog::level::info, "x"),
            "\x1b[2m2024-05-01T08:00:00.000000Z\x1b[0m \x1b[32m INFO\x1b[0m x\n");
}

TEST(DiagnosticLogging, ColoursUnlessNoColorHasAValue) {
  struct Case {
    std::optional<std::string> no_color;
    bool colours;
  };
  const Case cases[] = {
      {std::nullopt, true},   {"", true}, {"1", false}, {"false", false},
      {"\xED\xA0\x80", true},  // a lone surrogate: not valid Unicode, so unset
  };
  for (const Case& c : cases) {
    const EnvironmentLookup environment = [&c](std::string_view name) -> std::optional<std::string> {
      return name == "NO_COLOR" ? c.no_color : std::nullopt;
    };
    EXPECT_EQ(log_colours_wanted(environment), c.colours) << c.no_color.value_or("(unset)");
  }
}

class InstalledLogging : public ::testing::Test {
 protected:
  void TearDown() override { spdlog::set_default_logger(previous_); }

  std::ostringstream output_;

 private:
  std::shared_ptr<spdlog::logger> previous_ = spdlog::default_logger();
};

TEST_F(InstalledLogging, WritesEventsFromDebugUpOneLineEach) {
  install_diagnostic_logging(std::make_shared<spdlog::sinks::ostream_sink_mt>(output_), false);
  morva::log::debug("varlin", "starting IBM i IFS mount",
                    {{"host", "SYS1"}, {"user", "DEMO"}, {"remote_root", "/"}, {"mount_point", "Z:"}});
  morva::log::event(spdlog::level::trace, "varlin", "not written");
  morva::log::error("varlin::metadata_pipe", "VARLIN metadata pipe stopped", {{"error", "gone"}});

  const std::regex expected(
      "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{6}Z DEBUG starting IBM i IFS mount host=SYS1 "
      "user=DEMO "
      "remote_root=/ mount_point=Z:\n"
      "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{6}Z ERROR VARLIN metadata pipe stopped error=gone\n");
  EXPECT_TRUE(std::regex_match(output_.str(), expected)) << output_.str();
}

TEST_F(InstalledLogging, SilencedLoggingWritesNothing) {
  spdlog::set_default_logger(
      std::make_shared<spdlog::logger>("default", std::make_shared<spdlog::sinks::ostream_sink_mt>(output_)));
  silence_diagnostic_logging();
  morva::log::error("varlin::metadata_pipe", "VARLIN metadata pipe stopped", {{"error", "gone"}});
  morva::log::info("morva::signon", "connecting to sign-on service");
  EXPECT_FALSE(morva::log::enabled(spdlog::level::err));
  EXPECT_EQ(output_.str(), "");
}

TEST_F(InstalledLogging, StampsTheTimeOfTheEvent) {
  install_diagnostic_logging(std::make_shared<spdlog::sinks::ostream_sink_mt>(output_), false);
  const auto before = floor<microseconds>(system_clock::now());
  morva::log::debug("varlin", "now");
  const auto after = system_clock::now();

  std::istringstream line(output_.str());
  std::tm parts{};
  line >> std::get_time(&parts, "%Y-%m-%dT%H:%M:%S");
  char dot = 0;
  long micros = 0;
  line >> dot >> micros;
  ASSERT_FALSE(line.fail()) << output_.str();
  const auto stamped = sys_days(year(parts.tm_year + 1900) / (parts.tm_mon + 1) / parts.tm_mday) +
                       hours(parts.tm_hour) + minutes(parts.tm_min) + seconds(parts.tm_sec) +
                       microseconds(micros);
  EXPECT_GE(stamped, before);
  EXPECT_LE(stamped, after);
}

}  // namespace
}  // namespace varlin
