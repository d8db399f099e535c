#pragma once

#include "morva/secret.hpp"
#include "morva/signon/user_profile.hpp"

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The requests of the remote-command connection.
namespace morva::command {

struct ExchangeSeeds {
  std::uint64_t client_seed = 0;
};

// Carries the password substitute; the packet it encodes to is wiped after sending.
struct StartServer {
  signon::EncodedUserProfile user{};
  Secret substitute;  // 8 bytes (DES) or 20 (SHA-1)
};

struct ExchangeAttributes {};

struct RetrieveMemberDescription {
  std::uint16_t datastream_level = 0;
  std::string library;
  std::string file;
  std::string member;
};

struct RetrieveFileDescription {
  std::uint16_t datastream_level = 0;
  std::string library;
  std::string file;
};

struct RetrieveObjectDescription {
  std::uint16_t datastream_level = 0;
  std::string library;
  std::string object;
  std::string object_type;  // without '*'
};

struct RetrieveSystemStorage {
  std::uint16_t datastream_level = 0;
};

class CommandRequest {
 public:
  using Kind = std::variant<ExchangeSeeds, StartServer, ExchangeAttributes, RetrieveMemberDescription,
                            RetrieveFileDescription, RetrieveObjectDescription, RetrieveSystemStorage>;

  template <typename Request>
  requires std::constructible_from<Kind, Request> CommandRequest(Request request)
      : kind_(std::move(request)) {}

  // The name that the send event carries, such as "command.exchange-seeds".
  std::string_view name() const;
  // True for the start-server request, whose packet holds the password substitute.
  bool sensitive() const { return std::holds_alternative<StartServer>(kind_); }

  std::vector<std::uint8_t> encode() const;

 private:
  Kind kind_;
};

}  // namespace morva::command
