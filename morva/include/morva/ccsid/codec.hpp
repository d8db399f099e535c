#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "morva/error.hpp"

namespace morva::ccsid {

using Ccsid = std::uint16_t;

// Converts between UTF-8 text and the bytes of one CCSID. Every error is a message.
class CcsidCodec {
 public:
  virtual ~CcsidCodec() = default;

  virtual Ccsid ccsid() const noexcept = 0;
  virtual Result<std::string> decode(std::span<const std::uint8_t> bytes) const = 0;
  virtual Result<std::vector<std::uint8_t>> encode(std::string_view text) const = 0;
};

// EBCDIC Denmark/Norway: one byte per character, exactly U+0000 to U+00FF.
class Ccsid277 final : public CcsidCodec {
 public:
  Ccsid ccsid() const noexcept override { return 277; }
  Result<std::string> decode(std::span<const std::uint8_t> bytes) const override;
  Result<std::vector<std::uint8_t>> encode(std::string_view text) const override;
};

// UTF-16, high byte first.
class Ccsid1200 final : public CcsidCodec {
 public:
  Ccsid ccsid() const noexcept override { return 1200; }
  Result<std::string> decode(std::span<const std::uint8_t> bytes) const override;
  Result<std::vector<std::uint8_t>> encode(std::string_view text) const override;
};

// UTF-8.
class Ccsid1208 final : public CcsidCodec {
 public:
  Ccsid ccsid() const noexcept override { return 1208; }
  Result<std::string> decode(std::span<const std::uint8_t> bytes) const override;
  Result<std::vector<std::uint8_t>> encode(std::string_view text) const override;
};

// The shared codec of a CCSID (never null), or an error for a CCSID without one.
Result<const CcsidCodec*> codec_for(Ccsid ccsid);

// File data of a CCSID as text, decoded as one piece.
Result<std::string> decode(std::span<const std::uint8_t> bytes, Ccsid ccsid);

}  // namespace morva::ccsid
