// t_from_p beside Boost.Math's Student t quantile for the same df and p, and
// betai beside boost::math::ibeta. Compare the rows pairwise: same arguments,
// same run.
#include "beta.h"
#include "t_threshold.h"

#include "bench_points.h"

#include <benchmark/benchmark.h>
#include <boost/math/distributions/students_t.hpp>
#include <boost/math/special_functions/beta.hpp>

namespace {

using kelvane::bench::dfAndPArgs;
using kelvane::bench::kDfs;
using kelvane::bench::kPs;

void BM_t_from_p(benchmark::State &state) {
  const double df = kDfs[state.range(0)];
  const double p = kPs[state.range(1)];
  for (auto _ : state)
    benchmark::DoNotOptimize(kelvane::stats::t_from_p(df, p, 1e-7));
  kelvane::stats::TFromPCounts counts;
  kelvane::stats::t_from_p(df, p, 1e-7, &counts);
  state.counters["exact"] = counts.exactEvaluations;
  state.counters["tail"] = counts.tailEvaluations;
  state.SetLabel("df=" + std::to_string(static_cast<long>(df)) + " p=" + std::to_string(p));
}
BENCHMARK(BM_t_from_p)->Apply(dfAndPArgs);

// The plain walk, every point evaluated: what t_from_p cost before its
// points were decided by bounds, and the reference it matches bit for bit.
void BM_t_from_p_plain(benchmark::State &state) {
  const double df = kDfs[state.range(0)];
  const double p = kPs[state.range(1)];
  for (auto _ : state)
    benchmark::DoNotOptimize(kelvane::stats::detail::t_from_p_reference(df, p, 1e-7, nullptr));
}
BENCHMARK(BM_t_from_p_plain)->Apply(dfAndPArgs);

void BM_boost_t_quantile(benchmark::State &state) {
  namespace bm = boost::math;
  const double df = kDfs[state.range(0)];
  const double p = kPs[state.range(1)];
  for (auto _ : state) {
    benchmark::DoNotOptimize(df);
    benchmark::DoNotOptimize(bm::quantile(bm::complement(bm::students_t(df), p / 2)));
  }
  state.SetLabel("df=" + std::to_string(static_cast<long>(df)) + " p=" + std::to_string(p));
}
BENCHMARK(BM_boost_t_quantile)->Apply(dfAndPArgs);

// The tail probability at t = 2.2 as the walk asks for it.
void betaArgs(benchmark::internal::Benchmark *b) {
  for (int df = 0; df < static_cast<int>(std::size(kDfs)); ++df)
    b->Arg(df);
}

void BM_betai(benchmark::State &state) {
  const double df = kDfs[state.range(0)];
  const double x = df / (2.2 * 2.2 + df);
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(kelvane::stats::betai(df * 0.5, 0.5, x).value);
  }
}
BENCHMARK(BM_betai)->Apply(betaArgs);

void BM_boost_ibeta(benchmark::State &state) {
  const double df = kDfs[state.range(0)];
  const double x = df / (2.2 * 2.2 + df);
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(boost::math::ibeta(df * 0.5, 0.5, x));
  }
}
BENCHMARK(BM_boost_ibeta)->Apply(betaArgs);

} // namespace

BENCHMARK_MAIN();
