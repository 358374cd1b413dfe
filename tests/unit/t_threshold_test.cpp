// t thresholds from two-tailed p values. Inside the walk's reach the results
// are pinned bit for bit; everywhere they are checked against Boost.Math's
// Student t quantile, quantile(complement(students_t(df), p / 2)).
//
// KELVANE_ACCURACY_PAIRS=n sets how many random (df, p) pairs are checked
// against the quantile (default 1,000,000).
#include "t_threshold.h"

#include "beta.h"
#include "random_pairs.h"

#include <boost/math/distributions/students_t.hpp>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

namespace ks = kelvane::stats;
using ks::kTFromPMaxEvaluations;
using ks::t_from_p;

const double kTolerance = 1e-7; // the binary64 0x3E7AD7F29ABCAF48

double exactT(double df, double p) {
  namespace bm = boost::math;
  return bm::quantile(bm::complement(bm::students_t(df), p / 2));
}

TEST(TFromP, ToleranceIsTheExpectedDouble) {
  std::uint64_t bits;
  std::memcpy(&bits, &kTolerance, sizeof bits);
  EXPECT_EQ(bits, 0x3E7AD7F29ABCAF48u);
}

TEST(TFromP, BitExactInsideTheWalksReach) {
  const struct {
    double df;
    float p;
    double t;
    int evaluations;
  } rows[] = {
      // The last point evaluated is the threshold (its pc met the tolerance).
      {10, 0.05f, 2.2281389236450195, 20},
      {10, 0.01f, 3.1692695617675781, 18},
      {30, 0.05f, 2.0422725677490234, 19},
      {2, 0.05f, 4.3026523590087891, 19},
      {5, 0.01f, 4.0321426391601562, 17},
      {11, 0.001f, 4.43701171875, 11},
      {20, 0.001f, 3.849517822265625, 15},
      {100, 0.001f, 3.390472412109375, 15},
      {1000, 0.05f, 1.9623384475708008, 20},
      {200, 0.001f, 3.33984375, 8},
      // pc(3) at df 150 is 0.00316225...: both p meet the tolerance at the start.
      {150, 0.0031623f, 3.0, 1},
      {150, 0.0031622f, 3.0, 1},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::Message() << "df=" << row.df << " p=" << row.p);
    ks::TFromPCounts counts;
    EXPECT_EQ(t_from_p(row.df, row.p, kTolerance, &counts), row.t);
    EXPECT_EQ(counts.evaluations, row.evaluations);
    // Every threshold the walk returns is one it evaluated: a float holds it.
    EXPECT_EQ(static_cast<double>(static_cast<float>(row.t)), row.t);
    int evaluations = -1;
    EXPECT_EQ(ks::detail::t_from_p_reference(row.df, row.p, kTolerance, &evaluations), row.t);
    EXPECT_EQ(evaluations, row.evaluations);
  }
}

// The help page's table (tools/help_page.cpp) shows three decimals: there a
// run's threshold is the quantile; the walk's tolerance shows only further
// down, as in the page's example at 200 df and p 0.001.
TEST(TFromP, HelpPageTableShowsTheQuantileInItsDecimals) {
  for (const int df : {5, 10, 20, 30, 50, 100, 200, 1000}) {
    for (const float p : {0.05f, 0.01f, 0.005f, 0.001f, 0.0001f, 1e-6f}) {
      char shown[32];
      char exact[32];
      std::snprintf(shown, sizeof shown, "%.3f", static_cast<double>(ks::map_t_threshold(df, p)));
      std::snprintf(exact, sizeof exact, "%.3f", exactT(df, p));
      EXPECT_STREQ(shown, exact) << "df=" << df << " p=" << p;
    }
  }
  EXPECT_EQ(ks::map_t_threshold(200, 0.001f), 3.33984375f);
  EXPECT_NEAR(exactT(200, 0.001f), 3.339835, 5e-7);
}

