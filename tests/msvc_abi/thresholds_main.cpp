// The thresholds of the shipping build, bit for bit against the patterns that
// every other build is checked against (tests/data/thresholds.txt: df, p as a
// hexadecimal float, the threshold's bits). Plain C stdio: this build has no
// compiled C++ library.
//   kelvane_msvc_thresholds <thresholds file>
#include "t_threshold.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv) {
  if (argc != 2) {
    std::printf("usage: kelvane_msvc_thresholds THRESHOLDS_FILE\n");
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
  return rows == 225 && mismatches == 0 ? 0 : 1;
}
