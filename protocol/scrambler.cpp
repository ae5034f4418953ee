#include "protocol/scrambler.h"

namespace kolmara {
namespace {

// Only bits 8..15 of the key are ever used and they depend only on the low
// 16 bits of every operand, so 32-bit unsigned wrap-around is as good as
// arithmetic modulo 65536.
constexpr std::uint32_t M = kScrambleMultiplier;
constexpr std::uint32_t I = kScrambleIncrement;
constexpr std::uint32_t M2 = M * M;
constexpr std::uint32_t M3 = M2 * M;
constexpr std::uint32_t M4 = M3 * M;
constexpr std::uint32_t I2 = I * M + I;
constexpr std::uint32_t I3 = I * (M2 + M + 1);
constexpr std::uint32_t I4 = I * (M3 + M2 + M + 1);

inline std::uint8_t KeyByte(std::uint32_t k) { return static_cast<std::uint8_t>(k >> 8); }

}  // namespace

void ScrambleBytes(const std::uint8_t* input, std::uint8_t* output, std::size_t length) {
  // Each key needs the wire byte just produced, so this chain cannot be folded.
  std::uint32_t k = kScrambleSeed;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t c = input[i] ^ KeyByte(k);
    output[i] = c;
    k = (k + c) * M + I;
  }
}

void UnscrambleBytesReference(const std::uint8_t* input, std::uint8_t* output, std::size_t length) {
  std::uint32_t k = kScrambleSeed;
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t c = input[i];
    output[i] = c ^ KeyByte(k);
    k = (k + c) * M + I;
  }
}

void UnscrambleBytes(const std::uint8_t* input, std::uint8_t* output, std::size_t length) {
  // The wire bytes are all known up front, so four key steps fold into one:
  // k[n+j] = k[n]*M^j + (terms of the wire bytes only). The loop-carried chain
  // is then one multiply-add per four bytes instead of four.
  std::uint32_t k = kScrambleSeed;
  std::size_t i = 0;
  for (; i + 4 <= length; i += 4) {
    const std::uint32_t c0 = input[i];
    const std::uint32_t c1 = input[i + 1];
    const std::uint32_t c2 = input[i + 2];
    const std::uint32_t c3 = input[i + 3];
    const std::uint32_t k1 = k * M + (c0 * M + I);
    const std::uint32_t k2 = k * M2 + (c0 * M2 + c1 * M + I2);
    const std::uint32_t k3 = k * M3 + (c0 * M3 + c1 * M2 + c2 * M + I3);
    const std::uint32_t k4 = k * M4 + (c0 * M4 + c1 * M3 + c2 * M2 + c3 * M + I4);
    output[i] = static_cast<std::uint8_t>(c0 ^ KeyByte(k));
    output[i + 1] = static_cast<std::uint8_t>(c1 ^ KeyByte(k1));
    output[i + 2] = static_cast<std::uint8_t>(c2 ^ KeyByte(k2));
    output[i + 3] = static_cast<std::uint8_t>(c3 ^ KeyByte(k3));
    k = k4;
  }
  for (; i < length; ++i) {
    const std::uint8_t c = input[i];
    output[i] = c ^ KeyByte(k);
    k = (k + c) * M + I;
  }
}

}  // namespace kolmara
