// Looking one name up in a directory of a mount of a fake IBM i: no name leads outside the remote root,
// and "." and ".." describe what a listing's own "." and ".." records do.
#include <gmock/gmock.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_host_mount.hpp"
#include "morva/server/path_text.hpp"
#include "operations_fixture.hpp"
#include "winfsp/dir_info.hpp"

namespace varlin::filesystem {
namespace {

using fake_ibmi::ServedRequest;
using ::testing::Contains;
using ::testing::Each;
using ::testing::Field;
using ::testing::IsEmpty;
using ::testing::Truly;

// The bytes of one directory record, as far as its Size goes.
std::vector<std::byte> record_bytes(const winfsp::FSP_FSCTL_DIR_INFO& record) {
  const auto* begin = reinterpret_cast<const std::byte*>(&record);
  return {begin, begin + record.Size};
}

// Whether a request's path lies at or below the root once its "." and ".." are followed.
bool stays_in(std::string_view root, const ServedRequest& request) {
  std::vector<std::string_view> kept;
  for (const std::string_view component : morva::server::path_components(request.subject)) {
    if (component == "..") {
      if (kept.empty()) return false;
      kept.pop_back();
    } else if (component != ".") {
      kept.push_back(component);
    }
  }
  std::string followed;
  for (const std::string_view component : kept) (followed += '/') += component;
  return is_at_or_below(followed.empty() ? "/" : followed, root);
}

// A mount of /home/tester, where the fake also holds /tmp.
class DirInfoByName : public FakeHostMount {
 protected:
  static constexpr std::string_view kRoot = "/home/tester";

  void SetUp() override {
    host.with_tree([](fake_ibmi::IfsTree& tree) { tree.add_file("/tmp/outside.txt", "outside"); });
    fs = mount(std::string(kRoot));
    ASSERT_TRUE(fs);
  }

  OpenFileRef opened(std::u16string_view path) {
    winfsp::FSP_FSCTL_OPEN_FILE_INFO info{};
    auto file = fs->open(name(path), 0, 0, info);
    EXPECT_TRUE(file) << "opening a directory of the tree";
    return file ? *file : nullptr;
  }

  OperationResult<std::vector<std::byte>> by_name(const OpenFileRef& directory, std::u16string_view entry) {
    winfsp::DirInfoRecord record{};
    if (auto found = fs->get_dir_info_by_name(directory, name(entry), record.info); !found)
      return std::unexpected(found.error());
    return record_bytes(record.info);
  }

  // The record that a marker-less listing of the directory gives the name.
  std::vector<std::byte> listed_record(const OpenFileRef& directory, std::u16string_view entry) {
    std::vector<std::byte> buffer(8192);
    DirectoryBuffer directory_buffer(winfsp_, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    auto bytes = fs->read_directory(directory, std::nullopt, std::nullopt, directory_buffer);
    EXPECT_TRUE(bytes);
    for (std::uint32_t at = 0; bytes && at < *bytes;) {
      const auto* record = reinterpret_cast<const winfsp::FSP_FSCTL_DIR_INFO*>(buffer.data() + at);
      if (record->Size == 0) break;
      if (winfsp::dir_info_name(*record) == entry) return record_bytes(*record);
      at += (record->Size + 7u) & ~7u;
    }
    ADD_FAILURE() << "the listing has no such record";
    return {};
  }

  std::unique_ptr<IfsFileSystem> fs;
  winfsp_stub::StubWinFsp winfsp_;
};

TEST_F(DirInfoByName, RefusesEveryNameThatWouldLeaveTheDirectoryWithoutAsking) {
  const auto root = opened(u"\\");
  const auto docs = opened(u"\\docs");
  host.clear_requests();
  for (const auto& directory : {root, docs}) {
    for (std::u16string_view bad : {u"../../tmp", u"..\\..\\tmp", u"..\\tester2", u"../tester2/other.txt",
                                    u"docs/readme.txt", u"docs\\readme.txt", u"/", u"\\", u""}) {
      SCOPED_TRACE(std::string(bad.begin(), bad.end()));
      EXPECT_EQ(by_name(directory, bad), std::unexpected(OperationError(winfsp::kStatusObjectNameInvalid)));
    }
  }
  EXPECT_EQ(by_name(root, u".."), std::unexpected(OperationError(winfsp::kStatusObjectNameNotFound)))
      << "the remote root has no parent in the mount";

  // ReadDirectory looks a pattern up as one name.
  std::vector<std::byte> buffer(1024);
  DirectoryBuffer directory_buffer(winfsp_, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
  const std::u16string pattern = name(u"..\\..\\tmp");
  EXPECT_EQ(fs->read_directory(root, FileName(pattern), std::nullopt, directory_buffer),
            std::unexpected(OperationError(winfsp::kStatusObjectNameInvalid)));
  EXPECT_THAT(host.requests(), IsEmpty());
}

TEST_F(DirInfoByName, DescribesDotAndDotDotAsTheListingDoes) {
  host.with_tree([](fake_ibmi::IfsTree& tree) { tree.add_file("/home/tester/docs/deeper/x.txt", "x"); });
  const auto docs = opened(u"\\docs");
  const auto deeper = opened(u"\\docs\\deeper");
  host.clear_requests();
  for (const auto& directory : {docs, deeper}) {
    for (std::u16string_view dots : {u".", u".."}) {
      SCOPED_TRACE(std::string(dots.begin(), dots.end()));
      const auto found = by_name(directory, dots);
      ASSERT_TRUE(found);
      EXPECT_EQ(*found, listed_record(directory, dots));
    }
  }
  EXPECT_THAT(host.requests(),
              Each(Truly([](const ServedRequest& request) { return stays_in(kRoot, request); })));
}

TEST_F(DirInfoByName, LooksAnyOtherNameUpInTheDirectory) {
  const auto root = opened(u"\\");
  host.clear_requests();
  const auto found = by_name(root, u"notes.txt");
  ASSERT_TRUE(found);
  winfsp::FSP_FSCTL_DIR_INFO record{};
  std::memcpy(&record, found->data(), sizeof(record));
  EXPECT_EQ(record.FileInfo.FileSize, 23u);
  for (std::u16string_view missing : {u"missing.txt", u"...", u"..x"})
    EXPECT_EQ(by_name(root, missing), std::unexpected(OperationError(winfsp::kStatusObjectNameNotFound)));
  EXPECT_THAT(host.requests(), Contains(Field(&ServedRequest::subject, "/home/tester/...")));
  EXPECT_THAT(host.requests(),
              Each(Truly([](const ServedRequest& request) { return stays_in(kRoot, request); })));
}

}  // namespace
}  // namespace varlin::filesystem
