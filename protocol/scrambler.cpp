#include "protocol/scrambler.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace kolmara {
namespace {

// Only bits 8..15 of the key are ever used and they depend only on the low
// 16 bits of every operand, so 32-bit unsigned wrap-around is as good as
// arithmetic modulo 65536.
constexpr std::uint32_t M = kScrambleMultiplier;
constexpr std::uint32_t I = kScrambleIncrement;

constexpr std::uint8_t KeyByte(std::uint32_t k) { return static_cast<std::uint8_t>(k >> 8); }
constexpr std::uint16_t Low16(std::uint32_t v) { return static_cast<std::uint16_t>(v); }

constexpr std::uint32_t Power(std::uint32_t base, unsigned exponent) {
  std::uint32_t r = 1;
  for (unsigned e = 0; e < exponent; ++e) r = Low16(r * base);
  return r;
}

// M is odd, so it has an inverse modulo 65536; Newton's step doubles the
// number of correct low bits, and M alone is right in its low 3.
constexpr std::uint32_t Inverse(std::uint32_t a) {
  std::uint32_t x = a;
  for (int step = 0; step < 4; ++step) x = Low16(x * (2 - a * x));
  return x;
}
static_assert(Low16(M * Inverse(M)) == 1);

// The key of byte p+1 is M*key[p] + u[p], with u[p] = M*c[p] + I. Unrolled
// kLag times: key[p+1] = M^kLag * key[p+1-kLag] + x[p], x[p] being the sum
// of M^j * u[p-j] over j < kLag. Every loop over a chunk below, the lagged
// key recurrence included, reads only values at least kLag 16-bit lanes
// behind what it writes, so the compiler turns each into plain vector code
// (8 lanes with SSE2), and the recurrence runs as kLag / 8 independent
// chains, which hides the latency of the vector multiply.
constexpr std::size_t kLag = 16;
constexpr std::size_t kChunk = 256;
// The tail of a run goes in chunks of this size, so that a 124-byte body
// does not pay for a padded large one.
constexpr std::size_t kSmallChunk = 64;
// Below this a run (a header) or what is left of it goes byte by byte,
// which is quicker than a padded small chunk.
constexpr std::size_t kShortRun = 48;

// The state of one run: the working set of one chunk (under 2 KB, all of
// it in the first-level cache) behind a history of the kLag bytes before it.
// Every loop runs a fixed number of times and writes local arrays only,
// except the last, which writes `out` from local arrays: no aliasing to rule
// out at run time and no remainder, which is what the compiler's cheapest
// vectoriser (GCC at -O2) asks for.
class Unscrambler {
 public:
  // Before the first chunk comes a history of bytes whose u is 0 and whose
  // keys lead to the seed (key[q] = M^-1 * key[q+1]), so that the first
  // chunk needs no case of its own.
  Unscrambler() {
    std::fill(u_, u_ + h, std::uint16_t{0});
    std::fill(x4_, x4_ + h, std::uint16_t{0});
    key_[h] = kScrambleSeed;
    for (std::size_t q = h; q > 0; --q) key_[q - 1] = Low16(key_[q] * Inverse(M));
  }

  // Unscrambles the next N bytes of the run; returns the key after them.
  // All of `in` is read before `out` is written, so they may be the same
  // buffer.
  template <std::size_t N>
  std::uint32_t Next(const std::uint8_t* in, std::uint8_t* out) {
    static_assert(N >= h && N <= kChunk);
    static_assert(kLag == 16, "x below sums 16 terms, as four sums of four");
    constexpr std::uint32_t M2 = Power(M, 2), M3 = Power(M, 3), M4 = Power(M, 4), M8 = Power(M, 8),
                            M12 = Power(M, 12), ML = Power(M, kLag);
    for (std::size_t p = 0; p < N; ++p) {
      c_[p] = in[p];
      u_[h + p] = Low16(in[p] * M + I);
    }
    for (std::size_t p = 0; p < N; ++p)
      x4_[h + p] = Low16(u_[h + p] + u_[h + p - 1] * M + u_[h + p - 2] * M2 + u_[h + p - 3] * M3);
    for (std::size_t p = 0; p < N; ++p) {
      const std::uint32_t x = x4_[h + p] + x4_[h + p - 4] * M4 + x4_[h + p - 8] * M8 + x4_[h + p - 12] * M12;
      key_[h + p + 1] = Low16(key_[h + p + 1 - kLag] * ML + x);
    }
    for (std::size_t p = 0; p < N; ++p) out[p] = static_cast<std::uint8_t>(c_[p] ^ KeyByte(key_[h + p]));
    // The end of this chunk is the history of the next.
    std::copy(u_ + N, u_ + N + h, u_);
    std::copy(x4_ + N, x4_ + N + h, x4_);
    std::copy(key_ + N, key_ + N + h + 1, key_);
    return key_[h];
  }

 private:
  static constexpr std::size_t h = kLag;  // index of the chunk's first byte in u_, x4_ and key_
  std::uint8_t c_[kChunk];
  std::uint16_t u_[h + kChunk];
  std::uint16_t x4_[h + kChunk];       // x4_[h + p]: the sum of M^j * u[p-j] over j < 4
  std::uint16_t key_[h + kChunk + 1];  // key_[h + p]: the key of byte p
};

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
  std::uint32_t k = kScrambleSeed;
  std::size_t i = 0;
  if (length >= kShortRun) {
    // Each Next<N> is called from one place only, so the compiler inlines it
    // and sees that `output` cannot point into the unscrambler.
    Unscrambler run;
    for (; length - i >= kChunk; i += kChunk) k = run.Next<kChunk>(input + i, output + i);
    std::uint8_t stage[kSmallChunk];
    while (length - i >= kShortRun) {
      const std::size_t n = std::min(kSmallChunk, length - i);
      const std::uint8_t* from = input + i;
      std::uint8_t* to = output + i;
      if (n < kSmallChunk) {
        // The last part goes through stage, padded; the key after it is not used.
        std::memcpy(stage, from, n);
        std::memset(stage + n, 0, kSmallChunk - n);
        from = to = stage;
      }
      k = run.Next<kSmallChunk>(from, to);
      if (n < kSmallChunk) {
        std::memcpy(output + i, stage, n);
        return;
      }
      i += kSmallChunk;
    }
  }
  for (; i < length; ++i) {
    const std::uint8_t c = input[i];
    output[i] = c ^ KeyByte(k);
    k = (k + c) * M + I;
  }
}

}  // namespace kolmara
