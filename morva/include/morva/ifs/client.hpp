#pragma once

#include "morva/error.hpp"
#include "morva/ifs/entry.hpp"
#include "morva/ifs/file_replies.hpp"
#include "morva/ifs/request.hpp"
#include "morva/secret.hpp"
#include "morva/server/time_limit.hpp"

#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morva::ifs {

// Where written data go and whether the file may be created or replaced.
struct WriteOptions {
  std::optional<std::uint64_t> offset;  // absent: from offset 0
  bool create = false;
  bool overwrite = false;
};

// Where an append put its data: the file's size as the open for writing found it, and the byte count
// written from there.
struct WrittenRange {
  std::uint64_t offset;
  std::uint64_t count;
};

// A listing or attributes query answered by more replies than this fails; the rest of its chain is read
// and dropped, so the connection stays in step.
inline constexpr std::uint64_t kMaxChainReplies = 1 << 20;

// One authenticated connection to the IBM i file server. Exactly one caller uses it at a time.
class IfsClient {
 public:
  // Opens the connection, proves the password with a substitute, starts the server job and agrees on
  // the CCSID and datastream level. The password is only borrowed.
  static asio::awaitable<Result<IfsClient>> connect(std::string host, std::uint16_t port, std::string user,
                                                    const Secret& password, std::uint8_t password_level,
                                                    server::ConnectionLimits limits = {},
                                                    std::uint64_t max_chain_replies = kMaxChainReplies);
  // Adopts a stream whose start-up sequence is already done.
  IfsClient(asio::ip::tcp::socket stream, std::string job_name, std::uint32_t data_block_size,
            std::uint16_t ccsid, std::uint16_t datastream_level, server::ConnectionLimits limits = {},
            std::uint64_t max_chain_replies = kMaxChainReplies);

  // Writes one request whole; a sensitive request's packet is wiped afterwards on every path.
  asio::awaitable<Result<void>> send_request(IfsRequest request);
  // Reads one whole reply packet.
  asio::awaitable<Result<std::vector<std::uint8_t>>> receive_reply();

  // Directory and object operations. Paths are IFS paths; `path` arguments after the first serve only
  // the error texts.
  asio::awaitable<Result<std::vector<IfsEntry>>> list_attributes(std::string pattern, std::string path);
  asio::awaitable<Result<std::vector<IfsEntry>>> list_directory(std::string path);
  asio::awaitable<Result<IfsEntry>> stat(std::string path);
  asio::awaitable<Result<std::optional<std::uint16_t>>> object_attributes(std::uint32_t file_handle,
                                                                          std::string path);
  asio::awaitable<Result<void>> close_file(std::uint32_t file_handle, std::string path);
  asio::awaitable<Result<void>> request_return_code(IfsRequest request, std::string path);
  asio::awaitable<Result<void>> create_directory(std::string path);
  asio::awaitable<Result<void>> delete_file(std::string path);
  asio::awaitable<Result<void>> delete_directory(std::string path);
  asio::awaitable<Result<void>> remove(std::string path);
  asio::awaitable<Result<void>> rename(std::string from, std::string to, bool replace);

  // Reads and writes. The written bytes must stay alive until the operation has finished.
  asio::awaitable<Result<std::vector<std::uint8_t>>> read_handle(std::uint32_t file_handle,
                                                                 std::uint64_t offset, std::uint32_t count,
                                                                 std::string path);
  asio::awaitable<Result<std::vector<std::uint8_t>>> read_range(std::string path, std::uint64_t offset,
                                                                std::uint32_t length);
  // Whole files up to a maximum size: raw bytes, or a source member's text as UTF-8, decoded in one
  // piece or record by record.
  asio::awaitable<Result<std::vector<std::uint8_t>>> read_whole(std::string path, std::uint64_t maximum_size,
                                                                std::optional<std::uint64_t> record_length);
  asio::awaitable<Result<std::vector<std::uint8_t>>> read_file(std::string path, std::uint64_t maximum_size);
  asio::awaitable<Result<std::vector<std::uint8_t>>> read_source_member(std::string path,
                                                                        std::uint64_t maximum_size,
                                                                        std::uint64_t record_length);
  // Replaces a member's whole text, encoded as records of its CCSID.
  asio::awaitable<Result<void>> write_source_member(std::string path, std::string text,
                                                    std::uint64_t record_length);
  // Raw bytes into a stream file; a member path is refused before anything is sent.
  asio::awaitable<Result<std::uint64_t>> write(std::string path, std::span<const std::uint8_t> bytes,
                                               WriteOptions options);
  asio::awaitable<Result<std::uint64_t>> write_file(std::string path, std::span<const std::uint8_t> bytes,
                                                    bool create, bool overwrite);
  // Writes at the end of an existing file as the IBM i holds it now, wherever other writers have left
  // it: the reply to the open for writing tells the size.
  asio::awaitable<Result<WrittenRange>> append(std::string path, std::span<const std::uint8_t> bytes);
  asio::awaitable<Result<std::uint16_t>> source_member_ccsid(std::string path);
  asio::awaitable<Result<void>> truncate(std::string path, std::uint64_t size);

  const std::string& job_name() const { return job_name_; }
  std::uint32_t data_block_size() const { return data_block_size_; }
  std::uint16_t ccsid() const { return ccsid_; }
  std::uint16_t datastream_level() const { return datastream_level_; }

 private:
  IfsClient(asio::ip::tcp::socket stream, server::TimeLimit time_limit, std::uint64_t max_chain_replies)
      : stream_(std::move(stream)),
        time_limit_(std::move(time_limit)),
        max_chain_replies_(max_chain_replies) {}

  // Sends an open request for the path and reads its reply; no handle is left open on failure.
  asio::awaitable<Result<OpenReply>> open_by(IfsRequest request, std::string path);
  asio::awaitable<Result<OpenReply>> open_for_read(std::string path);
  asio::awaitable<Result<OpenReply>> open_for_write(std::string path, std::uint16_t option);
  // A write to a normalised path that is not the root, member paths included.
  asio::awaitable<Result<std::uint64_t>> write_checked(std::string normalized,
                                                       std::span<const std::uint8_t> bytes,
                                                       WriteOptions options);
  asio::awaitable<Result<std::uint64_t>> write_chunks(std::uint32_t file_handle, std::uint64_t start,
                                                      std::span<const std::uint8_t> bytes, std::string path);

  friend class ReplyChain;

  asio::ip::tcp::socket stream_;
  server::TimeLimit time_limit_;
  std::uint64_t max_chain_replies_ = 0;
  std::string job_name_;
  std::uint32_t data_block_size_ = 0;
  std::uint16_t ccsid_ = 0;
  std::uint16_t datastream_level_ = 0;
  // Cleared when a failure (a time-out among them) leaves the stream out of step; every later exchange
  // then fails.
  bool usable_ = true;
};

}  // namespace morva::ifs
