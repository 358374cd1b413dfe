// The points both benchmark programs measure p to t at: five df by seven p,
// 0.05 and 0.001 inside the walk's reach (but 0.001 at 5 df), 1e-5 inside it
// from about 271 df, the others beyond it.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <iterator>

namespace kelvane::bench {

constexpr std::int32_t kDfs[] = {5, 20, 100, 1000, 100000};
constexpr double kPs[] = {0.05, 0.001, 1e-5, 1e-6, 1e-8, 0.2, 0.6};

// Arguments (df index, p index) for every point.
inline void dfAndPArgs(benchmark::internal::Benchmark *b) {
  for (int df = 0; df < static_cast<int>(std::size(kDfs)); ++df)
    for (int p = 0; p < static_cast<int>(std::size(kPs)); ++p)
      b->Args({df, p});
}

} // namespace kelvane::bench
