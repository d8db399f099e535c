#include "fake_ibmi/host/file_conversation.hpp"

#include <algorithm>
#include <chrono>

#include "fake_ibmi/host/ccsid_text.hpp"
#include "fake_ibmi/packet_builder.hpp"

namespace fake_ibmi {
namespace {

constexpr std::uint16_t kUtf16 = 1200;
constexpr std::uint16_t kAttributesReplyId = 0x8009;
constexpr std::uint16_t kCcsidListCp = 0x000A;
constexpr std::uint16_t kAttributesTemplateLength = 10;

// The name item that carries a request's path, by code point.
enum NameCp : std::uint16_t {
  kDirectoryName = 0x0001,
  kFileName = 0x0002,
  kFromName = 0x0003,
  kToName = 0x0004
};

RequestKind kind_of(PacketReader& request) {
  switch (request.request_id()) {
    case 0x7001: return RequestKind::file_seeds;
    case 0x7002: return RequestKind::file_start;
    case 0x0016: return RequestKind::file_attributes;
    case 0x000A:
      // A listing by name pattern has no handle; the attributes of an open file name its handle.
      return request.u32(22) == 0 ? RequestKind::list_attributes : RequestKind::object_attributes;
    case 0x0002: return RequestKind::open_file;
    case 0x0003: return RequestKind::read_file;
    case 0x0004: return RequestKind::write_file;
    case 0x0009: return RequestKind::close_file;
    case 0x000B: return RequestKind::truncate;
    case 0x000D: return RequestKind::create_directory;
    case 0x000C: return RequestKind::delete_file;
    case 0x000E: return RequestKind::delete_directory;
    case 0x000F: return RequestKind::rename;
    default: return RequestKind::unknown_file_request;
  }
}

// Names travel as UTF-16, whatever CCSID the request states beside them.
std::optional<std::string> name_of(PacketReader& request, NameCp code_point) {
  const auto item = request.item(code_point);
  if (!item || item->size() % 2 != 0) return std::nullopt;
  return decode_text(*item, kUtf16);
}

std::optional<NameCp> name_cp_of(RequestKind kind) {
  switch (kind) {
    case RequestKind::list_attributes:
    case RequestKind::open_file:
    case RequestKind::truncate:
    case RequestKind::delete_file: return kFileName;
    case RequestKind::create_directory:
    case RequestKind::delete_directory: return kDirectoryName;
    case RequestKind::rename: return kFromName;
    default: return std::nullopt;
  }
}

bool by_handle(RequestKind kind) {
  return kind == RequestKind::object_attributes || kind == RequestKind::read_file ||
         kind == RequestKind::write_file || kind == RequestKind::close_file;
}

}  // namespace

Bytes write_reply(std::uint16_t code) {
  return PacketBuilder(kFileServer, 0x800B).u16(20, 0).u16(22, code).u32(24, 0).u32(28, 0).build();
}

Bytes close_reply(std::uint16_t code) {
  return PacketBuilder(kFileServer, 0x8004).u16(20, 0).u16(22, code).build();
}

Bytes return_code_reply(std::uint16_t code, std::uint16_t chain) {
  return PacketBuilder(kFileServer, 0x8001).u16(20, chain).u16(22, code).build();
}

std::uint32_t now_seconds() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(since_epoch).count());
}

std::unique_ptr<Conversation> start_file_conversation(std::shared_ptr<HostState> state) {
  return std::make_unique<FileConversation>(std::move(state));
}

FileConversation::FileConversation(std::shared_ptr<HostState> state)
    : state_(std::move(state)), login_(kFileServer, "QPWFSERVSO") {}

FileConversation::~FileConversation() {
  const std::lock_guard lock(state_->mutex);
  for (const auto& [number, handle] : handles_) release(handle);
}

