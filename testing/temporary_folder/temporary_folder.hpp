// A folder of its own for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace testing_support {

class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The regular files below it, by their paths relative to it with '/' between the names ("QSYS.LIB/X.txt"),
  // and what they hold.
  std::map<std::string, std::string> files() const;

 private:
  std::filesystem::path path_;
};

}  // namespace testing_support
