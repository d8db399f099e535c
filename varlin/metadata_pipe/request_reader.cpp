#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <limits>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "metadata_pipe/request.hpp"

namespace varlin::metadata_pipe {

namespace {

using Json = nlohmann::json;

// Hands the parser the line's bytes and counts how many it has taken, so that faults found by the
// reader (not by the parser) can still be placed.
class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingIterator(const char* at, std::size_t* taken) : at_(at), taken_(taken) {}

  reference operator*() const { return *at_; }
  CountingIterator& operator++() {
    ++at_;
    ++*taken_;
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator before = *this;
    ++*this;
    return before;
  }
  friend bool operator==(const CountingIterator& a, const CountingIterator& b) { return a.at_ == b.at_; }

 private:
  const char* at_;
  std::size_t* taken_;
};

enum class Field { version, method, path, other };

constexpr std::array<std::string_view, 3> kFieldKeys = {"version", "method", "path"};
constexpr std::size_t kFieldCount = kFieldKeys.size();

Field field_of_key(std::string_view key) {
  for (std::size_t i = 0; i < kFieldCount; ++i)
    if (kFieldKeys[i] == key) return static_cast<Field>(i);
  return Field::other;
}

// Line and column (from 1) of the last of the first `taken` bytes.
std::string position_text(std::string_view line, std::size_t taken) {
  const std::string_view before = line.substr(0, taken);
  const std::size_t line_number = 1 + static_cast<std::size_t>(std::ranges::count(before, '\n'));
  const std::size_t last_feed = before.rfind('\n');
  const std::size_t line_start = last_feed == std::string_view::npos ? 0 : last_feed + 1;
  return fmt::format("line {}, column {}", line_number, before.size() - line_start);
}

// Builds a Request from the parser's events. Depth 1 is the request's own object or array; values
// of unknown keys below it are skipped, but never deeper than kMaxRequestDepth.
class RequestReader {
 public:
  RequestReader(std::string_view line, const std::size_t* taken) : line_(line), taken_(taken) {}

  bool null() { return value_of_type("null"); }
  bool boolean(bool value) { return value_of_type(value ? "boolean `true`" : "boolean `false`"); }
  // The parser gives only negative texts (and -0) as signed integers.
  bool number_integer(Json::number_integer_t value) {
    if (value >= 0) return number_unsigned(static_cast<Json::number_unsigned_t>(value));
    if (!begin_value()) return false;
    if (skipping()) return true;
    if (field_ == Field::version)
      return fail(fmt::format("invalid value: integer `{}`, expected u32", value));
    return fail_type("integer");
  }
  bool number_unsigned(Json::number_unsigned_t value) {
    if (!begin_value()) return false;
    if (skipping()) return true;
    if (field_ != Field::version) return fail_type("integer");
    if (value > std::numeric_limits<std::uint32_t>::max())
      return fail(fmt::format("invalid value: integer `{}`, expected u32", value));
    request_.version = static_cast<std::uint32_t>(value);
    return true;
  }
  bool number_float(Json::number_float_t, const Json::string_t&) { return value_of_type("floating point"); }
  bool string(Json::string_t& value) {
    if (!begin_value()) return false;
    if (skipping()) return true;
    if (field_ == Field::method) {
      request_.method = std::move(value);
      return true;
    }
    if (field_ == Field::path) {
      request_.path = std::move(value);
      return true;
    }
    return fail_type("string");
  }
  bool binary(Json::binary_t&) { return value_of_type("bytes"); }

  bool start_object(std::size_t) { return open("map", Form::object); }
  bool start_array(std::size_t) { return open("sequence", Form::array); }
  bool end_array() { return close(); }
  bool end_object() {
    if (depth_ == 1) {
      for (std::size_t i = 0; i < kFieldCount; ++i)
        if (!seen_[i]) return fail(fmt::format("missing field `{}`", kFieldKeys[i]));
    }
    return close();
  }

  bool key(Json::string_t& key) {
    if (depth_ != 1) return true;
    field_ = field_of_key(key);
    if (field_ == Field::other) return true;
    const auto index = static_cast<std::size_t>(field_);
    if (seen_[index]) return fail(fmt::format("duplicate field `{}`", kFieldKeys[index]));
    seen_[index] = true;
    return true;
  }

  // The parser's syntax errors already name line and column; its range errors (a number too large for
  // a double) do not.
  bool parse_error(std::size_t position, const std::string&, const Json::exception& error) {
    if (dynamic_cast<const Json::parse_error*>(&error) != nullptr) {
      error_ = error.what();
    } else {
      error_ = fmt::format("{} at {}", error.what(), position_text(line_, position));
    }
    return false;
  }

  morva::Result<Request> result(bool parsed) {
    if (!parsed) return morva::fail(std::move(error_));
    return std::move(request_);
  }

 private:
  enum class Form { none, object, array };

  bool skipping() const { return depth_ > 1 || (form_ == Form::object && field_ == Field::other); }

  // Checks the place of a value that is about to be read and, in the array form, names its field.
  bool begin_value() {
    if (depth_ == 0) return true;
    if (depth_ == 1 && form_ == Form::array) {
      if (elements_ == kFieldCount) return fail("invalid length, struct Request has only 3 elements");
      field_ = static_cast<Field>(elements_);
      seen_[elements_] = true;
      ++elements_;
    }
    return true;
  }

  bool value_of_type(std::string_view what) {
    if (!begin_value()) return false;
    return skipping() || fail_type(what);
  }

  bool fail_type(std::string_view what) {
    if (depth_ == 0) return fail(fmt::format("invalid type: {}, expected struct Request", what));
    const bool number = field_ == Field::version;
    return fail(fmt::format("invalid type: {}, expected {}", what, number ? "u32" : "a string"));
  }

  bool open(std::string_view what, Form form) {
    if (!begin_value()) return false;
    if (depth_ == kMaxRequestDepth)
      return fail(fmt::format("metadata request nests deeper than {} levels", kMaxRequestDepth));
    if (depth_ == 0) {
      form_ = form;
    } else if (!skipping()) {
      return fail_type(what);
    }
    ++depth_;
    return true;
  }

  bool close() {
    if (depth_ == 1 && form_ == Form::array && elements_ < kFieldCount)
      return fail(fmt::format("invalid length {}, expected struct Request with 3 elements", elements_));
    --depth_;
    if (depth_ == 1 && form_ == Form::object) field_ = Field::other;
    return true;
  }

  bool fail(std::string_view message) {
    error_ = fmt::format("{} at {}", message, position_text(line_, *taken_));
    return false;
  }

  std::string_view line_;
  const std::size_t* taken_;
  Request request_;
  Form form_ = Form::none;
  std::size_t depth_ = 0;
  std::size_t elements_ = 0;
  Field field_ = Field::other;
  std::array<bool, kFieldCount> seen_{};
  std::string error_;
};

}  // namespace

morva::Result<Request> Request::deserialize(std::string_view line) {
  // The parser would pass over a byte-order mark, which is not JSON white space.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (line.starts_with(kByteOrderMark))
    return morva::fail(fmt::format("byte-order mark before the request at {}", position_text(line, 1)));
  std::size_t taken = 0;
  const CountingIterator first(line.data(), &taken);
  const CountingIterator last(line.data() + line.size(), &taken);
  RequestReader reader(line, &taken);
  return reader.result(Json::sax_parse(first, last, &reader));
}

}  // namespace varlin::metadata_pipe
