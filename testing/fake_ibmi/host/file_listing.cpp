// Listings by name pattern and the attributes of an open file: one 0x8005 reply per entry, chained,
// ended by a 0x8001 reply with return code 18 (no more files).
#include "fake_ibmi/host/ccsid_text.hpp"
#include "fake_ibmi/host/file_conversation.hpp"
#include "fake_ibmi/packet_builder.hpp"

namespace fake_ibmi {
namespace {

constexpr std::uint16_t kEntryReplyId = 0x8005;
constexpr std::uint16_t kMore = 1;  // chain indicator: another reply follows
constexpr std::uint16_t kEntryTemplateLength = 73;
constexpr std::uint16_t kNameCp = 0x0002;
constexpr std::uint16_t kObjectAttributesCp = 0x000F;
constexpr std::size_t kObjectAttributesLength = 144;
constexpr std::size_t kObjectCcsidOffset = 134;  // into the object attributes
constexpr std::uint16_t kFileType = 1;
constexpr std::uint16_t kDirectoryType = 2;

// Reply 0x8005: creation, change and access times at 22, 30 and 38, the size at 46 (32 bits) and 81
// (64 bits), the object type at 54; then the name in UTF-16 and, when asked for, the object attributes
// with the CCSID.
Bytes entry_reply(const Node& node, std::string_view name, std::uint16_t chain, bool with_attributes) {
  const std::uint64_t size = node.has_content() ? node.data.size() : 0;
  const std::uint32_t size32 = size > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<std::uint32_t>(size);
  PacketBuilder reply(kFileServer, kEntryReplyId);
  reply.template_length(kEntryTemplateLength)
      .u16(20, chain)
      .u32(22, node.modified)
      .u32(30, node.modified)
      .u32(38, node.modified)
      .u32(46, size32)
      .u16(54, node.is_directory() ? kDirectoryType : kFileType)
      .u64(81, size)
      .u32(89, 0)
      .item(kNameCp, encode_text(name, 1200).value_or(Bytes{}));
  if (!with_attributes) return reply.build();
  Bytes attributes(kObjectAttributesLength);
  attributes[kObjectCcsidOffset] = static_cast<std::uint8_t>(node.ccsid >> 8);
  attributes[kObjectCcsidOffset + 1] = static_cast<std::uint8_t>(node.ccsid);
  return reply.item(kObjectAttributesCp, attributes).build();
}

// '*' stands for any run of characters, '?' for one; case is ignored unless names are exact.
bool matches(std::u32string_view pattern, std::u32string_view name, bool exact) {
  const auto same = [exact](char32_t a, char32_t b) {
    return exact ? a == b : unicode_upper(a) == unicode_upper(b);
  };
  std::size_t p = 0, n = 0, star = std::u32string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == U'?' || same(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == U'*') {
      star = p++;
      resume = n;
    } else if (star != std::u32string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

Answer failure(std::uint16_t code) {
  return {{return_code_reply(code)}};
}

}  // namespace

Answer FileConversation::list(const std::string& pattern) const {
  const std::size_t slash = pattern.rfind('/');
  const std::string last = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  const IfsTree& tree = state_->tree;
  const bool attributes = state_->settings.list_states_ccsid;
  if (last.find_first_of("*?") == std::string::npos) {
    const Lookup found = tree.lookup(pattern);
    if (!found.parent) return failure(kPathNotFound);
    if (found.denied) return failure(kAccessDenied);
    if (!found.node) return failure(kFileNotFound);
    return {{entry_reply(*found.node, found.node->name, kMore, attributes), return_code_reply(kNoMoreFiles)}};
  }
  const Lookup directory = tree.lookup(slash == std::string::npos ? std::string() : pattern.substr(0, slash));
  if (!directory.node || !directory.node->is_directory()) return failure(kPathNotFound);
  if (directory.denied || directory.node->access_denied) return failure(kAccessDenied);
  const std::u32string wanted = code_points(last).value_or(std::u32string());
  const bool exact = directory.node->exact_names;
  const auto listed = [&](std::string_view name) {
    return matches(wanted, code_points(name).value_or(std::u32string()), exact);
  };
  Answer answer;
  // Directories of the root file system list themselves and their parent too.
  if (!tree.is_qsys_directory(*directory.node)) {
    for (const std::string_view dot : {".", ".."}) {
      if (listed(dot)) answer.replies.push_back(entry_reply(*directory.node, dot, kMore, attributes));
    }
  }
  for (const auto& child : directory.node->children) {
    if (listed(child->name)) answer.replies.push_back(entry_reply(*child, child->name, kMore, attributes));
  }
  answer.replies.push_back(return_code_reply(kNoMoreFiles));
  return answer;
}

Answer FileConversation::object_attributes(std::uint32_t handle) const {
  const auto open = handles_.find(handle);
  if (open == handles_.end()) return failure(kInvalidHandle);
  const Node& node = *open->second.node;
  return {{entry_reply(node, node.name, kMore, true), return_code_reply(kNoMoreFiles)}};
}

}  // namespace fake_ibmi
