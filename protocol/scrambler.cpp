#include "protocol/scrambler.h"

#include <algorithm>

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
  //   k[n+j] = k[n]*M^j + t_j,  t_j depending on wire bytes n..n+j-1 only.
  // The t_j of a chunk of blocks are computed first, in a loop without any
  // carried dependency (the compiler vectorises it); the key chain that
  // follows is then one multiply-add per four bytes.
  constexpr std::size_t kBlocks = 64;  // 256 bytes per chunk; 512 bytes of stack
  std::uint16_t t1[kBlocks], t2[kBlocks], t3[kBlocks], t4[kBlocks];
  std::uint32_t k = kScrambleSeed;
  std::size_t i = 0;
  while (i + 4 <= length) {
    const std::size_t blocks = std::min(kBlocks, (length - i) / 4);
    const std::uint8_t* in = input + i;
    for (std::size_t b = 0; b < blocks; ++b) {
      const std::uint32_t c0 = in[4 * b], c1 = in[4 * b + 1], c2 = in[4 * b + 2], c3 = in[4 * b + 3];
      t1[b] = static_cast<std::uint16_t>(c0 * M + I);
      t2[b] = static_cast<std::uint16_t>(c0 * M2 + c1 * M + I2);
      t3[b] = static_cast<std::uint16_t>(c0 * M3 + c1 * M2 + c2 * M + I3);
      t4[b] = static_cast<std::uint16_t>(c0 * M4 + c1 * M3 + c2 * M2 + c3 * M + I4);
    }
    // In place is safe: a block's output is written only after its own
    // input was read, and later input is not touched.
    std::uint8_t* out = output + i;
    for (std::size_t b = 0; b < blocks; ++b) {
      const std::uint8_t c0 = in[4 * b], c1 = in[4 * b + 1], c2 = in[4 * b + 2], c3 = in[4 * b + 3];
      out[4 * b] = static_cast<std::uint8_t>(c0 ^ KeyByte(k));
      out[4 * b + 1] = static_cast<std::uint8_t>(c1 ^ KeyByte(k * M + t1[b]));
      out[4 * b + 2] = static_cast<std::uint8_t>(c2 ^ KeyByte(k * M2 + t2[b]));
      out[4 * b + 3] = static_cast<std::uint8_t>(c3 ^ KeyByte(k * M3 + t3[b]));
      k = k * M4 + t4[b];
    }
    i += blocks * 4;
  }
  for (; i < length; ++i) {
    const std::uint8_t c = input[i];
    output[i] = c ^ KeyByte(k);
    k = (k + c) * M + I;
  }
}

}  // namespace kolmara
