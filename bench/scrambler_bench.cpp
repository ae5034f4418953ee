// The scrambler over the largest run the protocol carries (512 view-ID
// records), against a plain byte-at-a-time loop in this same binary.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "protocol/catalogue.h"
#include "protocol/scrambler.h"

namespace {

using kolmara::kViewIdStoreBytes;

std::vector<std::uint8_t> Input() {
  std::vector<std::uint8_t> v(kViewIdStoreBytes);
  std::mt19937 rng(1);
  for (auto& b : v) b = static_cast<std::uint8_t>(rng());
  return v;
}

// The textbook form: 16-bit key, one byte per step.
void PlainScramble(const std::uint8_t* in, std::uint8_t* out, std::size_t n) {
  std::uint16_t k = kolmara::kScrambleSeed;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t c = static_cast<std::uint8_t>(in[i] ^ (k >> 8));
    out[i] = c;
    k = static_cast<std::uint16_t>((k + c) * kolmara::kScrambleMultiplier + kolmara::kScrambleIncrement);
  }
}

template <void (*F)(const std::uint8_t*, std::uint8_t*, std::size_t)>
void Run(benchmark::State& state) {
  const auto in = Input();
  std::vector<std::uint8_t> out(in.size());
  for (auto _ : state) {
    F(in.data(), out.data(), in.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(in.size()));
}

void BM_ScrambleBytes(benchmark::State& s) { Run<kolmara::ScrambleBytes>(s); }
void BM_ScramblePlainLoop(benchmark::State& s) { Run<PlainScramble>(s); }
void BM_UnscrambleBytes(benchmark::State& s) {
  // The tests build with other flags than this Release build, and the fast
  // form leans on the vectoriser: a speed-up is only worth its figure if the
  // bytes are the plain loop's here too.
  const auto in = Input();
  std::vector<std::uint8_t> fast(in.size()), plain(in.size());
  kolmara::UnscrambleBytes(in.data(), fast.data(), in.size());
  kolmara::UnscrambleBytesReference(in.data(), plain.data(), in.size());
  if (fast != plain) {
    s.SkipWithError("UnscrambleBytes differs from the plain loop");
    return;
  }
  Run<kolmara::UnscrambleBytes>(s);
}
void BM_UnscramblePlainLoop(benchmark::State& s) { Run<kolmara::UnscrambleBytesReference>(s); }

BENCHMARK(BM_ScrambleBytes);
BENCHMARK(BM_ScramblePlainLoop);
BENCHMARK(BM_UnscrambleBytes);
BENCHMARK(BM_UnscramblePlainLoop);

}  // namespace