TEST(TFromP, LargestDegreesOfFreedomEndNormally) {
  ks::TFromPCounts counts;
  const double t = t_from_p(2147483647.0, 0.05f, kTolerance, &counts);
  EXPECT_LE(counts.evaluations, 23);
  EXPECT_NEAR(t, 1.959964, 1e-5);
}

// At a few isolated points the fraction's factor misses its test by a few
// units in the last place for all MAXIT iterations, and betai reports that it
// did not converge. Some lie on walks: at t = 1.79296875 with df 24372 on
// the walks of the first row's p, among others. The walk goes on with the
// value after MAXIT iterations.
TEST(TFromP, WalkSurvivesPointsWhereTheFractionDoesNotConverge) {
  const struct {
    double df;
    double t; // the point on the walk
    std::vector<float> ps;
  } rows[] = {
      {24372, 1.79296875, {0x1.24f8cp-4f, 0.072f, 0.074f}},
      {3479, 1.7327499389648438, {0x1.54e76ep-4f}},
      {47845, 1.736231803894043, {0x1.520ap-4f}},
      {4569, 1.7345066070556641, {0x1.538a2ep-4f}},
  };
  for (const auto &row : rows) {
    const double a = row.df * 0.5;
    const double terms = ks::detail::log_beta_terms(a, 0.5);
    const ks::BetaResult pc = ks::betai(a, 0.5, ks::detail::walk_x(row.df, row.t), &terms);
    EXPECT_EQ(pc.status, ks::BetaStatus::not_converged) << row.df << " " << row.t;
    for (const float p : row.ps) {
      SCOPED_TRACE(testing::Message() << "df=" << row.df << " p=" << p);
      ks::TFromPCounts counts;
      int reference = 0;
      const double threshold = t_from_p(row.df, p, kTolerance, &counts);
      EXPECT_NEAR(threshold, exactT(row.df, p), 1e-5);
      EXPECT_EQ(threshold, ks::detail::t_from_p_reference(row.df, p, kTolerance, &reference));
      EXPECT_EQ(counts.evaluations, reference);
    }
  }
}

// No quantile to give: a NaN p, or a df with no t distribution (a run keeps
// the map's threshold for those and never asks).
TEST(TFromP, ImmediateAnswers) {
  const struct {
    double df;
    double p;
  } rows[] = {
      {10, std::nan("")},
      {0, 0.05},
      {0, 0.5},
      {-0.0, 0.001},
      {1e6, -std::nan("")},
      {-1, 0.05},
      {-9, 0.05},
      {-10, 0.05},
      {-2147483648.0, 0.001},
      {-std::numeric_limits<double>::infinity(), 0.05},
      {std::numeric_limits<double>::infinity(), 0.05},
      {std::nan(""), 0.05},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::Message() << "df=" << row.df << " p=" << row.p);
    ks::TFromPCounts counts;
    counts.evaluations = -1;
    EXPECT_EQ(t_from_p(row.df, row.p, kTolerance, &counts), 3.0);
    EXPECT_EQ(counts.evaluations, 0);
  }
}

// The p values for which the walk ends: within the tolerance of the tail
// probabilities at the ends of its reach, t = 4.5 and t = 1.5.
using random_pairs::walkTail;

bool insideWindow(double df, double p) {
  return p >= walkTail(df, ks::kWalkHighEdge) - kTolerance &&
         p <= walkTail(df, ks::kWalkLowEdge) + kTolerance && std::fabs(0.5 - p) > kTolerance;
}

