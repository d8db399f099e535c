#include "temporary_folder.hpp"

#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace testing_support {

TemporaryFolder::TemporaryFolder() {
  std::random_device random;
  const auto name = "varlin-test-" + std::to_string(random()) + "-" + std::to_string(random());
  path_ = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(path_);
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::map<std::string, std::string> TemporaryFolder::files() const {
  std::map<std::string, std::string> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::u8string relative = std::filesystem::relative(entry.path(), path_).generic_u8string();
    found[std::string(relative.begin(), relative.end())] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return found;
}

}  // namespace testing_support
