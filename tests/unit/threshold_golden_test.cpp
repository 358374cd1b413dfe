// Thresholds must be the same bits on every build and platform. The expected
// bit patterns are kept in a file produced by this test itself from the plain
// walk (KELVANE_WRITE_THRESHOLDS=path) and compared on every build.
#include "t_threshold.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Case {
  std::int32_t df;
  float p;
};

std::vector<Case> grid() {
  const std::int32_t dfs[] = {-1, 0, 1, 2, 3, 5, 10, 11, 20, 30, 100, 271, 1000, 100000, 2147483647};
  const float ps[] = {1e-20f, 1e-6f, 1e-5f, 1e-4f, 0.001f, 0.005f, 0.01f, 0.05f,
                      0.1f,   0.15f, 0.2f,  0.4f,  0.5f,   0.7f,   0.999f};
  std::vector<Case> cases;
  for (const std::int32_t df : dfs)
    for (const float p : ps)
      cases.push_back({df, p});
  return cases;
}

// The patterns are written from the plain walk, every point evaluated, and
// every build's t_from_p is held to them.
std::uint64_t thresholdBits(const Case &c, bool plainWalk = false) {
  const double p = static_cast<double>(c.p);
  const double t = plainWalk ? kelvane::stats::detail::t_from_p_reference(c.df, p, 1e-7, nullptr)
                             : kelvane::stats::t_from_p(c.df, p, 1e-7);
  std::uint64_t bits;
  std::memcpy(&bits, &t, sizeof bits);
  return bits;
}

TEST(ThresholdBits, SameOnEveryBuild) {
  const std::vector<Case> cases = grid();
  if (const char *out = std::getenv("KELVANE_WRITE_THRESHOLDS")) {
    std::FILE *file = std::fopen(out, "w");
    ASSERT_NE(file, nullptr) << out;
    for (const Case &c : cases)
      std::fprintf(file, "%" PRId32 " %a %016" PRIx64 "\n", c.df, static_cast<double>(c.p),
                   thresholdBits(c, true));
    std::fclose(file);
    GTEST_SKIP() << "wrote " << out;
  }
  std::FILE *file = std::fopen(KELVANE_THRESHOLDS_FILE, "r");
  ASSERT_NE(file, nullptr) << KELVANE_THRESHOLDS_FILE;
  std::size_t row = 0;
  std::int32_t df;
  double p;
  std::uint64_t bits;
  while (std::fscanf(file, "%" SCNd32 " %la %" SCNx64, &df, &p, &bits) == 3) {
    ASSERT_LT(row, cases.size());
    const Case &c = cases[row++];
    ASSERT_EQ(df, c.df);
    ASSERT_EQ(p, static_cast<double>(c.p));
    EXPECT_EQ(thresholdBits(c), bits) << "df=" << df << " p=" << p;
  }
  std::fclose(file);
  EXPECT_EQ(row, cases.size());
}

} // namespace
