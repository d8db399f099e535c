// Opening, reading, writing and closing files by handle, and changing a file's size by name.
#include <algorithm>

#include "fake_ibmi/host/file_conversation.hpp"
#include "fake_ibmi/packet_builder.hpp"

namespace fake_ibmi {
namespace {

constexpr std::uint16_t kOpenReplyId = 0x8002;
constexpr std::uint16_t kReadReplyId = 0x8003;
constexpr std::uint16_t kDataCp = 0x0020;
constexpr std::uint16_t kOpenTemplateLength = 77;
constexpr std::uint16_t kUnstatedCcsid = 0xFFFF;
// Requests with offsets of 64 bits have templates at least this long.
constexpr std::uint16_t kLongReadTemplate = 38;
constexpr std::uint16_t kLongWriteTemplate = 34;
constexpr std::uint16_t kLongTruncateTemplate = 56;
// A fake keeps files in memory; larger ones are refused as a resource limit.
constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 30;
constexpr std::uint16_t kResourceLimit = 11;

// Open options: whether a missing file is made, and whether an existing one is emptied or refused.
enum OpenOption : std::uint16_t {
  kCreateOrOpen = 1,
  kCreateOrReplace = 2,
  kCreateOnly = 4,
  kOpenExisting = 8,
  kReplaceExisting = 16,
};
enum OpenAction : std::uint16_t { kOpened = 1, kCreated = 2, kReplaced = 3 };
enum Access : std::uint16_t { kRead = 1, kWrite = 2 };

Bytes read_reply(std::span<const std::uint8_t> data, std::uint16_t chain) {
  return PacketBuilder(kFileServer, kReadReplyId)
      .template_length(4)
      .u16(20, chain)
      .u16(22, 0)
      .item(kDataCp, data)
      .build();
}

}  // namespace

// Reply 0x8002: the handle at 22, the data CCSID at 34, the action at 36, the times at 38 to 61, the
// size at 62 (32 bits) and 89 (64 bits).
Bytes FileConversation::open(PacketReader& request, const std::string& path) {
  const std::uint16_t access = request.u16(30);
  const std::uint16_t option = request.u16(36);
  if (request.malformed()) return return_code_reply(kSyntaxError);
  const bool known_option = option == kCreateOrOpen || option == kCreateOrReplace || option == kCreateOnly ||
                            option == kOpenExisting || option == kReplaceExisting;
  if (!known_option || access == 0 || access > (kRead | kWrite)) return return_code_reply(kValueNotSupported);
  const bool writes = (access & kWrite) != 0;
  const Lookup found = state_->tree.lookup(path);
  if (!found.parent) return return_code_reply(kPathNotFound);
  if (found.denied) return return_code_reply(kAccessDenied);
  const std::uint32_t now = now_seconds();
  std::shared_ptr<Node> node = found.node;
  OpenAction action = kOpened;
  if (node) {
    if (option == kCreateOnly) return return_code_reply(kPathAlreadyExists);
    if (!node->has_content() || node->access_denied) return return_code_reply(kAccessDenied);
    if (writes && node->kind == NodeKind::member && node->write_handles > 0)
      return return_code_reply(kSharingViolation);
    if (option == kCreateOrReplace || option == kReplaceExisting) {
      if (!writes) return return_code_reply(kAccessDenied);
      node->data.clear();
      node->touch(now);
      action = kReplaced;
    }
  } else {
    if (option == kOpenExisting || option == kReplaceExisting) return return_code_reply(kFileNotFound);
    node = state_->tree.make_child(*found.parent, found.name, false, now);
    if (!node) return return_code_reply(kInvalidPathName);
    found.parent->children.push_back(node);
    found.parent->touch(now);
    action = kCreated;
  }
  const std::uint32_t handle = next_handle_++;
  handles_.emplace(handle, OpenHandle{node, path, (access & kRead) != 0, writes});
  ++node->open_handles;
  if (writes) ++node->write_handles;

  const bool unstated = node->kind == NodeKind::member && !state_->settings.open_states_member_ccsid;
  const std::uint64_t size = node->data.size();
  return PacketBuilder(kFileServer, kOpenReplyId)
      .template_length(kOpenTemplateLength)
      .u16(20, 0)
      .u32(22, handle)
      .u16(34, unstated ? kUnstatedCcsid : node->ccsid)
      .u16(36, action)
      .u32(38, node->modified)
      .u32(46, node->modified)
      .u32(54, node->modified)
      .u32(62, size > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<std::uint32_t>(size))
      .u64(89, size)
      .build();
}

// Data in 0x8003 replies of at most the configured size, chained; a read that runs past the end of the
// file ends with a 0x8001 reply with return code 22 (end of file), as does one that starts there.
Answer FileConversation::read(PacketReader& request) const {
  const OpenHandle* handle = handle_of(request);
  const std::uint64_t offset =
      request.template_length() >= kLongReadTemplate ? request.u64(50) : std::uint64_t{request.u32(30)};
  const std::uint32_t length = request.u32(34);
  if (request.malformed()) return {{return_code_reply(kSyntaxError)}};
  if (!handle) return {{return_code_reply(kInvalidHandle)}};
  if (!handle->read) return {{return_code_reply(kAccessDenied)}};
  const Bytes& data = handle->node->data;
  if (offset >= data.size()) return {{return_code_reply(kEndOfFile)}};
  const bool past_end = length > data.size() - offset;
  const std::span<const std::uint8_t> range =
      std::span(data).subspan(offset, past_end ? data.size() - offset : length);
  const std::size_t chunk = std::max<std::size_t>(state_->settings.read_reply_size, 1);
  Answer answer;
  std::size_t done = 0;
  do {
    const std::size_t size = std::min(chunk, range.size() - done);
    const bool last = done + size == range.size();
    answer.replies.push_back(read_reply(range.subspan(done, size), last && !past_end ? 0 : 1));
    done += size;
  } while (done < range.size());
  if (past_end) answer.replies.push_back(return_code_reply(kEndOfFile));
  return answer;
}

// Reply 0x800B: the return code at 22 and the count of bytes not written at 28.
Bytes FileConversation::write(PacketReader& request) {
  const OpenHandle* handle = handle_of(request);
  const std::uint64_t offset =
      request.template_length() >= kLongWriteTemplate ? request.u64(46) : std::uint64_t{request.u32(30)};
  const auto data = request.item(kDataCp);
  if (request.malformed() || !data) return write_reply(kSyntaxError);
  if (!handle) return write_reply(kInvalidHandle);
  if (!handle->write) return write_reply(kAccessDenied);
  if (offset > kMaxFileSize || data->size() > kMaxFileSize - offset) return write_reply(kResourceLimit);
  Node& node = *handle->node;
  node.grow_to(offset);
  if (node.data.size() < offset + data->size()) node.data.resize(offset + data->size());
  std::ranges::copy(*data, node.data.begin() + static_cast<std::ptrdiff_t>(offset));
  node.touch(now_seconds());
  return write_reply(0);
}

Bytes FileConversation::close(std::uint32_t handle) {
  const auto open = handles_.find(handle);
  if (open == handles_.end()) return close_reply(kInvalidHandle);
  release(open->second);
  handles_.erase(open);
  return close_reply(0);
}

void FileConversation::release(const OpenHandle& handle) const {
  Node& node = *handle.node;
  --node.open_handles;
  if (!handle.write) return;
  --node.write_handles;
  node.complete_last_record();
}

// The size lies at 64 (32 bits) or 68 (64 bits). Only stream files change size by name.
Bytes FileConversation::truncate(PacketReader& request, const std::string& path) const {
  const std::uint64_t size =
      request.template_length() >= kLongTruncateTemplate ? request.u64(68) : std::uint64_t{request.u32(64)};
  if (request.malformed()) return return_code_reply(kSyntaxError);
  const Lookup found = state_->tree.lookup(path);
  if (!found.parent) return return_code_reply(kPathNotFound);
  if (found.denied) return return_code_reply(kAccessDenied);
  if (!found.node) return return_code_reply(kFileNotFound);
  Node& node = *found.node;
  if (node.kind == NodeKind::member) return return_code_reply(kRequestNotSupported);
  if (node.kind != NodeKind::stream_file || node.access_denied) return return_code_reply(kAccessDenied);
  if (size > kMaxFileSize) return return_code_reply(kResourceLimit);
  node.data.resize(size, 0);
  node.touch(now_seconds());
  return return_code_reply(0);
}

}  // namespace fake_ibmi
