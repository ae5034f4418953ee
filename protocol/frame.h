#pragma once
// Frame header and the shared 124-byte text body.
//
// Plain header (8 bytes; all 8 are scrambled as one run on the wire):
//   0     command code
//   1..3  reserved, sent as 0, never examined on receipt
//   4..7  header value, little-endian two's-complement
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kolmara {

inline constexpr std::size_t kHeaderSize = 8;
using WireHeader = std::array<std::uint8_t, kHeaderSize>;

struct FrameHeader {
  std::uint8_t code = 0;
  std::int32_t value = 0;
};

WireHeader EncodeHeader(std::uint8_t code, std::int32_t value);
FrameHeader DecodeHeader(const std::uint8_t* wire);

// Text body (124 bytes before scrambling):
//   0..3     reserved, 0
//   4..43    first text, NUL-terminated: at most 39 bytes of text
//   44..123  second text, NUL-terminated: at most 79 bytes of text
inline constexpr std::size_t kTextBodySize = 124;
inline constexpr std::size_t kTextBodyFirstOffset = 4;
inline constexpr std::size_t kTextBodyFirstRoom = 40;
inline constexpr std::size_t kTextBodySecondOffset = 44;
inline constexpr std::size_t kTextBodySecondRoom = 80;
inline constexpr std::size_t kTextBodyFirstMax = kTextBodyFirstRoom - 1;
inline constexpr std::size_t kTextBodySecondMax = kTextBodySecondRoom - 1;

using TextBody = std::array<std::uint8_t, kTextBodySize>;

// The text up to its first NUL: device texts end there, whatever follows.
std::string_view UpToNul(std::string_view text);

enum class TextBodyStatus { kOk, kFirstTooLong, kSecondTooLong };

struct TextBodyResult {
  TextBodyStatus status = TextBodyStatus::kOk;
  TextBody body{};
  bool ok() const { return status == TextBodyStatus::kOk; }
};

// Builds the plain text body. A text that does not fit its field is refused,
// never cut: cutting could split a multi-byte character or change a password
// without the administrator knowing. A text ends at its first NUL byte.
TextBodyResult BuildTextBody(std::string_view first, std::string_view second = {});

}  // namespace kolmara
