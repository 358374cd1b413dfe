// A whole run over 1, 100 and 10,000 maps in the stand-in host (this program
// is the host), beside the floor (and, further down, runs converting p to t
// beside Boost.Math's quantile): a bare loop making the same host calls, one
// read, one write and one log line per map, without the plugin's work. The
// floor's log line is the run's own "Setting parameters for map N", built the
// cheapest way, so that both pass the host the same text. The host is quiet
// (no call trace), so the floor is what those calls cost.
#include "allocation_counter.h"
#include "host_state.h"
#include "map_record.h"
#include "run.h"
#include "startup.h"

#include "bench_points.h"

#include <benchmark/benchmark.h>
#include <boost/math/distributions/students_t.hpp>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" {
bool zuGetNRVMPOfCurrentVMR(std::int32_t, void *);
bool zuSetNRVMPParametersOfCurrentVMR(std::int32_t, void *);
void zuLogText(const char *);
}

namespace {

namespace rec = kelvane::record;

// maps t maps with df 20 to 219 in turn, or all with fixedDf when given.
void setUpHost(std::int64_t maps, bool withP, std::int32_t fixedDf = 0, float minP = 0.05f) {
  ondrava::resetState();
  auto &host = ondrava::state();
  host.maps.assign(static_cast<std::size_t>(maps), ondrava::MapRecord{});
  for (std::size_t i = 0; i < host.maps.size(); ++i) {
    unsigned char *r = host.maps[i].data();
    rec::write<std::int32_t>(r, rec::kMapType, 1);
    rec::write<std::int32_t>(r, rec::kDegreesOfFreedom,
                             fixedDf > 0 ? fixedDf : 20 + static_cast<std::int32_t>(i % 200));
    rec::write<std::int32_t>(r, rec::kOverlayState, 1);
  }
  // A typical choice: thresholds, cluster size, sign and the overlay list.
  host.parameters.ints = {{"DoSetMin", 1},      {"DoSetMinP", withP ? 1 : 0}, {"DoSetMax", 1},
                          {"DoClusterSize", 1}, {"ClusterSize", 25},          {"DoShowPosNegBoth", 1},
                          {"PNB", 2},           {"DoOverlayMaps", 1}};
  host.parameters.floats = {{"Min", 3.0f}, {"MinP", minP}, {"Max", 8.0f}};
  host.parameters.strings = {{"Overlay", "All"}};
  if (!kelvane::startPlugin())
    std::abort();
  host.quiet = true;
}

void BM_Floor(benchmark::State &state) {
  setUpHost(state.range(0), false);
  const auto n = static_cast<std::int32_t>(state.range(0));
  unsigned char record[ondrava::kRecordSize];
  static const char prefix[] = "Kelvane>  Setting parameters for map ";
  char line[64];
  std::memcpy(line, prefix, sizeof prefix - 1);
  for (auto _ : state) {
    for (std::int32_t i = 0; i < n; ++i) {
      zuGetNRVMPOfCurrentVMR(i, record);
      *std::to_chars(line + sizeof prefix - 1, line + sizeof line - 1, i + 1).ptr = '\0';
      zuLogText(line);
      zuSetNRVMPParametersOfCurrentVMR(i, record);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Floor)->Arg(1)->Arg(100)->Arg(10000);

void runBenchmark(benchmark::State &state, bool withP) {
  setUpHost(state.range(0), withP);
  for (auto _ : state)
    benchmark::DoNotOptimize(kelvane::runEditor());
  state.SetItemsProcessed(state.iterations() * state.range(0));
  testing_support::startCountingAllocations();
  kelvane::runEditor();
  state.counters["allocations"] = testing_support::stopCountingAllocations();
}

void BM_Run(benchmark::State &state) { runBenchmark(state, false); }
BENCHMARK(BM_Run)->Arg(1)->Arg(100)->Arg(10000);

// Every map a t map whose threshold comes from p = 0.05.
void BM_RunWithP(benchmark::State &state) { runBenchmark(state, true); }
BENCHMARK(BM_RunWithP)->Arg(1)->Arg(100)->Arg(10000);

// p to t through a whole run beside Boost.Math: one run over 1,500 t maps,
// all with the same df and "MinP", against 1,500 calls of
// quantile(complement(students_t(df), p / 2)) for the same df and p.
constexpr std::int64_t kQuantileMaps = 1500;
using kelvane::bench::dfAndPArgs;

// "MinP" is a float, as the dialog stores it.
float quantileP(std::int64_t index) { return static_cast<float>(kelvane::bench::kPs[index]); }

void BM_RunWithPAt(benchmark::State &state) {
  setUpHost(kQuantileMaps, true, kelvane::bench::kDfs[state.range(0)], quantileP(state.range(1)));
  for (auto _ : state)
    benchmark::DoNotOptimize(kelvane::runEditor());
  state.SetItemsProcessed(state.iterations() * kQuantileMaps);
}
BENCHMARK(BM_RunWithPAt)->Apply(dfAndPArgs);

void BM_BoostQuantiles(benchmark::State &state) {
  namespace bm = boost::math;
  const double df = kelvane::bench::kDfs[state.range(0)];
  const double p = quantileP(state.range(1));
  for (auto _ : state) {
    for (std::int64_t i = 0; i < kQuantileMaps; ++i) {
      benchmark::DoNotOptimize(df);
      benchmark::DoNotOptimize(bm::quantile(bm::complement(bm::students_t(df), p / 2)));
    }
  }
  state.SetItemsProcessed(state.iterations() * kQuantileMaps);
}
BENCHMARK(BM_BoostQuantiles)->Apply(dfAndPArgs);

} // namespace

BENCHMARK_MAIN();
