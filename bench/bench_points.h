// The points both benchmark programs measure p to t at: four df, and three
// p, the first two inside the walk's reach for every one of these df, the
// last beyond it.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

namespace kelvane::bench {

constexpr std::int32_t kDfs[] = {20, 100, 1000, 100000};
constexpr double kPs[] = {0.05, 0.001, 1e-6};

// Arguments (df index, p index) for every point.
inline void dfAndPArgs(benchmark::internal::Benchmark *b) {
  for (int df = 0; df < 4; ++df)
    for (int p = 0; p < 3; ++p)
      b->Args({df, p});
}

} // namespace kelvane::bench
