// A whole run over 1, 100 and 10,000 maps in the stand-in host (this program
// is the host), beside the floor: a bare loop making the same host calls, one
// read, one write and one log line per map, without the plugin's work. The
// floor's log line is the run's own "Setting parameters for map N", built the
// cheapest way, so that both pass the host the same text. The host is quiet
// (no call trace), so the floor is what those calls cost.
#include "allocation_counter.h"
#include "host_state.h"
#include "map_record.h"
#include "run.h"
#include "startup.h"

#include <benchmark/benchmark.h>

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

void setUpHost(std::int64_t maps, bool withP) {
  ondrava::resetState();
  auto &host = ondrava::state();
  host.maps.assign(static_cast<std::size_t>(maps), ondrava::MapRecord{});
  for (std::size_t i = 0; i < host.maps.size(); ++i) {
    unsigned char *r = host.maps[i].data();
    rec::write<std::int32_t>(r, rec::kMapType, 1);
    rec::write<std::int32_t>(r, rec::kDegreesOfFreedom, 20 + static_cast<std::int32_t>(i % 200));
    rec::write<std::int32_t>(r, rec::kOverlayState, 1);
  }
  // A typical choice: thresholds, cluster size, sign and the overlay list.
  host.ints = {{"DoSetMin", 1},     {"DoSetMinP", withP ? 1 : 0}, {"DoSetMax", 1}, {"DoClusterSize", 1},
               {"ClusterSize", 25}, {"DoShowPosNegBoth", 1},      {"PNB", 2},      {"DoOverlayMaps", 1}};
  host.floats = {{"Min", 3.0f}, {"MinP", 0.05f}, {"Max", 8.0f}};
  host.strings = {{"Overlay", "All"}};
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

} // namespace

BENCHMARK_MAIN();
