#include "pipe_client/fetch_file_properties.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "pipe_client/ascii.hpp"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kMountId = 0x2A;

std::string reply(std::string_view mount_id, std::string_view rest) {
  return R"({"version":1,"mountId":")" + std::string(mount_id) + R"(",)" + std::string(rest) + "}\n";
}

std::string success(std::string_view mount_id = "0000002A") {
  return reply(mount_id,
               R"("ok":true,"result":{"path":"/QSYS.LIB/L.LIB/F.FILE/M.MBR","properties":{"library":"L"}})");
}

const MetadataResult kResult{"/QSYS.LIB/L.LIB/F.FILE/M.MBR", {.library = "L"}};

std::string request_for(std::string_view path) {
  return R"({"version":1,"method":"getFileProperties","path":")" + std::string(path) + "\"}\n";
}

// Volumes by root (in any case, as Windows finds them), and a pipe per serial that answers from a queue of
// replies (nothing once empty).
class FakeSystem : public SystemAccess {
 public:
  std::optional<std::string> volume_path_name(const std::string& path) override {
    volume_path_questions.push_back(path);
    return volume_path;
  }
  std::optional<std::uint32_t> volume_serial_number(const std::string& root) override {
    serial_questions.push_back(root);
    const auto found = serials.find(to_ascii_lower(root));
    if (found == serials.end()) return std::nullopt;
    return found->second;
  }
  std::optional<std::string> exchange(std::uint32_t mount_id, const std::string& message) override {
    exchanges.push_back({mount_id, message});
    if (replies.empty()) return std::nullopt;
    auto next = std::move(replies.front());
    replies.pop_front();
    return next;
  }
  MonotonicClock::time_point now() override { return clock; }

  std::optional<std::string> volume_path;
  std::map<std::string, std::uint32_t> serials{{R"(z:\)", kMountId}};  // by root in lower case
  std::deque<std::optional<std::string>> replies;
  MonotonicClock::time_point clock{100h};

  std::vector<std::string> volume_path_questions;
  std::vector<std::string> serial_questions;
  std::vector<std::pair<std::uint32_t, std::string>> exchanges;
};

class FetchFileProperties : public testing::Test {
 protected:
  std::optional<MetadataResult> fetch(const std::string& path) {
    return fetch_file_properties(path, system, cache);
  }

  FakeSystem system;
  SharedResultCache cache;
};

TEST_F(FetchFileProperties, AsksTheMountNamedByTheDrivesSerial) {
  system.replies.push_back(success());
  EXPECT_EQ(fetch(R"(Z:\QSYS.LIB\L.LIB\F.FILE\M.rpgle)"), kResult);
  EXPECT_TRUE(system.volume_path_questions.empty());
  EXPECT_EQ(system.serial_questions, std::vector<std::string>{R"(Z:\)"});
  ASSERT_EQ(system.exchanges.size(), 1u);
  EXPECT_EQ(system.exchanges[0].first, kMountId);
  EXPECT_EQ(system.exchanges[0].second, request_for(R"(QSYS.LIB\\L.LIB\\F.FILE\\M.rpgle)"));
}

TEST_F(FetchFileProperties, OtherExtensionsCostNothing) {
  EXPECT_EQ(fetch(R"(Z:\docs\readme.txt)"), std::nullopt);
  EXPECT_EQ(fetch(R"(Z:\docs\.rpgle)"), std::nullopt);
  EXPECT_TRUE(system.serial_questions.empty());
  EXPECT_TRUE(system.exchanges.empty());
}

TEST_F(FetchFileProperties, UsesTheDriveLetterAsWritten) {
  system.replies.push_back(success());
  EXPECT_EQ(fetch("z:/a//./b.rpgle"), kResult);
  EXPECT_EQ(system.serial_questions, std::vector<std::string>{R"(z:\)"});
  EXPECT_EQ(system.exchanges.at(0).second, request_for(R"(a\\b.rpgle)"));
}

TEST_F(FetchFileProperties, AsksForTheVolumeRootOfOtherForms) {
  system.volume_path = R"(\\?\Z:\)";
  system.serials = {{R"(\\?\z:\)", kMountId}};
  system.replies.push_back(success());
  EXPECT_EQ(fetch(R"(\\?\Z:\lib\x.rpgle)"), kResult);
  EXPECT_EQ(system.volume_path_questions, std::vector<std::string>{R"(\\?\Z:\lib\x.rpgle)"});
  EXPECT_EQ(system.exchanges.at(0).second, request_for(R"(lib\\x.rpgle)"));
}