TEST(TFromP, BeyondTheWalksReachMatchesTheQuantile) {
  const double dfs[] = {1, 2, 3, 5, 10, 30, 100, 1000, 1e6, 2147483647.0};
  const double ps[] = {1e-30, 1e-20, 1e-12, 1e-6,       1e-4,       0.001,           0.01, 0.05, 0.2,
                       0.3,   0.4,   0.45,  0.5 - 1e-7, 0.5 + 1e-7, 0.5 + 1.0001e-7, 0.6,  0.9,  0.99,
                       0.999};
  std::vector<double> grid(std::begin(ps), std::end(ps));
  for (double e = -30; e < 0; e += 0.25)
    grid.push_back(std::pow(10.0, e));
  int checked = 0;
  for (const double df : dfs) {
    for (const double p : grid) {
      if (insideWindow(df, p))
        continue; // the walk ends there, within its own tolerance on p
      const double exact = exactT(df, p);
      SCOPED_TRACE(testing::Message() << "df=" << df << " p=" << p << " exact=" << exact);
      ks::TFromPCounts counts;
      const float narrowed = static_cast<float>(t_from_p(df, p, kTolerance, &counts));
      EXPECT_LE(std::fabs(narrowed - exact), 1e-6 * exact);
      EXPECT_LE(counts.evaluations, kTFromPMaxEvaluations);
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
}

// The walk alone would stop at 4.5 or 1.5 for these; p near one half, whose
// t lies below 1.5 for every df, goes to the search without the walk. Their
// work is pinned: the points the walk visits with its look past an edge and
// the search's steps (evaluations), and of these the accurate tail's. Faults
// that leave every threshold as it is but slow the search (its start, its
// Halley steps, the bracketing search's Illinois steps) change these counts.
TEST(TFromP, NamedCasesBeyondTheWalk) {
  const struct {
    double df;
    double p;
    int evaluations;
    int tailEvaluations;
  } rows[] = {
      // beyond the high edge: the walk settled from the search's start
      {10, 0.001f, 11, 2},
      {5, 0.001f, 12, 3},
      {1000, 1e-6f, 11, 2},
      {30, 1e-12f, 12, 3},
      {1, 0.05f, 11, 3}, // the plain walk and its look
      // beyond the low edge
      {10, 0.2f, 11, 2},
      {3, 0.92f, 12, 3},
      {2147483647, 0.3f, 11, 3},
      {10, 0.49999f, 11, 2},
      {10, 0.50001f, 11, 2},
      {7, 0.5000001f, 11, 2},
      // near one half: the search alone
      {10, 0.5f, 2, 2},
      {3, 0.5f, 3, 3},
      {1, 0.5f, 2, 2},
      {2147483647, 0.5f, 2, 2},
      {30, 0.49999997f, 2, 2},
      // a double just under 1, where only the bracketing search ends
      {2, 1 - 5e-9, 109, 100},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::Message() << "df=" << row.df << " p=" << row.p);
    const double exact = exactT(row.df, row.p);
    ks::TFromPCounts counts;
    const float t = static_cast<float>(t_from_p(row.df, row.p, kTolerance, &counts));
    EXPECT_LE(std::fabs(t - exact), 1e-6 * exact);
    EXPECT_EQ(counts.evaluations, row.evaluations);
    EXPECT_EQ(counts.tailEvaluations, row.tailEvaluations);
  }
  EXPECT_NEAR(static_cast<float>(t_from_p(10, 0.001f, kTolerance)), 4.5869, 1e-4);
  EXPECT_NEAR(static_cast<float>(t_from_p(5, 0.001f, kTolerance)), 6.8688, 1e-4);
}

// p exactly on the tail at the walk's last point, with a tolerance no walk
// meets: the interpolated step of the search is as long as its bracket,
// whose bit distance rounds as a double. It must stay inside (the sanitizer
// build checks the cast), and the result is still the quantile.
TEST(TFromP, BracketSearchStepsStayInsideTheBracket) {
  const double p = 0x1.414aea1477a7bp-3;
  const double tolerance = std::ldexp(0x20014, -1074); // subnormal
  int plain = 0;
  ks::TFromPCounts counts;
  const double t = t_from_p(8, p, tolerance, &counts);
  EXPECT_EQ(t, ks::detail::t_from_p_reference(8, p, tolerance, &plain));
  EXPECT_EQ(counts.evaluations, plain);
  EXPECT_NEAR(t, exactT(8, p), 1e-6 * t);
}

TEST(TFromP, ThresholdsAFloatCannotHoldAreCapped) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double df;
    double p;
    double t;
  } rows[] = {
      {1, 0.0, FLT_MAX},    {1, -1.0, FLT_MAX},       {1, -inf, FLT_MAX}, {1, 1e-40, FLT_MAX},
      {2, 1e-300, FLT_MAX}, {10, 0.0, FLT_MAX},       {10, 1.0, 0.0},     {10, 1.5, 0.0},
      {1, inf, 0.0},        {2147483647.0, 2.0, 0.0},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::Message() << "df=" << row.df << " p=" << row.p);
    EXPECT_EQ(t_from_p(row.df, row.p, kTolerance), row.t);
  }
}

