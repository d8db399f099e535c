#include "fake_ibmi/host/api_receivers.hpp"

#include <algorithm>

#include "fake_ibmi/host/ccsid_text.hpp"

namespace fake_ibmi {
namespace {

constexpr std::size_t kMbrd0100Length = 135;
constexpr std::size_t kFild0100Length = 400;
constexpr std::size_t kObjd0200Length = 180;
constexpr std::size_t kSsts0200Length = 148;
constexpr std::uint8_t kSourceFileFlag = 0x08;  // FILD0100 attribute byte: a source file

// Escape messages.
constexpr std::string_view kObjectNotFound = "CPF9801";
constexpr std::string_view kNotAuthorized = "CPF9802";
constexpr std::string_view kLibraryNotFound = "CPF9810";
constexpr std::string_view kFileNotFound = "CPF9812";
constexpr std::string_view kMemberNotFound = "CPF9815";

// A receiver being filled: numbers big-endian, text in the job's CCSID, blank-padded and cut to width.
class Receiver {
 public:
  Receiver(std::size_t size, std::uint16_t ccsid) : bytes_(size), ccsid_(ccsid) {}

  Receiver& u8(std::size_t offset, std::uint8_t value) {
    bytes_[offset] = value;
    return *this;
  }
  Receiver& u16(std::size_t offset, std::uint16_t value) { return number(offset, value, 2); }
  Receiver& u32(std::size_t offset, std::uint32_t value) { return number(offset, value, 4); }

  Receiver& text(std::size_t offset, std::size_t width, std::string_view text) {
    Bytes field = encode_text(text, ccsid_).value_or(Bytes{});
    field.resize(std::min(field.size(), width));
    const Bytes blank = blank_of(ccsid_);
    while (field.size() + blank.size() <= width) field.insert(field.end(), blank.begin(), blank.end());
    field.resize(width, 0);
    std::ranges::copy(field, bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    return *this;
  }

  // The first `length` bytes, with the count returned and available stated at their offsets.
  Bytes cut(std::uint32_t length, std::size_t returned_offset, std::size_t available_offset) {
    const auto returned = static_cast<std::uint32_t>(std::min<std::size_t>(length, bytes_.size()));
    u32(returned_offset, returned);
    u32(available_offset, static_cast<std::uint32_t>(bytes_.size()));
    bytes_.resize(returned);
    return std::move(bytes_);
  }

 private:
  Receiver& number(std::size_t offset, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
      bytes_[offset + i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
    return *this;
  }

  Bytes bytes_;
  std::uint16_t ccsid_;
};

// The node of a /QSYS.LIB path, or the escape message of the first part that is missing.
std::expected<std::shared_ptr<Node>, std::string> find_object(const IfsTree& tree, std::string_view library,
                                                              std::string_view file = {},
                                                              std::string_view member = {}) {
  const auto library_node = tree.find(qsys_path(library));
  if (!library_node) return std::unexpected(std::string(kLibraryNotFound));
  if (library_node->access_denied) return std::unexpected(std::string(kNotAuthorized));
  if (file.empty()) return library_node;
  const auto file_node = library_node->child(std::string(file) + ".FILE");
  if (!file_node) return std::unexpected(std::string(kFileNotFound));
  if (member.empty()) return file_node;
  const auto member_node = file_node->child(std::string(member) + ".MBR");
  if (!member_node) return std::unexpected(std::string(kMemberNotFound));
  return member_node;
}

}  // namespace

// MBRD0100: bytes returned and available at 0 and 4, file, library and member names at 8, 18 and 28,
// the file attribute at 38, the source type at 48, creation and change times at 58 and 71, the text at
// 84 and the source-file flag at 134.
ApiResult member_description(const IfsTree& tree, std::string_view library, std::string_view file,
                             std::string_view member, std::uint16_t ccsid, std::uint32_t length) {
  const auto found = find_object(tree, library, file, member);
  if (!found) return std::unexpected(found.error());
  const Node& node = **found;
  const auto file_node = tree.find(qsys_path(library, file));
  Receiver receiver(kMbrd0100Length, ccsid);
  receiver.text(8, 10, file_node->object_name())
      .text(18, 10, tree.find(qsys_path(library))->object_name())
      .text(28, 10, node.object_name())
      .text(38, 10, "PF")
      .text(48, 10, node.source_type)
      .text(58, 13, node.object.created)
      .text(71, 13, node.object.changed)
      .text(84, 50, node.object.description)
      .text(134, 1, file_node->source ? "1" : "0");
  return receiver.cut(length, 0, 4);
}

// FILD0100: bytes returned and available at 0 and 4, the attribute bytes at 8, the largest record
// length at 304.
ApiResult file_description(const IfsTree& tree, std::string_view library, std::string_view file,
                           std::uint32_t length) {
  const auto found = find_object(tree, library, file);
  if (!found) return std::unexpected(found.error());
  const Node& node = **found;
  Receiver receiver(kFild0100Length, node.ccsid);
  receiver.u8(8, node.source ? kSourceFileFlag : 0).u16(304, node.record_length);
  return receiver.cut(length, 0, 4);
}

// OBJD0200: bytes returned and available at 0 and 4, name, library, type and returned library at 8,
// 18, 28 and 38, the ASP at 48, the owner at 52, the domain at 62, creation and change times at 64 and
// 77, the extended attribute at 90, the text at 100, the source file, library and member at 150 to 179.
ApiResult object_description(const IfsTree& tree, std::string_view library, std::string_view object,
                             std::string_view type, std::uint16_t ccsid, std::uint32_t length) {
  const std::string bare_type(type.starts_with('*') ? type.substr(1) : type);
  std::shared_ptr<Node> node;
  if (bare_type == "LIB") {
    node = tree.find(qsys_path(object));
  } else {
    const auto library_node = find_object(tree, library);
    if (!library_node) return std::unexpected(library_node.error());
    node = (*library_node)->child(std::string(object) + "." + bare_type);
  }
  if (!node || bare_type == "MBR") return std::unexpected(std::string(kObjectNotFound));
  if (node->access_denied) return std::unexpected(std::string(kNotAuthorized));
  const std::string object_library = bare_type == "LIB" ? std::string("QSYS") : std::string(library);
  Receiver receiver(kObjd0200Length, ccsid);
  receiver.text(8, 10, node->object_name())
      .text(18, 10, object_library)
      .text(28, 10, "*" + node->object_type())
      .text(38, 10, object_library)
      .u32(48, node->object.asp)
      .text(52, 10, node->object.owner)
      .text(62, 2, "*S")
      .text(64, 13, node->object.created)
      .text(77, 13, node->object.changed)
      .text(90, 10, node->object.attribute)
      .text(100, 50, node->object.description)
      .text(150, 10, node->object.source_file)
      .text(160, 10, node->object.source_library)
      .text(170, 10, node->object.source_member);
  return receiver.cut(length, 0, 4);
}

// SSTS0200: bytes available and returned at 0 and 4 (in this order), the system name at 16, the system
// ASP at 48, its used part in millionths at 52, the total auxiliary storage at 56.
Bytes system_status(const HostSettings& settings, std::uint32_t length) {
  Receiver receiver(kSsts0200Length, settings.command_ccsid);
  receiver.text(16, 8, settings.system_name)
      .text(24, 6, "000000")
      .text(30, 1, "0")
      .u32(48, settings.system_asp)
      .u32(52, settings.system_asp_used)
      .u32(56, settings.total_auxiliary_storage);
  return receiver.cut(length, 4, 0);
}

}  // namespace fake_ibmi
