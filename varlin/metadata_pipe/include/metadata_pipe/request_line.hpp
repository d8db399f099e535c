#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "morva/error.hpp"

namespace varlin::metadata_pipe {

// Collects one request line from the chunks read off a connection: up to and including the first line
// feed, and never more than kMaxRequestBytes bytes in all.
class RequestLineReader {
 public:
  // The longest request line, its line feed included, is one byte less.
  static constexpr std::size_t kMaxRequestBytes = 65537;

  // How many bytes the next read may take, given the size of the read buffer.
  std::size_t next_read_size(std::size_t buffer_size) const;

  // Takes a chunk; bytes after the first line feed are dropped. Returns true once nothing more is read.
  bool take(std::string_view chunk);

  bool complete() const { return complete_; }

  // The request line once complete or once the client's data has ended: an error when nothing came or
  // the limit was reached before a line feed could end the line.
  morva::Result<std::string> finish() &&;

 private:
  std::string line_;
  bool complete_ = false;
};

}  // namespace varlin::metadata_pipe
