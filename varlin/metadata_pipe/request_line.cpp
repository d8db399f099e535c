#include "metadata_pipe/request_line.hpp"

#include <algorithm>

namespace varlin::metadata_pipe {

std::size_t RequestLineReader::next_read_size(std::size_t buffer_size) const {
  return complete_ ? 0 : std::min(buffer_size, kMaxRequestBytes - line_.size());
}

bool RequestLineReader::take(std::string_view chunk) {
  if (complete_) return true;
  chunk = chunk.substr(0, kMaxRequestBytes - line_.size());
  const auto line_feed = chunk.find('\n');
  if (line_feed != std::string_view::npos) {
    chunk = chunk.substr(0, line_feed + 1);
    complete_ = true;
  }
  line_.append(chunk);
  if (line_.size() == kMaxRequestBytes) complete_ = true;
  return complete_;
}

morva::Result<std::string> RequestLineReader::finish() && {
  if (line_.empty()) return morva::fail("empty metadata request");
  if (line_.size() == kMaxRequestBytes) return morva::fail("metadata request is too large");
  return std::move(line_);
}

}  // namespace varlin::metadata_pipe
