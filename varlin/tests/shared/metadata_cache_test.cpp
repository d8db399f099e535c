#include "shared/metadata_cache.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace varlin::filesystem {
namespace {

using namespace std::chrono_literals;
using metadata_pipe::FileProperties;
using metadata_pipe::MetadataResult;

MetadataResult member_result(std::string path, std::string member = "M") {
  return MetadataResult{.path = std::move(path),
                        .properties = {FileProperties::Member{.member = std::move(member), .ccsid = 37}}};
}

class MetadataCacheTest : public testing::Test {
 protected:
  MetadataCache cache_with(Lifetime ttl) {
    return MetadataCache(ttl, [this] { return now_; });
  }

  MonotonicTime now_{1000s};
  MetadataCache cache_ = cache_with(30s);
};

TEST_F(MetadataCacheTest, AnswersWhileYoungerThanTheLifetimeThenForgets) {
  cache_.insert("/a/x.mbr", member_result("/a/x.mbr"));
  now_ += 30s - 1ns;
  EXPECT_EQ(cache_.get("/a/x.mbr"), member_result("/a/x.mbr"));
  now_ += 1ns;
  EXPECT_EQ(cache_.get("/a/x.mbr"), std::nullopt) << "exactly as old as the lifetime is expired";
  const std::vector<std::string> paths = {"/a/x.mbr"};
  cache_.touch(paths);
  EXPECT_EQ(cache_.get("/a/x.mbr"), std::nullopt) << "the expired entry left the map";
}

TEST_F(MetadataCacheTest, ZeroLifetimeStoresButNeverAnswers) {
  auto cache = cache_with(0s);
  cache.insert("/a", member_result("/a"));
  EXPECT_EQ(cache.get("/a"), std::nullopt);
}

TEST_F(MetadataCacheTest, KeysFoldSeparatorsAndAsciiCaseOnly) {
  cache_.insert(R"(\QSYS.LIB\MyLib.LIB\F.FILE\M.MBR)", member_result("as stored"));
  EXPECT_EQ(cache_.get("/qsys.lib/mylib.lib/f.file/m.mbr"), member_result("as stored"));
  EXPECT_EQ(cache_key(R"(\QSYS.LIB\MyLib.LIB\QRPGLESRC.FILE)"), "/qsys.lib/mylib.lib/qrpglesrc.file");
  EXPECT_EQ(cache_key(R"(\a\B)"), cache_key("/A/b"));
  EXPECT_NE(cache_key("/QSYS.LIB/\xC3\x86"
                      "B"),
            cache_key("/qsys.lib/\xC3\xA6"
                      "b"));

  cache_.insert("/Q/X", member_result("first"));
  cache_.insert("/q/x", member_result("second"));
  EXPECT_EQ(cache_.get(R"(\Q\x)"), member_result("second"));
}

TEST_F(MetadataCacheTest, CopiesShareOneMap) {
  MetadataCache copy = cache_;
  copy.insert("/a", member_result("/a"));
  EXPECT_EQ(cache_.get("/a"), member_result("/a"));
  cache_.remove("/A");
  EXPECT_EQ(copy.get("/a"), std::nullopt);
}

TEST_F(MetadataCacheTest, InvalidateTreeDropsThePathAndWhatIsBelowIt) {
  for (const char* path : {"/a/b", "/a/b/x/y", "/a/bc", "/a"}) cache_.insert(path, member_result(path));
  cache_.invalidate_tree(R"(\A\B)");
  EXPECT_EQ(cache_.get("/a/b"), std::nullopt);
  EXPECT_EQ(cache_.get("/a/b/x/y"), std::nullopt);
  EXPECT_EQ(cache_.get("/a/bc"), member_result("/a/bc"));
  EXPECT_EQ(cache_.get("/a"), member_result("/a"));
}

TEST_F(MetadataCacheTest, DropsEverySpellingOfAQsysObject) {
  const char* hello[] = {"/QSYS.LIB/DEVLIB/QCLSRC/HELLO.clp", "/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE/HELLO.MBR"};
  const char* others[] = {"/QSYS.LIB/DEVLIB/QCLSRC/EMPTY.clp", "/QSYS.LIB/DEVLIB/HELLO.clp.pgm"};
  for (const char* path : hello) cache_.insert(path, member_result(path));
  for (const char* path : others) cache_.insert(path, member_result(path));
  cache_.remove(R"(\qsys.lib\devlib.lib\qclsrc.file\hello.mbr)");
  for (const char* path : hello) EXPECT_EQ(cache_.get(path), std::nullopt) << path;
  for (const char* path : others) EXPECT_EQ(cache_.get(path), member_result(path)) << path;

  cache_.invalidate_tree("/QSYS.LIB/DEVLIB.LIB/QCLSRC.FILE");
  EXPECT_EQ(cache_.get(others[0]), std::nullopt);
  EXPECT_EQ(cache_.get(others[1]), member_result(others[1]));
}

TEST_F(MetadataCacheTest, TouchRenewsExistingEntriesOnly) {
  cache_.insert("/kept", member_result("/kept"));
  now_ += 40s;  // expired, but neither a lookup nor an insert's sweep has removed it yet
  const std::vector<std::string> paths = {"/KEPT", "/absent"};
  cache_.touch(paths);
  now_ += 30s - 1ns;
  EXPECT_EQ(cache_.get("/kept"), member_result("/kept"));
  EXPECT_EQ(cache_.get("/absent"), std::nullopt);
}

// Entries stored at the start, one of them renewed later, and one stored later: what an insert a
// lifetime after the start leaves in the map, which a touch then shows by renewing only what is there.
TEST_F(MetadataCacheTest, AnInsertDropsExpiredEntriesAndKeepsFreshAndRenewedOnes) {
  struct Case {
    const char* name;
    Lifetime ttl;
    bool old_kept;
  };
  const Case cases[] = {
      {"30 s", 30s, false},
      {"a lifetime that never ends", cache_lifetime(std::numeric_limits<std::uint64_t>::max()), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cache = cache_with(c.ttl);
    for (const char* path : {"/old", "/renewed"}) cache.insert(path, member_result(path));
    now_ += 20s;
    cache.insert("/recent", member_result("/recent"));
    const std::vector<std::string> renewed = {"/RENEWED"};
    cache.touch(renewed);
    now_ += 10s;
    cache.insert("/later", member_result("/later"));

    const std::vector<std::string> earlier = {"/old", "/renewed", "/recent"};
    cache.touch(earlier);
    EXPECT_EQ(cache.get("/old"), c.old_kept ? std::optional(member_result("/old")) : std::nullopt);
    for (const char* path : {"/renewed", "/recent", "/later"})
      EXPECT_EQ(cache.get(path), member_result(path));
  }
}

morva::command::ObjectDescription program(std::string source_file = "") {
  return {.object = "HELLO",
          .library = "MYLIB",
          .object_type = "PGM",
          .attribute = "CLLE",
          .owner = "QPGMR",
          .asp = 1,
          .created = "1240101120000",
          .changed = "1240202120000",
          .description = "Hello",
          .source_file = std::move(source_file),
          .source_library = "",
          .source_member = ""};
}

TEST_F(MetadataCacheTest, FillsFromListedMembersAndObjects) {
  const morva::ifs::SourceMemberInfo info{.library = "MyLib",
                                          .source_file = "QCLSRC",
                                          .member = "MBR1",
                                          .source_type = "CLLE",
                                          .description = "text",
                                          .record_length = 92,
                                          .ccsid = 277};
  cache_.fill_from_listing("/QSYS.LIB/MyLib.LIB/QCLSRC.FILE/MBR1.clle", "/QSYS.LIB/MyLib.LIB/QCLSRC.FILE/",
                           "MBR1.MBR", morva::ifs::IfsEntry{.member_info = info, .object = program()});
  EXPECT_EQ(cache_.get("/qsys.lib/mylib.lib/qclsrc.file/mbr1.clle"),
            (MetadataResult{
                .path = "/QSYS.LIB/MyLib.LIB/QCLSRC.FILE/MBR1.clle",
                .properties = {FileProperties::Member{.path = "/QSYS.LIB/MyLib.LIB/QCLSRC.FILE/MBR1.MBR",
                                                      .library = "MyLib",
                                                      .source_file = "QCLSRC",
                                                      .member = "MBR1",
                                                      .source_type = "CLLE",
                                                      .ccsid = 277,
                                                      .record_length = 92,
                                                      .description = "text"}}}))
      << "an entry with both is stored in the member shape";

  cache_.fill_from_listing("/QSYS.LIB/MYLIB.LIB/hello.clle.pgm", "/QSYS.LIB/MYLIB.LIB", "HELLO.PGM",
                           morva::ifs::IfsEntry{.object = program("QCLSRC")});
  const auto object = cache_.get("/QSYS.LIB/MYLIB.LIB/hello.clle.pgm");
  ASSERT_TRUE(object);
  const auto& shape = std::get<FileProperties::Object>(object->properties.shape);
  EXPECT_EQ(shape.path, "/QSYS.LIB/MYLIB.LIB/HELLO.PGM");
  EXPECT_EQ(shape.source_file, "QCLSRC");
  EXPECT_EQ(shape.source_library, std::nullopt);
  EXPECT_EQ(shape.source_member, std::nullopt);
  EXPECT_EQ(shape.description, "Hello");

  cache_.fill_from_listing("/home/a.txt", "/home", "a.txt", morva::ifs::IfsEntry{.name = "a.txt"});
  EXPECT_EQ(cache_.get("/home/a.txt"), std::nullopt);
}

TEST(ChildPath, JoinsWithOneSlash) {
  EXPECT_EQ(child_path("/", "x"), "/x");
  EXPECT_EQ(child_path("/A/B/", "x"), "/A/B/x");
  EXPECT_EQ(child_path("/a//", "x"), "/a/x");
  EXPECT_EQ(child_path("//", "x"), "/x");
  EXPECT_EQ(child_path("", "x"), "/x");
}

}  // namespace
}  // namespace varlin::filesystem
