#include "pipe_client/strict_json.hpp"

#include <string>
#include <utility>
#include <vector>

namespace tarvik {

namespace {

using nlohmann::json;

// Builds the document from the reader's events; returning false stops the reading.
class StrictDocumentBuilder {
 public:
  explicit StrictDocumentBuilder(std::size_t max_depth) : max_depth_(max_depth) {}

  bool null() { return scalar(nullptr); }
  bool boolean(bool value) { return scalar(value); }
  bool number_integer(json::number_integer_t value) { return scalar(value); }
  bool number_unsigned(json::number_unsigned_t value) { return scalar(value); }
  bool number_float(json::number_float_t value, const json::string_t&) { return scalar(value); }
  bool string(json::string_t& value) { return scalar(std::move(value)); }
  bool binary(json::binary_t&) { return false; }

  bool start_object(std::size_t) { return open(json::object()); }
  bool start_array(std::size_t) { return open(json::array()); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  bool key(json::string_t& name) {
    json& object = *open_.back();
    if (object.contains(name)) return false;
    member_ = &object[name];
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

  json take_document() && { return std::move(document_); }

 private:
  bool scalar(json value) {
    add(std::move(value));
    return true;
  }

  json& add(json value) {
    if (open_.empty()) return document_ = std::move(value);
    json& parent = *open_.back();
    if (parent.is_array()) return parent.emplace_back(std::move(value));
    return *member_ = std::move(value);
  }

  bool open(json container) {
    if (open_.size() >= max_depth_) return false;
    open_.push_back(&add(std::move(container)));
    return true;
  }

  bool close() {
    open_.pop_back();
    return true;
  }

  std::size_t max_depth_;
  json document_;
  std::vector<json*> open_;
  json* member_ = nullptr;  // the value slot of the last key read
};

}  // namespace

std::optional<nlohmann::json> read_strict_json(std::string_view text, std::size_t max_depth) {
  StrictDocumentBuilder builder(max_depth);
  if (!json::sax_parse(text.begin(), text.end(), &builder)) return std::nullopt;
  return std::move(builder).take_document();
}

}  // namespace tarvik