// Every df and p that a map record and the user's "MinP" can hold: the
// process survives, the result is a finite float-sized threshold and the
// evaluations stay bounded.
TEST(TFromP, SweepNeverEndsTheProcess) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> dfs = {0,    1,     2,   3,   4,   5,    6,
                             7,    8,     9,   10,  11,  15,   29,
                             30,   31,    50,  99,  100, 271,  1000,
                             4096, 65536, 1e6, 1e7, 1e8, 1e9,  2147483647.0,
                             -1,   -2,    -8,  -9,  -10, -1e6, -2147483648.0};
  std::vector<double> ps = {
      0,      -0.0,      -1,     std::nan(""), 1,      inf,       -inf,     2,         1e-45,    1e-38,
      1e-30,  1e-12,     6.7e-6, 6.8e-6,       1e-5,   0.0002188, 0.001143, 0.01,      0.02049,  0.046,
      0.05,   0.1336,    0.1392, 0.14,         0.1645, 0.2,       0.2724,   0.3,       0.3743,   0.38,
      0.4999, 0.4999999, 0.5,    0.5000001,    0.5001, 0.75,      0.999,    0.9999999, 1.0000001};
  for (const double df : dfs) {
    for (const double p : ps) {
      for (const double q : {p, static_cast<double>(static_cast<float>(p))}) {
        ks::TFromPCounts counts;
        const double t = t_from_p(df, q, kTolerance, &counts);
        ASSERT_TRUE(std::isfinite(t)) << df << " " << q;
        ASSERT_GE(t, 0.0) << df << " " << q;
        ASSERT_LE(t, static_cast<double>(FLT_MAX)) << df << " " << q;
        ASSERT_LE(counts.evaluations, kTFromPMaxEvaluations) << df << " " << q;
      }
    }
  }
}

// Inside the walk's reach the threshold is a point whose pc met the
// tolerance, which allows up to about 7e-4 (the reach's upper edge at large
// df); beyond it, the quantile itself. Prints the worst of each.
TEST(TFromP, WithinAThousandthOfTheQuantileInsideTheReachAndAMillionthBeyond) {
  const long pairs = random_pairs::count("KELVANE_ACCURACY_PAIRS", 1000000);
  random_pairs::Draw draw(20261208);
  struct Worst {
    double error = 0, df = 0, p = 0;
    long count = 0;
    void add(double e, double d, double q) {
      ++count;
      if (e > error)
        *this = {e, d, q, count};
    }
  } inside, beyond;
  for (long i = 0; i < pairs; ++i) {
    const auto [df, p] = draw.next();
    const double exact = exactT(df, p);
    const double error = std::fabs(static_cast<float>(t_from_p(df, p, kTolerance)) - exact) / exact;
    (insideWindow(df, p) ? inside : beyond).add(error, df, p);
  }
  std::printf("%ld pairs inside the reach, worst relative error %.3g (df %.0f, p %.9g)\n", inside.count,
              inside.error, inside.df, inside.p);
  std::printf("%ld pairs beyond it, worst relative error %.3g (df %.0f, p %.9g)\n", beyond.count,
              beyond.error, beyond.df, beyond.p);
  EXPECT_LE(inside.error, 1e-3) << "df " << inside.df << " p " << inside.p;
  EXPECT_LE(beyond.error, 1e-6) << "df " << beyond.df << " p " << beyond.p;
  EXPECT_GT(beyond.count, pairs / 20);
}

} // namespace
