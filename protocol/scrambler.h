#pragma once
// The stream scrambler: a 16-bit running-key byte cipher. Every run (one
// header, or one body) starts from the seed; the key always advances with the
// wire byte, so both directions share one key chain.
#include <cstddef>
#include <cstdint>

namespace kolmara {

inline constexpr std::uint16_t kScrambleSeed = 15261;        // 0x3B9D
inline constexpr std::uint16_t kScrambleMultiplier = 40277;  // 0x9D55
inline constexpr std::uint16_t kScrambleIncrement = 27109;   // 0x69E5

// Scrambles `length` bytes as one run. `input` and `output` may be the same buffer.
void ScrambleBytes(const std::uint8_t* input, std::uint8_t* output, std::size_t length);

// The inverse, also one run from the seed. `input` and `output` may be the same buffer.
void UnscrambleBytes(const std::uint8_t* input, std::uint8_t* output, std::size_t length);

// The plain byte-at-a-time form of UnscrambleBytes; kept as the reference the
// folded version is checked and measured against.
void UnscrambleBytesReference(const std::uint8_t* input, std::uint8_t* output, std::size_t length);

}  // namespace kolmara
