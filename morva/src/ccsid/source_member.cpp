#include "morva/ccsid/source_member.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <new>

#include "morva/ccsid/unicode_tables.hpp"
#include "morva/ccsid/utf8.hpp"

namespace morva::ccsid {
namespace {

// The record's sequence number and date, which the member data does not hold.
constexpr std::uint64_t kRecordPrefixLength = 12;

Result<std::uint64_t> source_length_of(std::uint64_t record_length) {
  if (record_length <= kRecordPrefixLength) {
    return fail(fmt::format("source record length {} does not include source text", record_length));
  }
  return record_length - kRecordPrefixLength;
}

// Blanks control characters in place; a C1 control (two UTF-8 bytes) shrinks to one blank.
void blank_controls_in_place(std::string& text) {
  std::size_t out = 0;
  for (std::size_t in = 0; in < text.size(); ++in) {
    const auto byte = static_cast<std::uint8_t>(text[in]);
    if (byte < 0x20 || byte == 0x7F) {
      text[out++] = ' ';
    } else if (byte == 0xC2 && in + 1 < text.size() && static_cast<std::uint8_t>(text[in + 1]) >= 0x80 &&
               static_cast<std::uint8_t>(text[in + 1]) <= 0x9F) {
      text[out++] = ' ';
      ++in;
    } else {
      text[out++] = text[in];
    }
  }
  text.resize(out);
}

// Removes trailing White_Space characters from valid UTF-8 text.
void trim_trailing_white_space(std::string& text) {
  while (!text.empty()) {
    std::size_t start = text.size() - 1;
    char32_t code_point = static_cast<std::uint8_t>(text[start]);
    if (code_point >= 0x80) {
      while (start > 0 && (static_cast<std::uint8_t>(text[start]) & 0xC0) == 0x80) --start;
      const Utf8Step step = read_utf8(text, start);
      if (step.kind != Utf8Step::Kind::character) return;
      code_point = step.code_point;
    }
    if (!is_white_space(code_point)) return;
    text.resize(start);
  }
}

// Claims the whole output (one field per line) at once, so a record length too large for memory gives
// an error rather than an exception.
Result<void> reserve_fields(std::vector<std::uint8_t>& bytes, std::uint64_t lines,
                            std::uint64_t source_length) {
  if (lines == 0) return {};
  try {
    if (source_length <= bytes.max_size() / lines) {
      bytes.reserve(lines * source_length);
      return {};
    }
  } catch (const std::bad_alloc&) {
  }
  return fail(fmt::format("source member of {} lines with source length {} does not fit in memory", lines,
                          source_length));
}

// Calls `line(text)` for each line: cut after every "\n", which goes, with one "\r" before it.
template <typename LineFunction>
auto for_each_line(std::string_view text, LineFunction line) -> decltype(line(text)) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view piece = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (end != std::string_view::npos && piece.ends_with('\r')) piece.remove_suffix(1);
    if (auto result = line(piece); !result) return result;
  }
  return {};
}

}  // namespace

std::string blank_controls(std::string_view text) {
  std::string result(text);
  blank_controls_in_place(result);
  return result;
}

Result<std::string> decode_source_member(std::span<const std::uint8_t> bytes, Ccsid ccsid,
                                         std::uint64_t record_length) {
  const auto source_length = source_length_of(record_length);
  if (!source_length) return std::unexpected(source_length.error());
  const std::uint64_t size = bytes.size();
  if (size % *source_length != 0) {
    return fail(
        fmt::format("source member size {} is not a multiple of source length {}", size, *source_length));
  }
  std::string text;
  if (size == 0) return text;
  const auto codec = codec_for(ccsid);
  if (!codec) return std::unexpected(codec.error());
  text.reserve(size + size / *source_length);
  for (std::uint64_t offset = 0; offset < size; offset += *source_length) {
    auto line = (*codec)->decode(bytes.subspan(offset, *source_length));
    if (!line) return std::unexpected(line.error());
    blank_controls_in_place(*line);
    trim_trailing_white_space(*line);
    text += *line;
    text += '\n';
  }
  return text;
}

Result<std::vector<std::uint8_t>> encode_source_member(std::string_view text, Ccsid ccsid,
                                                       std::uint64_t record_length) {
  const auto source_length = source_length_of(record_length);
  if (!source_length) return std::unexpected(source_length.error());
  const auto codec = codec_for(ccsid);
  if (!codec) return std::unexpected(codec.error());
  const auto blank = (*codec)->encode(" ");
  if (!blank) return std::unexpected(blank.error());

  std::vector<std::uint8_t> bytes;
  const std::uint64_t lines =
      text.empty() ? 0 : std::count(text.begin(), text.end(), '\n') + (text.ends_with('\n') ? 0 : 1);
  if (auto reserved = reserve_fields(bytes, lines, *source_length); !reserved)
    return std::unexpected(reserved.error());
  std::uint64_t line_number = 0;
  const auto result = for_each_line(text, [&](std::string_view line) -> Result<void> {
    ++line_number;
    auto field = (*codec)->encode(line);
    if (!field) {
      std::string message = fmt::format("source line {}: {}", line_number, field.error().text());
      const auto fault = field.error().text_fault();
      return std::unexpected(fault ? Error::text_fault(*fault, std::move(message))
                                   : Error::message(std::move(message)));
    }
    if (field->size() > *source_length) {
      return std::unexpected(
          Error::text_fault(TextFault::does_not_fit,
                            fmt::format("source line {} encodes to {} bytes but the source file allows {}",
                                        line_number, field->size(), *source_length)));
    }
    // Blanks fill the field exactly or the field cannot be padded.
    const std::uint64_t gap = *source_length - field->size();
    if (gap % blank->size() != 0) {
      return std::unexpected(Error::text_fault(
          TextFault::does_not_fit, fmt::format("CCSID {} space width {} cannot pad a {}-byte source field",
                                               ccsid, blank->size(), *source_length)));
    }
    const std::size_t start = bytes.size();
    bytes.resize(start + *source_length);
    auto out = std::copy(field->begin(), field->end(), bytes.begin() + start);
    while (out != bytes.end()) out = std::copy(blank->begin(), blank->end(), out);
    return {};
  });
  if (!result) return std::unexpected(result.error());
  return bytes;
}

}  // namespace morva::ccsid
