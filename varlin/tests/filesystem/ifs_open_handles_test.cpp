// The mount's registry of open files: a rename moves the handles at and below its old path.
#include <gmock/gmock.h>

#include "fake_host_mount.hpp"

namespace varlin::filesystem {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> paths_of(const std::vector<OpenFileRef>& handles) {
  std::vector<std::string> paths;
  for (const auto& handle : handles) {
    std::lock_guard lock(handle->mutex);
    paths.push_back(handle->file.path);
  }
  return paths;
}

class OpenHandles : public MountedRoot {
 protected:
  OpenFileRef open(std::string path) {
    OpenFile file;
    file.path = std::move(path);
    return fs->register_open_handle(std::move(file));
  }

  std::vector<OpenFileRef> open(std::initializer_list<const char*> paths) {
    std::vector<OpenFileRef> handles;
    for (const char* path : paths) handles.push_back(open(path));
    return handles;
  }
};

TEST_F(OpenHandles, ARenameMovesTheHandlesAtAndBelowTheOldPathOnly) {
  struct Case {
    std::string from;
    std::string to;
    std::vector<std::string> moved;
  };
  const Case cases[] = {
      {"/a", "/c/d", {"/c/d", "/c/d/x", "/c/d/x/y", "/ab", "/b", "/"}},
      {"/a", "/", {"/", "/x", "/x/y", "/ab", "/b", "/"}},
      {"/a/x/y", "/a/z", {"/a", "/a/x", "/a/z", "/ab", "/b", "/"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from + " to " + c.to);
    const auto handles = open({"/a", "/a/x", "/a/x/y", "/ab", "/b", "/"});
    fs->retarget_open_handles(c.from, c.to);
    EXPECT_EQ(paths_of(handles), c.moved);
  }
}

TEST_F(OpenHandles, ARenameChangesOnlyThePathOfAHandle) {
  const auto text = std::make_shared<MemberText>();
  text->text = "abc";
  text->dirty = true;
  const OpenFile file{.path = "/a/m.txt",
                      .entry = {.member = std::nullopt, .size = 3, .modified = 7, .is_directory = false},
                      .text = text,
                      .listing = std::nullopt,
                      .delete_pending = true,
                      .stream = nullptr,
                      .replacement = nullptr};
  const auto handle = fs->register_open_handle(file);
  fs->retarget_open_handles("/a", "/b");
  EXPECT_EQ(handle->file.path, "/b/m.txt");
  EXPECT_EQ(handle->file.entry, file.entry);
  EXPECT_EQ(handle->file.text, text);
  EXPECT_EQ(text->text, "abc");
  EXPECT_TRUE(text->dirty);
  EXPECT_TRUE(handle->file.delete_pending);
}

TEST_F(OpenHandles, ClosedHandlesDropOutAndTheOthersStillMove) {
  auto handles = open({"/a/1", "/a/2", "/a/3"});
  const std::weak_ptr<SharedOpenFile> closed = handles[1];
  handles.erase(handles.begin() + 1);
  EXPECT_TRUE(closed.expired()) << "the registry holds no handle open";
  handles.push_back(open("/a/4"));
  fs->retarget_open_handles("/a", "/b");
  EXPECT_THAT(paths_of(handles), ElementsAre("/b/1", "/b/3", "/b/4"));
}

}  // namespace
}  // namespace varlin::filesystem
