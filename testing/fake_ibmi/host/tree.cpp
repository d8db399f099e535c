#include "fake_ibmi/host/tree.hpp"

#include <fmt/format.h>

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <ctime>
#include <stdexcept>

#include "fake_ibmi/host/ccsid_text.hpp"

namespace fake_ibmi {
namespace {

constexpr std::size_t kMaxQsysName = 10;
constexpr std::size_t kMaxIfsName = 255;
// The file system below the root in which names differ by case.
constexpr std::string_view kQOpenSys = "QOpenSys";

char upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upper(std::string_view text) {
  std::string result(text);
  std::ranges::transform(result, result.begin(), [](char c) { return upper(c); });
  return result;
}

bool is_ascii(std::string_view text) {
  return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::vector<std::string_view> components(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    if (!part.empty()) parts.push_back(part);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return parts;
}

// A QSYS object name: up to ten of A-Z, 0-9, #, $, @, _ and '.', not beginning with a digit, '_' or '.'.
bool is_qsys_name(std::string_view name) {
  if (name.empty() || name.size() > kMaxQsysName) return false;
  const auto allowed = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#' || c == '$' || c == '@' || c == '_' ||
           c == '.';
  };
  const char first = name.front();
  return std::ranges::all_of(name, allowed) && !(first >= '0' && first <= '9') && first != '_' &&
         first != '.';
}

bool is_ifs_name(std::string_view name) {
  return !name.empty() && name.size() <= kMaxIfsName && name != "." && name != ".." &&
         name.find('\0') == std::string_view::npos;
}

// A name of the form NAME.TYPE with a QSYS name and the given type, upper-cased; or nothing.
std::optional<std::string> qsys_child_name(std::string_view name, std::string_view type) {
  const std::string full = upper(name);
  const std::size_t dot = full.rfind('.');
  if (dot == std::string::npos || full.substr(dot + 1) != type) return std::nullopt;
  if (!is_qsys_name(std::string_view(full).substr(0, dot))) return std::nullopt;
  return full;
}

std::string parent_of(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos || slash == 0 ? std::string("/")
                                                       : std::string(path.substr(0, slash));
}

std::string last_of(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::shared_ptr<Node> new_node(std::string name, NodeKind kind) {
  auto node = std::make_shared<Node>();
  node->name = std::move(name);
  node->kind = kind;
  return node;
}

[[noreturn]] void refuse(std::string text) {
  throw std::invalid_argument(std::move(text));
}

}  // namespace

std::string qsys_timestamp(std::uint32_t seconds) {
  const std::time_t time = seconds;
  std::tm utc{};
  gmtime_r(&time, &utc);
  return fmt::format("{}{:02}{:02}{:02}{:02}{:02}{:02}", (utc.tm_year + 1900) / 100 - 19, utc.tm_year % 100,
                     utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

std::string qsys_path(std::string_view library, std::string_view file, std::string_view member) {
  std::string path = fmt::format("/QSYS.LIB/{}.LIB", library);
  if (!file.empty()) path += fmt::format("/{}.FILE", file);
  if (!member.empty()) path += fmt::format("/{}.MBR", member);
  return path;
}

char32_t unicode_upper(char32_t c) {
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  if (!unicode) return c < 0x80 ? static_cast<char32_t>(upper(static_cast<char>(c))) : c;
  return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), unicode));
}

bool same_name(std::string_view a, std::string_view b) {
  const auto ascii_equal = [&] {
    return a.size() == b.size() &&
           std::ranges::equal(a, b, [](char x, char y) { return upper(x) == upper(y); });
  };
  if (is_ascii(a) && is_ascii(b)) return ascii_equal();
  const auto x = code_points(a);
  const auto y = code_points(b);
  if (!x || !y) return ascii_equal();
  return std::ranges::equal(*x, *y,
                            [](char32_t p, char32_t q) { return unicode_upper(p) == unicode_upper(q); });
}

bool Node::is_directory() const {
  return kind == NodeKind::directory || kind == NodeKind::library || kind == NodeKind::database_file;
}

void Node::grow_to(std::size_t size) {
  if (size <= data.size()) return;
  if (kind != NodeKind::member) {
    data.resize(size, 0);
    return;
  }
  const Bytes blank = blank_of(ccsid);
  while (data.size() + blank.size() <= size) data.insert(data.end(), blank.begin(), blank.end());
  data.resize(size, 0);
}

void Node::complete_last_record() {
  const std::size_t length = source_length();
  if (kind != NodeKind::member || length == 0 || data.size() % length == 0) return;
  grow_to(data.size() + length - data.size() % length);
}

void Node::touch(std::uint32_t now) {
  modified = now;
  object.changed = qsys_timestamp(now);
}

bool Node::holds(const Node& other) const {
  return this == &other ||
         std::ranges::any_of(children, [&](const auto& child) { return child->holds(other); });
}

std::shared_ptr<Node> Node::child(std::string_view child_name) const {
  const auto found = std::ranges::find_if(children, [&](const auto& node) {
    return exact_names ? node->name == child_name : same_name(node->name, child_name);
  });
  return found == children.end() ? nullptr : *found;
}

std::string Node::object_name() const {
  return name.substr(0, name.rfind('.'));
}

std::string Node::object_type() const {
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

IfsTree::IfsTree()
    : root_(new_node("", NodeKind::directory)), qsys_(new_node("QSYS.LIB", NodeKind::directory)) {
  qsys_->ccsid = 1200;
  root_->ccsid = 1200;
  root_->children.push_back(qsys_);
}

Lookup IfsTree::lookup(std::string_view path) const {
  // Each node on the way with the component that named it.
  struct Step {
    std::shared_ptr<Node> node;
    std::string_view written;
  };
  std::vector<Step> trail{{root_, {}}};
  bool denied = false;
  const auto parts = components(path);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string_view part = parts[i];
    if (part == "." || part == "..") {
      if (part == ".." && trail.size() > 1) trail.pop_back();
      continue;
    }
    const std::shared_ptr<Node> directory = trail.back().node;
    if (!directory->is_directory()) return {.name = std::string(part), .denied = denied};
    denied = denied || directory->access_denied;
    auto node = directory->child(part);
    if (!node) {
      const bool last = i + 1 == parts.size();
      return {.parent = last ? directory : nullptr, .name = std::string(part), .denied = denied};
    }
    trail.push_back({std::move(node), part});
  }
  const bool is_root = trail.size() == 1;
  return {.parent = is_root ? root_ : trail[trail.size() - 2].node,
          .node = trail.back().node,
          .name = std::string(trail.back().written),
          .denied = denied};
}

std::shared_ptr<Node> IfsTree::make_child(const Node& parent, std::string_view name, bool directory,
                                          std::uint32_t now) const {
  std::shared_ptr<Node> node;
  if (&parent == qsys_.get()) {
    if (const auto library = qsys_child_name(name, "LIB"); library && directory) {
      node = new_node(*library, NodeKind::library);
      node->object.attribute = "PROD";
    }
  } else if (parent.kind == NodeKind::library) {
    if (const auto file = qsys_child_name(name, "FILE"); file && directory) {
      node = new_node(*file, NodeKind::database_file);
      node->object.attribute = "PF";
      node->source = true;
      node->record_length = SourceFileOptions{}.record_length;
      node->ccsid = SourceFileOptions{}.ccsid;
    }
  } else if (parent.kind == NodeKind::database_file) {
    if (const auto member = qsys_child_name(name, "MBR"); member && !directory) {
      node = new_node(*member, NodeKind::member);
      node->object.attribute = parent.source ? "PF-SRC" : "PF-DTA";
      node->record_length = parent.record_length;
      node->ccsid = parent.ccsid;
    }
  } else if (parent.kind == NodeKind::directory && is_ifs_name(name)) {
    node = directory ? new_directory(parent, name) : new_node(std::string(name), NodeKind::stream_file);
  }
  if (!node) return nullptr;
  node->modified = now;
  node->object.created = node->object.changed = qsys_timestamp(now);
  return node;
}

std::optional<std::string> IfsTree::name_for(const Node& parent, const Node& node,
                                             std::string_view name) const {
  if (node.kind == NodeKind::object) {
    if (parent.kind != NodeKind::library) return std::nullopt;
    return qsys_child_name(name, node.object_type());
  }
  const auto made = make_child(parent, name, node.is_directory(), 0);
  if (!made || made->kind != node.kind) return std::nullopt;
  return made->name;
}

std::shared_ptr<Node> IfsTree::new_directory(const Node& parent, std::string_view name) const {
  auto directory = new_node(std::string(name), NodeKind::directory);
  directory->exact_names = parent.exact_names || (&parent == root_.get() && same_name(name, kQOpenSys));
  return directory;
}

bool IfsTree::is_qsys_directory(const Node& directory) const {
  return &directory == qsys_.get() || directory.kind == NodeKind::library ||
         directory.kind == NodeKind::database_file;
}

std::shared_ptr<Node> IfsTree::add(std::string_view parent_path, std::shared_ptr<Node> node) {
  const auto parent = find(parent_path);
  if (!parent || !parent->is_directory())
    refuse(fmt::format("{} is not a directory of the tree", parent_path));
  if (parent->child(node->name)) refuse(fmt::format("{}/{} is already in the tree", parent_path, node->name));
  parent->children.push_back(node);
  return node;
}

IfsTree& IfsTree::add_directory(std::string_view path) {
  std::string made;
  for (const std::string_view part : components(path)) {
    const std::string parent = made.empty() ? "/" : made;
    made += "/";
    made += part;
    if (const auto existing = find(made)) {
      if (!existing->is_directory()) refuse(fmt::format("{} is not a directory of the tree", made));
      continue;
    }
    if (!is_ifs_name(part) || find(parent).get() == qsys_.get() || find(parent)->kind != NodeKind::directory)
      refuse(fmt::format("{} cannot be made as a directory", made));
    add(parent, new_directory(*find(parent), part));
  }
  return *this;
}

IfsTree& IfsTree::add_file(std::string_view path, std::string_view content, std::uint16_t ccsid) {
  const std::string parent = parent_of(path);
  add_directory(parent);
  if (find(parent).get() == qsys_.get() || !is_ifs_name(last_of(path)))
    refuse(fmt::format("{} cannot be made as a stream file", path));
  auto file = new_node(last_of(path), NodeKind::stream_file);
  file->data.assign(content.begin(), content.end());
  file->ccsid = ccsid;
  add(parent, std::move(file));
  return *this;
}

IfsTree& IfsTree::add_library(std::string_view library, std::string_view description) {
  auto node = make_child(*qsys_, fmt::format("{}.LIB", library), true, kBuiltTime);
  if (!node) refuse(fmt::format("{} is not a library name", library));
  node->object.description = description;
  node->object.owner = "QSECOFR";
  add("/QSYS.LIB", std::move(node));
  return *this;
}

IfsTree& IfsTree::add_source_file(std::string_view library, std::string_view file,
                                  SourceFileOptions options) {
  if (!is_known_ccsid(options.ccsid)) refuse(fmt::format("CCSID {} of {} is not known", options.ccsid, file));
  if (options.record_length <= 12)
    refuse(fmt::format("record length {} of {} holds no text", options.record_length, file));
  auto node = new_node(upper(fmt::format("{}.FILE", file)), NodeKind::database_file);
  node->source = true;
  node->record_length = options.record_length;
  node->ccsid = options.ccsid;
  node->object.attribute = "PF";
  node->object.description = options.description;
  add(qsys_path(library), std::move(node));
  return *this;
}

IfsTree& IfsTree::add_data_file(std::string_view library, std::string_view file,
                                std::uint16_t record_length) {
  auto node = new_node(upper(fmt::format("{}.FILE", file)), NodeKind::database_file);
  node->record_length = record_length;
  node->object.attribute = "PF";
  add(qsys_path(library), std::move(node));
  return *this;
}

IfsTree& IfsTree::add_member(std::string_view library, std::string_view file, std::string_view member,
                             MemberOptions options) {
  const std::string file_path = qsys_path(library, file);
  const auto parent = find(file_path);
  if (!parent || parent->kind != NodeKind::database_file || !parent->source)
    refuse(fmt::format("{} is not a source file of the tree", file_path));
  auto node = make_child(*parent, fmt::format("{}.MBR", member), false, kBuiltTime);
  if (!node) refuse(fmt::format("{} is not a member name", member));
  for (std::size_t i = 0; i < options.lines.size(); ++i) {
    const auto record = encode_field(options.lines[i], node->ccsid, node->source_length());
    if (!record) refuse(fmt::format("line {} of member {} does not fit a record", i + 1, member));
    node->data.insert(node->data.end(), record->begin(), record->end());
  }
  node->source_type = upper(options.source_type);
  node->object.description = options.description;
  add(file_path, std::move(node));
  return *this;
}

IfsTree& IfsTree::add_object(std::string_view library, std::string_view object, std::string_view type,
                             ObjectInfo info) {
  const std::string name = upper(fmt::format("{}.{}", object, type));
  const std::string kind = upper(type);
  if (!is_qsys_name(upper(object)) || kind == "LIB" || kind == "FILE" || kind == "MBR")
    refuse(fmt::format("{} cannot be made as an object", name));
  auto node = new_node(name, NodeKind::object);
  node->object = std::move(info);
  add(qsys_path(library), std::move(node));
  return *this;
}

IfsTree& IfsTree::deny_access(std::string_view path) {
  const auto node = find(path);
  if (!node) refuse(fmt::format("{} is not in the tree", path));
  node->access_denied = true;
  return *this;
}

std::optional<Bytes> IfsTree::file_bytes(std::string_view path) const {
  const auto node = find(path);
  if (!node || node->is_directory()) return std::nullopt;
  return node->data;
}

std::optional<std::vector<std::string>> IfsTree::member_lines(std::string_view library, std::string_view file,
                                                              std::string_view member) const {
  const auto node = find(qsys_path(library, file, member));
  if (!node || node->kind != NodeKind::member || node->source_length() == 0) return std::nullopt;
  std::vector<std::string> lines;
  const std::span<const std::uint8_t> data = node->data;
  for (std::size_t offset = 0; offset < data.size(); offset += node->source_length()) {
    const auto record = data.subspan(offset, std::min(node->source_length(), data.size() - offset));
    lines.push_back(trim_right(decode_text(record, node->ccsid).value_or("?")));
  }
  return lines;
}

}  // namespace fake_ibmi
