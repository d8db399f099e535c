#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

// Replies of the remote-command server, laid out from the wire format: 20-byte header (total length
// at 0, server ID 0xE008 at 6, reply ID at 18), then the reply's own fields.
namespace morva::command::testing {

inline void append_u16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
  bytes.push_back(static_cast<std::uint8_t>(value));
}

inline void append_u32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  append_u16(bytes, static_cast<std::uint16_t>(value >> 16));
  append_u16(bytes, static_cast<std::uint16_t>(value));
}

inline void append(std::vector<std::uint8_t>& bytes, std::span<const std::uint8_t> more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
}

// A reply: header with `reply_id`, then `body` from offset 20; the length field counts it all.
inline std::vector<std::uint8_t> reply(std::uint16_t reply_id, std::span<const std::uint8_t> body,
                                       std::uint16_t server_id = 0xE008) {
  std::vector<std::uint8_t> packet;
  append_u32(packet, static_cast<std::uint32_t>(20 + body.size()));
  append_u16(packet, 0);
  append_u16(packet, server_id);
  append_u32(packet, 0);
  append_u32(packet, 0);
  append_u16(packet, 0);
  append_u16(packet, reply_id);
  append(packet, body);
  return packet;
}

// One parameter item of a call-program reply: LL, CP 0x1103, maximum length, usage 22, data.
inline std::vector<std::uint8_t> parameter_item(std::uint32_t max_length,
                                                std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> item;
  append_u32(item, static_cast<std::uint32_t>(12 + data.size()));
  append_u16(item, 0x1103);
  append_u32(item, max_length);
  append_u16(item, 22);
  append(item, data);
  return item;
}

// A call-program reply 0x8003: return code (u16) at 20, two reserved bytes, then the receiver
// parameter from offset 24.
inline std::vector<std::uint8_t> program_reply(std::span<const std::uint8_t> receiver,
                                               std::uint16_t return_code = 0,
                                               std::uint16_t reply_id = 0x8003) {
  std::vector<std::uint8_t> body;
  append_u16(body, return_code);
  append_u16(body, 0);
  append(body, parameter_item(static_cast<std::uint32_t>(receiver.size()), receiver));
  return reply(reply_id, body);
}

// A receiver variable filled field by field at the offsets of its format.
class Receiver {
 public:
  explicit Receiver(std::size_t size, std::uint8_t fill = 0) : bytes_(size, fill) {}

  Receiver& bytes(std::size_t offset, std::span<const std::uint8_t> data) {
    std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    return *this;
  }
  Receiver& text(std::size_t offset, std::string_view data) {
    return bytes(offset, {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
  }
  Receiver& u16(std::size_t offset, std::uint16_t value) {
    std::vector<std::uint8_t> data;
    append_u16(data, value);
    return bytes(offset, data);
  }
  Receiver& u32(std::size_t offset, std::uint32_t value) {
    std::vector<std::uint8_t> data;
    append_u32(data, value);
    return bytes(offset, data);
  }
  Receiver& byte(std::size_t offset, std::uint8_t value) {
    bytes_.at(offset) = value;
    return *this;
  }

  std::vector<std::uint8_t> reply() const { return program_reply(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace morva::command::testing
