#include "main/console/line_reader.hpp"

#include <algorithm>

#include "morva/ccsid/utf8.hpp"

namespace varlin {

morva::Result<std::size_t> LineReader::read_line(std::string& line) {
  std::string read;
  for (;;) {
    if (begin_ == end_) {
      auto count = source_.read(buffer_);
      if (!count) return std::unexpected(count.error());
      if (*count == 0) break;
      begin_ = 0;
      end_ = std::min(*count, buffer_.size());
    }
    const auto first = buffer_.begin() + static_cast<std::ptrdiff_t>(begin_);
    const auto last = buffer_.begin() + static_cast<std::ptrdiff_t>(end_);
    const auto newline = std::find(first, last, '\n');
    const bool complete = newline != last;
    const auto taken = complete ? newline + 1 : last;
    read.append(first, taken);
    begin_ += static_cast<std::size_t>(taken - first);
    if (complete) break;
  }
  if (!morva::ccsid::is_valid_utf8(read))
    return std::unexpected(
        morva::Error::io(morva::IoErrorKind::invalid_data, "stream did not contain valid UTF-8"));
  line += read;
  return read.size();
}

}  // namespace varlin
