#pragma once

#include "fake_ibmi/packet_builder.hpp"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace morva::command::testing {

// A call-program reply 0x8003 from the wire layout: return code (u16) at 20, then the receiver as
// the first parameter item from 24: LL (u32), CP 0x1103, maximum length (u32) at 30, usage 22 at 34
// and the data from 36.
inline fake_ibmi::Bytes program_reply(std::span<const std::uint8_t> receiver, std::uint16_t return_code = 0,
                                      std::uint16_t reply_id = 0x8003) {
  const auto size = static_cast<std::uint32_t>(receiver.size());
  return fake_ibmi::PacketBuilder(0xE008, reply_id)
      .u16(20, return_code)
      .u32(24, 12 + size)
      .u16(28, 0x1103)
      .u32(30, size)
      .u16(34, 22)
      .bytes(36, receiver)
      .build();
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
    const std::uint8_t data[] = {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    return bytes(offset, data);
  }
  Receiver& u32(std::size_t offset, std::uint32_t value) {
    u16(offset, static_cast<std::uint16_t>(value >> 16));
    return u16(offset + 2, static_cast<std::uint16_t>(value));
  }
  Receiver& byte(std::size_t offset, std::uint8_t value) {
    bytes_.at(offset) = value;
    return *this;
  }

  fake_ibmi::Bytes reply() const { return program_reply(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace morva::command::testing
