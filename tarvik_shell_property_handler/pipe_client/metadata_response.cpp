#include "pipe_client/metadata_response.hpp"

#include <charconv>
#include <limits>

#include "pipe_client/strict_json.hpp"

namespace tarvik {

namespace {

using nlohmann::json;

constexpr std::size_t kMaxNesting = 128;

// One record of the reply: a JSON object read by key, or a JSON array read by position that holds
// every field.
class Record {
 public:
  static std::optional<Record> open(const json& value, std::size_t field_count) {
    if (value.is_object() || (value.is_array() && value.size() == field_count)) return Record(value);
    return std::nullopt;
  }

  // The field's value; nullptr when the object lacks the key.
  const json* field(std::size_t position, const char* key) const {
    if (value_->is_array()) return &(*value_)[position];
    const auto found = value_->find(key);
    return found == value_->end() ? nullptr : &*found;
  }

 private:
  explicit Record(const json& value) : value_(&value) {}

  const json* value_;
};

// Whole numbers only (1.0 is refused); the JSON library reads "-0" as a signed integer.
bool read_value(const json& value, std::uint32_t& out) {
  if (!value.is_number_integer() || (!value.is_number_unsigned() && value.get<std::int64_t>() < 0))
    return false;
  const auto number = value.get<std::uint64_t>();
  if (number > std::numeric_limits<std::uint32_t>::max()) return false;
  out = static_cast<std::uint32_t>(number);
  return true;
}

bool read_value(const json& value, std::string& out) {
  if (!value.is_string()) return false;
  out = value.get_ref<const std::string&>();
  return true;
}

bool read_value(const json& value, bool& out) {
  if (!value.is_boolean()) return false;
  out = value.get<bool>();
  return true;
}

bool read_value(const json& value, FileProperties& out);
bool read_value(const json& value, MetadataResult& out);

template <typename T>
bool read_required(const json* value, T& out) {
  return value != nullptr && read_value(*value, out);
}

template <typename T>
bool read_optional(const json* value, std::optional<T>& out) {
  if (value == nullptr || value->is_null()) return true;
  T read{};
  if (!read_value(*value, read)) return false;
  out = std::move(read);
  return true;
}

bool read_value(const json& value, FileProperties& out) {
  const auto record = Record::open(value, 8);
  return record && read_optional(record->field(0, "path"), out.path) &&
         read_optional(record->field(1, "library"), out.library) &&
         read_optional(record->field(2, "sourceFile"), out.source_file) &&
         read_optional(record->field(3, "member"), out.member) &&
         read_optional(record->field(4, "sourceType"), out.source_type) &&
         read_optional(record->field(5, "ccsid"), out.ccsid) &&
         read_optional(record->field(6, "recordLength"), out.record_length) &&
         read_optional(record->field(7, "description"), out.description);
}

bool read_value(const json& value, MetadataResult& out) {
  const auto record = Record::open(value, 2);
  return record && read_required(record->field(0, "path"), out.path) &&
         read_required(record->field(1, "properties"), out.properties);
}

}  // namespace

std::string_view reply_line(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\n'));
}

std::optional<MetadataResponse> read_metadata_response(std::string_view line) {
  const auto document = read_strict_json(line, kMaxNesting);
  if (!document) return std::nullopt;
  const auto record = Record::open(*document, 5);
  MetadataResponse response;
  if (!record || !read_required(record->field(0, "version"), response.version) ||
      !read_required(record->field(1, "mountId"), response.mount_id) ||
      !read_required(record->field(2, "ok"), response.ok) ||
      !read_optional(record->field(3, "result"), response.result) ||
      !read_optional(record->field(4, "code"), response.code))
    return std::nullopt;
  return response;
}

std::optional<std::uint32_t> parse_mount_id(std::string_view text) {
  while (text.starts_with("0x")) text.remove_prefix(2);
  if (text.starts_with('+')) text.remove_prefix(1);
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace tarvik
