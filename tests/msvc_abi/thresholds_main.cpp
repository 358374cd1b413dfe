// The thresholds of the shipping build, bit for bit: against the patterns that
// every other build is checked against (tests/data/thresholds.txt: df, p as a
// hexadecimal float, the threshold's bits), and against the plain walk on
// random pairs, since the fast walk's starting point goes through this C
// runtime's own erf, exp and log. Plain C stdio: this build has no compiled
// C++ library.
//   kelvane_msvc_thresholds <thresholds file> [random pairs]
#include "t_threshold.h"

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A 64-bit linear congruential generator (Knuth's MMIX constants): the same
// draws on every build, with nothing from the C++ library.
struct Draw {
  std::uint64_t state;
  double unit() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) * 0x1p-53;
  }
};

// df log-uniform over the 32-bit range, p a float log-uniform from 1e-9 to
// 0.9: the fast walk's whole range and both sides of it. Returns mismatches.
long compareWithThePlainWalk(long pairs) {
  Draw draw{20261207};
  long mismatches = 0;
  for (long i = 0; i < pairs; ++i) {
    const double df = std::floor(std::exp(draw.unit() * std::log(2147483647.0)));
    const double p = static_cast<float>(std::exp(std::log(1e-9) + draw.unit() * std::log(0.9 / 1e-9)));
    kelvane::stats::TFromPCounts counts;
    int plainCount = 0;
    const double fast = kelvane::stats::t_from_p(df, p, 1e-7, &counts);
    const int fastCount = counts.evaluations;
    const double plain = kelvane::stats::detail::t_from_p_reference(df, p, 1e-7, &plainCount);
    if (std::memcmp(&fast, &plain, sizeof fast) != 0 || fastCount != plainCount) {
      if (++mismatches <= 10)
        std::printf("df %.17g p %a: %.17g after %d, the plain walk %.17g after %d\n", df, p, fast, fastCount,
                    plain, plainCount);
    }
  }
  return mismatches;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2 && argc != 3) {
    std::printf("usage: kelvane_msvc_thresholds THRESHOLDS_FILE [RANDOM_PAIRS]\n");
    return 2;
  }
  std::FILE *file = std::fopen(argv[1], "r");
  if (file == nullptr) {
    std::printf("cannot read %s\n", argv[1]);
    return 2;
  }
  int rows = 0;
  int mismatches = 0;
  char line[128];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    // Parsed with strtol/strtod/strtoull rather than scanf's %a, whose
    // support differs between C runtimes.
    char *end = nullptr;
    const long df = std::strtol(line, &end, 10);
    const double p = std::strtod(end, &end);
    const std::uint64_t expected = std::strtoull(end, &end, 16);
    if (*end != '\n' && *end != '\0') {
      std::printf("row %d is malformed: %s", rows + 1, line);
      return 2;
    }
    ++rows;
    const double t = kelvane::stats::t_from_p(static_cast<double>(df), p, 1e-7);
    std::uint64_t bits;
    std::memcpy(&bits, &t, sizeof bits);
    if (bits != expected) {
      ++mismatches;
      std::printf("df %ld p %a: %016" PRIx64 " (%.17g), expected %016" PRIx64 "\n", df, p, bits, t, expected);
    }
  }
  std::fclose(file);
  std::printf("%d thresholds, %d differ\n", rows, mismatches);
  const long pairs = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 0;
  const long walkMismatches = compareWithThePlainWalk(pairs);
  std::printf("%ld random pairs, %ld differ from the plain walk\n", pairs, walkMismatches);
  return rows == 225 && mismatches == 0 && walkMismatches == 0 ? 0 : 1;
}