TEST_F(FetchFileProperties, NoAnswerWithoutVolumeRelativePathOrSerial) {
  const auto no_answer_for = [this](const std::string& path) {
    EXPECT_EQ(fetch(path), std::nullopt) << path;
  };
  no_answer_for(R"(\\server\share\x.rpgle)");  // no volume root
  system.volume_path = R"(\\other\share\)";
  no_answer_for(R"(\\server\share\x.rpgle)");  // a root the path does not begin with
  no_answer_for(R"(Z:\a\..\x.rpgle)");
  no_answer_for(R"(Y:\x.rpgle)");  // no serial
  system.serials[R"(y:\)"] = 0;
  no_answer_for(R"(Y:\x.rpgle)");
  EXPECT_TRUE(system.exchanges.empty());
}

TEST_F(FetchFileProperties, CachesAnswersByVolumeAndPathInLowerCase) {
  system.replies.push_back(success());
  ASSERT_EQ(fetch(R"(Z:\Lib\PGM1.rpgle)"), kResult);
  system.clock += 29s;
  EXPECT_EQ(fetch(R"(z:\lib\pgm1.RPGLE)"), kResult);
  EXPECT_EQ(system.exchanges.size(), 1u);

  system.clock += 1s;
  system.replies.push_back(success());
  EXPECT_EQ(fetch(R"(z:\lib\pgm1.RPGLE)"), kResult);
  ASSERT_EQ(system.exchanges.size(), 2u);
  EXPECT_EQ(system.exchanges[1].second, request_for(R"(lib\\pgm1.RPGLE)")) << "the path in its own case";
}

TEST_F(FetchFileProperties, FailuresAreNotCached) {
  system.replies.push_back(std::nullopt);
  EXPECT_EQ(fetch(R"(Z:\a.rpgle)"), std::nullopt);
  system.replies.push_back(success());
  EXPECT_EQ(fetch(R"(Z:\a.rpgle)"), kResult);
  EXPECT_EQ(system.exchanges.size(), 2u);
}

TEST_F(FetchFileProperties, ChecksVersionMountIdAndResult) {
  struct Case {
    std::string reply;
    bool answered;
  };
  const Case cases[] = {
      {success("0000002A"), true},
      {success("2a"), true},
      {success("0x2A"), true},
      {success("0x0x2A"), true},
      {success("+2A"), true},
      {success("0X2A"), false},
      {success("2A0"), false},
      {success(""), false},
      {success("0000002B"), false},
      {R"({"version":2,"mountId":"2A","ok":true,"result":{"path":"/p","properties":{}}})", false},
      {reply("2A", R"("ok":true)"), false},
      {reply("2A", R"("ok":false,"code":"connectionLost","error":"lost")"), false},
      {reply("2A", R"("ok":false)"), false},
      {success() + "garbage after the line", true},
      {success().substr(0, success().size() - 1), true},
      {success().insert(success().size() - 1, "\r"), true},
      {"\n" + success(), false},
      {"", false},
      {R"({"version":1,"mountId":"2A","ok":true,"result":{"path":"/p","properties":{"recordLength":4294967296}}})",
       false},
  };
  for (const auto& c : cases) {
    FakeSystem fresh;
    SharedResultCache empty;
    fresh.replies.push_back(c.reply);
    EXPECT_EQ(fetch_file_properties(R"(Z:\a.rpgle)", fresh, empty).has_value(), c.answered) << c.reply;
    EXPECT_EQ(fresh.exchanges.size(), 1u) << c.reply;
  }
}

TEST_F(FetchFileProperties, RetriesAnInvalidRequestOnceWithTheSameBytes) {
  const auto invalid = reply("0000002A", R"("ok":false,"code":"invalidRequest","error":"bad")");
  system.replies = {invalid, success()};
  EXPECT_EQ(fetch(R"(Z:\a.rpgle)"), kResult);
  ASSERT_EQ(system.exchanges.size(), 2u);
  EXPECT_EQ(system.exchanges[0], system.exchanges[1]);

  system.exchanges.clear();
  system.replies = {invalid, invalid, success()};
  EXPECT_EQ(fetch(R"(Z:\b.rpgle)"), std::nullopt);
  EXPECT_EQ(system.exchanges.size(), 2u);
}

TEST_F(FetchFileProperties, AnUnreadableReplyIsNotRetried) {
  system.replies = {"{not json\n", success()};
  EXPECT_EQ(fetch(R"(Z:\a.rpgle)"), std::nullopt);
  EXPECT_EQ(system.exchanges.size(), 1u);
}

TEST_F(FetchFileProperties, APoisonedCacheIsPassedBy) {
  try {
    auto locked = cache.lock();
    throw std::runtime_error("failed while holding the cache");
  } catch (const std::runtime_error&) {
  }
  system.replies = {success(), success()};
  EXPECT_EQ(fetch(R"(Z:\a.rpgle)"), kResult);
  EXPECT_EQ(fetch(R"(Z:\a.rpgle)"), kResult);
  EXPECT_EQ(system.exchanges.size(), 2u);
}

}  // namespace
}  // namespace tarvik
