// The file server (0xE002) of the fake IBM i: the connection sequence, then the file-service requests
// on the tree. Definitions are spread by job: the connection and dispatch (file_conversation.cpp),
// listings (file_listing.cpp), contents and handles (file_content.cpp), names (file_names.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "fake_ibmi/host/authentication.hpp"
#include "fake_ibmi/host/conversation.hpp"
#include "fake_ibmi/host/packet_reader.hpp"

namespace fake_ibmi {

inline constexpr std::uint16_t kFileServer = 0xE002;

// Return codes of the file server's replies.
enum FileReturnCode : std::uint16_t {
  kFileInUse = 1,
  kFileNotFound = 2,
  kPathNotFound = 3,
  kPathAlreadyExists = 4,
  kAccessDenied = 5,
  kInvalidHandle = 6,
  kInvalidPathName = 7,
  kDirectoryNotEmpty = 9,
  kRequestDenied = 13,
  kInvalidRequest = 16,
  kSyntaxError = 17,
  kNoMoreFiles = 18,
  kValueNotSupported = 20,
  kEndOfFile = 22,
  kRequestNotSupported = 23,
  kSharingViolation = 32,
};

// Reply 0x8001: chain indicator at 20, return code at 22.
Bytes return_code_reply(std::uint16_t code, std::uint16_t chain = 0);
// Reply 0x800B: return code at 22, the count of bytes not written at 28 (none).
Bytes write_reply(std::uint16_t code);
// Reply 0x8004: return code at 22.
Bytes close_reply(std::uint16_t code);

class FileConversation : public Conversation {
 public:
  explicit FileConversation(std::shared_ptr<HostState> state);
  ~FileConversation() override;
  FileConversation(const FileConversation&) = delete;
  FileConversation& operator=(const FileConversation&) = delete;

  Answer answer(std::span<const std::uint8_t> request) override;

 private:
  struct OpenHandle {
    std::shared_ptr<Node> node;
    std::string path;
    bool read = false;
    bool write = false;
  };

  // One request once it is admitted and the connection is signed on.
  Answer serve(RequestKind kind, PacketReader& request);
  Bytes failure_reply(RequestKind kind, std::uint32_t code) const;
  Bytes exchange_attributes(PacketReader& request) const;

  Answer list(const std::string& pattern) const;
  Answer object_attributes(std::uint32_t handle) const;

  Bytes open(PacketReader& request, const std::string& path);
  Answer read(PacketReader& request) const;
  Bytes write(PacketReader& request);
  Bytes close(std::uint32_t handle);
  Bytes truncate(PacketReader& request, const std::string& path) const;
  void release(const OpenHandle& handle) const;

  Bytes create_directory(const std::string& path) const;
  Bytes delete_file(const std::string& path) const;
  Bytes delete_directory(const std::string& path) const;
  Bytes rename(const std::string& from, const std::string& to, bool replace) const;

  // The open handle of a request by handle (u32 at 22), if it is one of this connection's.
  const OpenHandle* handle_of(PacketReader& request) const;

  std::shared_ptr<HostState> state_;
  ServerLogin login_;
  std::map<std::uint32_t, OpenHandle> handles_;
  std::uint32_t next_handle_ = 1;
};

// The current time as the file server stamps changes with it.
std::uint32_t now_seconds();

}  // namespace fake_ibmi