Answer FileConversation::answer(std::span<const std::uint8_t> request) {
  const std::lock_guard lock(state_->mutex);
  PacketReader reader(request);
  const RequestKind kind = kind_of(reader);
  std::string subject;
  if (kind == RequestKind::file_start) {
    subject = start_server_user(reader);
  } else if (const auto code_point = name_cp_of(kind)) {
    subject = name_of(reader, *code_point).value_or("");
  } else if (const OpenHandle* handle = by_handle(kind) ? handle_of(reader) : nullptr) {
    subject = handle->path;
  }
  const auto fault = state_->admit(Service::file, kind, std::move(subject));
  if (auto faulted = fault_answer(fault, [&](std::uint32_t code) { return failure_reply(kind, code); }))
    return *faulted;
  const bool opening = kind == RequestKind::file_seeds || kind == RequestKind::file_start;
  if (!opening && !login_.signed_on()) return {.replies = {}, .close = true};
  return serve(kind, reader);
}

Answer FileConversation::serve(RequestKind kind, PacketReader& request) {
  std::optional<std::string> name;
  if (const auto code_point = name_cp_of(kind)) {
    name = name_of(request, *code_point);
    if (!name) return {{return_code_reply(kSyntaxError)}};
  }
  switch (kind) {
    case RequestKind::file_seeds: return {{login_.exchange_seeds(request, *state_)}};
    case RequestKind::file_start: return {{login_.start_server(request, *state_)}};
    case RequestKind::file_attributes: return {{exchange_attributes(request)}};
    case RequestKind::list_attributes: return list(*name);
    case RequestKind::object_attributes: return object_attributes(request.u32(22));
    case RequestKind::open_file: return {{open(request, *name)}};
    case RequestKind::read_file: return read(request);
    case RequestKind::write_file: return {{write(request)}};
    case RequestKind::close_file: return {{close(request.u32(22))}};
    case RequestKind::truncate: return {{truncate(request, *name)}};
    case RequestKind::create_directory: return {{create_directory(*name)}};
    case RequestKind::delete_file: return {{delete_file(*name)}};
    case RequestKind::delete_directory: return {{delete_directory(*name)}};
    case RequestKind::rename: {
      const auto target = name_of(request, kToName);
      const bool replace = request.u16(34) != 0;
      if (!target || request.malformed()) return {{return_code_reply(kSyntaxError)}};
      return {{rename(*name, *target, replace)}};
    }
    default: return {{return_code_reply(kRequestNotSupported)}};
  }
}

Bytes FileConversation::failure_reply(RequestKind kind, std::uint32_t code) const {
  const auto code16 = static_cast<std::uint16_t>(code);
  switch (kind) {
    case RequestKind::file_seeds: return login_.seeds_failure(code);
    case RequestKind::file_start: return login_.start_failure(code);
    case RequestKind::write_file: return write_reply(code16);
    case RequestKind::close_file: return close_reply(code16);
    default: return return_code_reply(code16);
  }
}

// Reply 0x8009: the datastream level at 22, the data block size at 26, then the chosen CCSID: 1200
// when the client offers it, as names are only kept in UTF-16.
Bytes FileConversation::exchange_attributes(PacketReader& request) const {
  const std::uint16_t client_level = request.u16(22);
  std::vector<std::uint16_t> offered;
  if (const auto list = request.item(kCcsidListCp)) {
    PacketReader ccsids(*list);
    for (std::size_t offset = 0; offset + 2 <= list->size(); offset += 2)
      offered.push_back(ccsids.u16(offset));
  }
  if (request.malformed()) return return_code_reply(kSyntaxError);
  const bool utf16 = offered.empty() || std::ranges::find(offered, kUtf16) != offered.end();
  const std::uint16_t ccsid = utf16 ? kUtf16 : offered.front();
  return PacketBuilder(kFileServer, kAttributesReplyId)
      .template_length(kAttributesTemplateLength)
      .u16(22, std::min(client_level, state_->settings.file_datastream_level))
      .u16(24, 0x0005)
      .u32(26, state_->settings.data_block_size)
      .item(kCcsidListCp, big_endian(ccsid, 2))
      .build();
}

const FileConversation::OpenHandle* FileConversation::handle_of(PacketReader& request) const {
  const auto found = handles_.find(request.u32(22));
  return found == handles_.end() ? nullptr : &found->second;
}

}  // namespace fake_ibmi
