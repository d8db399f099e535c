#include "winfsp/directory_buffer.hpp"

namespace varlin::filesystem {

bool DirectoryBuffer::add(const winfsp::FSP_FSCTL_DIR_INFO& record) {
  return winfsp_.add_dir_info(&record, buffer_, length_, &bytes_transferred_);
}

bool DirectoryBuffer::add_end() {
  return winfsp_.add_dir_info(nullptr, buffer_, length_, &bytes_transferred_);
}

}  // namespace varlin::filesystem
