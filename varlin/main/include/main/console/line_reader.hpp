#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>

#include "morva/error.hpp"

namespace varlin {

// Where a `LineReader` takes its bytes from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `buffer.size()` bytes; 0 means end of input.
  virtual morva::Result<std::size_t> read(std::span<char> buffer) = 0;
};

// Buffered reading of UTF-8 lines from a byte source.
class LineReader {
 public:
  explicit LineReader(ByteSource& source) : source_(source) {}

  // Appends one line, its line end included if there is one, to `line` and returns the number of bytes
  // appended: 0 at end of input. A line that is not valid UTF-8 is an InvalidData error.
  morva::Result<std::size_t> read_line(std::string& line);

 private:
  ByteSource& source_;
  std::array<char, 4096> buffer_{};
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

}  // namespace varlin
