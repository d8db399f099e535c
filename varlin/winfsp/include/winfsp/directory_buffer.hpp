#pragma once

#include <cstdint>

#include "winfsp/api.hpp"
#include "winfsp/records.hpp"

namespace varlin::filesystem {

// The buffer of one ReadDirectory call. Records go in through WinFsp's FspFileSystemAddDirInfo, which
// aligns them and counts the bytes.
class DirectoryBuffer {
 public:
  DirectoryBuffer(winfsp::WinFspApi& winfsp, void* buffer, std::uint32_t length)
      : winfsp_(winfsp), buffer_(buffer), length_(length) {}

  // False when the record does not fit: the buffer is full and WinFsp asks again from the last name.
  bool add(const winfsp::FSP_FSCTL_DIR_INFO& record);

  // Marks the end of the listing; false when even that does not fit.
  bool add_end();

  std::uint32_t bytes_transferred() const { return bytes_transferred_; }

 private:
  winfsp::WinFspApi& winfsp_;
  void* buffer_;
  std::uint32_t length_;
  std::uint32_t bytes_transferred_ = 0;
};

}  // namespace varlin::filesystem
