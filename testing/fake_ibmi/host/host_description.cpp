#include "fake_ibmi/host/host_description.hpp"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>

namespace fake_ibmi {
namespace {

using nlohmann::json;

// Reads one JSON object of the description; a wrong shape throws std::invalid_argument naming `where`.
class Fields {
 public:
  Fields(const json& object, std::string where, std::initializer_list<std::string_view> known)
      : object_(object), where_(std::move(where)) {
    if (!object_.is_object()) fail("is not an object");
    for (const auto& [key, value] : object_.items()) {
      if (std::ranges::find(known, key) == known.end()) fail(fmt::format("has an unknown key \"{}\"", key));
    }
  }

  std::string text(std::string_view key, std::string fallback = {}) const {
    const json* value = find(key);
    if (!value) return fallback;
    if (!value->is_string()) fail(fmt::format("\"{}\" is not a string", key));
    return value->get<std::string>();
  }

  std::string required_text(std::string_view key) const {
    if (!find(key)) fail(fmt::format("lacks \"{}\"", key));
    return text(key);
  }

  template <typename Number>
  Number number(std::string_view key, Number fallback) const {
    const json* value = find(key);
    if (!value) return fallback;
    if (!value->is_number_unsigned() || value->get<std::uint64_t>() > std::numeric_limits<Number>::max())
      fail(fmt::format("\"{}\" is not a number from 0 to {}", key, std::numeric_limits<Number>::max()));
    return value->get<Number>();
  }

  // The elements of an array, each with its place for messages.
  std::vector<std::pair<const json*, std::string>> list(std::string_view key) const {
    std::vector<std::pair<const json*, std::string>> elements;
    const json* value = find(key);
    if (!value) return elements;
    if (!value->is_array()) fail(fmt::format("\"{}\" is not an array", key));
    for (std::size_t i = 0; i < value->size(); ++i) {
      elements.emplace_back(&(*value)[i], fmt::format("{}.{}[{}]", where_, key, i));
    }
    return elements;
  }

  std::vector<std::string> texts(std::string_view key) const {
    std::vector<std::string> result;
    for (const auto& [element, where] : list(key)) {
      if (!element->is_string()) throw std::invalid_argument(fmt::format("{} is not a string", where));
      result.push_back(element->get<std::string>());
    }
    return result;
  }

  const json* find(std::string_view key) const {
    const auto found = object_.find(key);
    return found == object_.end() ? nullptr : &*found;
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument(fmt::format("{} {}", where_, what));
  }

 private:
  const json& object_;
  std::string where_;
};

void read_library(const Fields& library, IfsTree& tree) {
  const std::string name = library.required_text("name");
  tree.add_library(name, library.text("description"));
  for (const auto& [element, where] : library.list("source_files")) {
    const Fields file(*element, where, {"name", "record_length", "ccsid", "description", "members"});
    const std::string file_name = file.required_text("name");
    const SourceFileOptions defaults;
    tree.add_source_file(
        name, file_name,
        {.record_length = file.number<std::uint16_t>("record_length", defaults.record_length),
         .ccsid = file.number<std::uint16_t>("ccsid", defaults.ccsid),
         .description = file.text("description")});
    for (const auto& [member_element, member_where] : file.list("members")) {
      const Fields member(*member_element, member_where, {"name", "source_type", "description", "lines"});
      tree.add_member(name, file_name, member.required_text("name"),
                      {.lines = member.texts("lines"),
                       .source_type = member.text("source_type"),
                       .description = member.text("description")});
    }
  }
  for (const auto& [element, where] : library.list("data_files")) {
    const Fields file(*element, where, {"name", "record_length"});
    tree.add_data_file(name, file.required_text("name"), file.number<std::uint16_t>("record_length", 80));
  }
  for (const auto& [element, where] : library.list("objects")) {
    const Fields object(*element, where,
                        {"name", "type", "attribute", "owner", "description", "source_file", "source_library",
                         "source_member"});
    const ObjectInfo defaults;
    tree.add_object(name, object.required_text("name"), object.required_text("type"),
                    {.attribute = object.text("attribute"),
                     .owner = object.text("owner", defaults.owner),
                     .description = object.text("description"),
                     .source_file = object.text("source_file"),
                     .source_library = object.text("source_library"),
                     .source_member = object.text("source_member")});
  }
}

HostDescription read_description(const json& document) {
  const Fields top(document, "description",
                   {"users", "password_level", "command_ccsid", "directories", "files", "libraries"});
  HostDescription description;
  HostSettings& settings = description.settings;
  if (const json* users = top.find("users")) {
    if (!users->is_object()) top.fail("\"users\" is not an object");
    for (const auto& [user, password] : users->items()) {
      if (!password.is_string()) top.fail(fmt::format("password of user \"{}\" is not a string", user));
      settings.users[user] = password.get<std::string>();
    }
  }
  settings.password_level = top.number<std::uint8_t>("password_level", settings.password_level);
  if (settings.password_level > 3) top.fail("\"password_level\" is not 0 to 3");
  settings.command_ccsid = top.number<std::uint16_t>("command_ccsid", settings.command_ccsid);
  IfsTree& tree = description.tree;
  for (const std::string& directory : top.texts("directories")) tree.add_directory(directory);
  for (const auto& [element, where] : top.list("files")) {
    const Fields file(*element, where, {"path", "text", "ccsid"});
    tree.add_file(file.required_text("path"), file.text("text"),
                  file.number<std::uint16_t>("ccsid", kStreamFileCcsid));
  }
  for (const auto& [element, where] : top.list("libraries")) {
    read_library(Fields(*element, where, {"name", "description", "source_files", "data_files", "objects"}),
                 tree);
  }
  return description;
}

}  // namespace

std::expected<HostDescription, std::string> parse_host_description(std::string_view text) {
  try {
    return read_description(json::parse(text));
  } catch (const json::parse_error& error) {
    return std::unexpected(fmt::format("description is not valid JSON: {}", error.what()));
  } catch (const std::invalid_argument& error) {
    return std::unexpected(std::string(error.what()));
  }
}

std::expected<HostDescription, std::string> read_host_description(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::unexpected(fmt::format("cannot read {}", path));
  std::stringstream text;
  text << file.rdbuf();
  auto description = parse_host_description(text.str());
  if (!description) return std::unexpected(fmt::format("{}: {}", path, description.error()));
  return description;
}

}  // namespace fake_ibmi
