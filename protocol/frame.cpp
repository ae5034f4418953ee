#include "protocol/frame.h"

#include <cstring>

#include "protocol/scrambler.h"

namespace kolmara {

WireHeader EncodeHeader(std::uint8_t code, std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  WireHeader plain{code, 0, 0, 0,
                   static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                   static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
  ScrambleBytes(plain.data(), plain.data(), plain.size());
  return plain;
}

FrameHeader DecodeHeader(const std::uint8_t* wire) {
  WireHeader plain;
  UnscrambleBytes(wire, plain.data(), plain.size());
  const std::uint32_t u = std::uint32_t{plain[4]} | (std::uint32_t{plain[5]} << 8) |
                          (std::uint32_t{plain[6]} << 16) | (std::uint32_t{plain[7]} << 24);
  return FrameHeader{plain[0], static_cast<std::int32_t>(u)};
}

std::string_view UpToNul(std::string_view text) {
  const auto nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

TextBodyResult BuildTextBody(std::string_view first, std::string_view second) {
  TextBodyResult result;
  first = UpToNul(first);
  second = UpToNul(second);
  if (first.size() > kTextBodyFirstMax) {
    result.status = TextBodyStatus::kFirstTooLong;
    return result;
  }
  if (second.size() > kTextBodySecondMax) {
    result.status = TextBodyStatus::kSecondTooLong;
    return result;
  }
  if (!first.empty()) std::memcpy(result.body.data() + kTextBodyFirstOffset, first.data(), first.size());
  if (!second.empty()) std::memcpy(result.body.data() + kTextBodySecondOffset, second.data(), second.size());
  return result;
}

}  // namespace kolmara
