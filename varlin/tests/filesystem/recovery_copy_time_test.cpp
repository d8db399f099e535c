// The time in a copy's name is UTC, as its "Z" says, whatever time zone the computer is in.
#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <regex>
#include <string>

#include "filesystem/recovery_copies.hpp"
#include "temporary_folder.hpp"

namespace varlin::filesystem {
namespace {

using namespace std::chrono;

// The process's time zone, set for as long as this lives.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    if (const char* current = std::getenv("TZ")) previous_ = current;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TimeZone() {
    if (previous_)
      setenv("TZ", previous_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  TimeZone(const TimeZone&) = delete;
  TimeZone& operator=(const TimeZone&) = delete;

 private:
  std::optional<std::string> previous_;
};

// The time in "HELLO.2026-05-01T08-09-10.123456Z.clp", read as UTC.
std::optional<sys_time<microseconds>> time_in(const std::string& name) {
  static const std::regex stamp(R"(\.(\d{4})-(\d\d)-(\d\d)T(\d\d)-(\d\d)-(\d\d)\.(\d{6})Z\.)");
  std::smatch parts;
  if (!std::regex_search(name, parts, stamp)) return std::nullopt;
  const auto number = [&parts](std::size_t part) { return std::stoi(parts[part].str()); };
  const year_month_day date{year(number(1)), month(static_cast<unsigned>(number(2))),
                            day(static_cast<unsigned>(number(3)))};
  return sys_days(date) + hours(number(4)) + minutes(number(5)) + seconds(number(6)) +
         microseconds(number(7));
}

TEST(RecoveryCopies, NameTheirTimeInUtcWhateverTheTimeZone) {
  // Nine and a half hours east of UTC, and eleven west.
  for (const char* zone : {"EAST-09:30", "WEST+11"}) {
    const TimeZone time_zone(zone);
    const testing_support::TemporaryFolder folder;
    const RecoveryCopies copies(folder.path());
    const auto before = time_point_cast<microseconds>(system_clock::now());
    const auto copy = copies.keep("QSYS.LIB/MYLIB.LIB/QCLSRC/HELLO.clp", "PGM\n");
    const auto after = system_clock::now();
    ASSERT_TRUE(copy) << copy.error().text();
    const auto made = time_in(copy->filename().string());
    ASSERT_TRUE(made) << copy->filename();
    EXPECT_LE(before, *made) << copy->filename() << " in " << zone;
    EXPECT_LE(*made, after) << copy->filename() << " in " << zone;
  }
}

}  // namespace
}  // namespace varlin::filesystem
