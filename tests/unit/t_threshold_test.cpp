// t thresholds from two-tailed p values. Inside the walk's reach the results
// are pinned bit for bit; beyond it they are checked against Boost.Math's
// Student t quantile, quantile(complement(students_t(df), p / 2)).
#include "t_threshold.h"

#include "beta.h"

#include <boost/math/distributions/students_t.hpp>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

using kelvane::stats::kTFromPMaxEvaluations;
using kelvane::stats::t_from_p;
using kelvane::stats::t_from_p_counted;

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
      {10, 0.05f, 2.228137493133545, 20},
      {10, 0.01f, 3.1692752838134766, 18},
      {30, 0.05f, 2.042269706726074, 19},
      {2, 0.05f, 4.302655220031738, 19},
      {5, 0.01f, 4.032154083251953, 17},
      {11, 0.001f, 4.436279296875, 11},
      {20, 0.001f, 3.8494720458984375, 15},
      {100, 0.001f, 3.3905181884765625, 15},
      {1000, 0.05f, 1.9623398780822754, 20},
      {0, 0.05f, 3.75, 1},
      {7, 0.5f, 3.0, 0},
      {-3, 0.5f, 3.0, 0},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::Message() << "df=" << row.df << " p=" << row.p);
    int evaluations = -1;
    EXPECT_EQ(t_from_p_counted(row.df, row.p, kTolerance, &evaluations), row.t);
    EXPECT_EQ(evaluations, row.evaluations);
    EXPECT_EQ(t_from_p(row.df, row.p, kTolerance), row.t);
    EXPECT_EQ(kelvane::stats::detail::t_from_p_reference(row.df, row.p, kTolerance, &evaluations), row.t);
    EXPECT_EQ(evaluations, row.evaluations);
  }
}

TEST(TFromP, LargestDegreesOfFreedomEndNormally) {
  int evaluations = 0;
  const double t = t_from_p_counted(2147483647.0, 0.05f, kTolerance, &evaluations);
  EXPECT_LE(evaluations, 23);
  EXPECT_NEAR(t, 1.959964, 1e-5);
}

// At a few isolated points the fraction's factor misses its test by a few
// units in the last place for all MAXIT iterations, and betai would end the
// process. Some lie on walks: at t = 1.79296875 with df 24372 on the walk of
// every p from about 0.0715 to 0.0745. The walk goes on with the value after
// MAXIT iterations.
TEST(TFromP, WalkSurvivesPointsWhereTheFractionDoesNotConverge) {
  namespace ks = kelvane::stats;
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
    bool converged = true;
    ks::detail::betai_with_terms_checked(a, 0.5, row.df / (row.t * row.t + row.df),
                                         ks::detail::log_beta_terms(a, 0.5), &converged);
    EXPECT_FALSE(converged) << row.df << " " << row.t;
    for (const float p : row.ps) {
      SCOPED_TRACE(testing::Message() << "df=" << row.df << " p=" << p);
      int evaluations = 0;
      int reference = 0;
      const double threshold = t_from_p_counted(row.df, p, kTolerance, &evaluations);
      EXPECT_NEAR(threshold, exactT(row.df, p), 1e-5);
      EXPECT_EQ(threshold, ks::detail::t_from_p_reference(row.df, p, kTolerance, &reference));
      EXPECT_EQ(evaluations, reference);
    }
  }
}

TEST(TFromP, ImmediateAnswers) {
  const struct {
    double df;
    double p;
  } rows[] = {
      {10, 0.5},
      {10, 0.5 + 0.9e-7},
      {10, 0.5 - 0.9e-7},
      {10, std::nan("")},
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
    int evaluations = -1;
    EXPECT_EQ(t_from_p_counted(row.df, row.p, kTolerance, &evaluations), 3.0);
    EXPECT_EQ(evaluations, 0);
  }
}

// The p values for which the walk ends: within the tolerance of the tail
// probabilities at the ends of its reach, t = 4.5 and t = 1.5.
bool insideWindow(double df, double p) {
  using kelvane::stats::betai;
  const double low = betai(df * 0.5, 0.5, df / (4.5 * 4.5 + df)) - kTolerance;
  const double high = betai(df * 0.5, 0.5, df / (1.5 * 1.5 + df)) + kTolerance;
  return p >= low && p <= high;
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
      if (std::fabs(0.5 - p) <= kTolerance)
        continue; // answered at once with 3 (0.5 + 1e-7 rounds to within it)
      if (insideWindow(df, p))
        continue; // the walk ends there, within its own tolerance on p
      const double exact = exactT(df, p);
      SCOPED_TRACE(testing::Message() << "df=" << df << " p=" << p << " exact=" << exact);
      int evaluations = 0;
      const double t = t_from_p_counted(df, p, kTolerance, &evaluations);
      const float narrowed = static_cast<float>(t);
      EXPECT_LE(std::fabs(narrowed - exact), 1e-6 * exact);
      EXPECT_LE(evaluations, kTFromPMaxEvaluations);
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
}

TEST(TFromP, NamedCasesBeyondTheWalk) {
  // The walk alone would stop at 4.5 or 1.5 for these.
  const struct {
    double df;
    float p;
  } rows[] = {{10, 0.001f}, {5, 0.001f}, {1, 0.05f}, {10, 0.2f}, {1000, 1e-6f}};
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::Message() << "df=" << row.df << " p=" << row.p);
    const double exact = exactT(row.df, row.p);
    int evaluations = 0;
    const float t = static_cast<float>(t_from_p_counted(row.df, row.p, kTolerance, &evaluations));
    EXPECT_LE(std::fabs(t - exact), 1e-6 * exact);
    // The walk is abandoned once it heads past an edge, and the bracket is
    // searched by interpolation: far fewer than the walk's creep and 64 halvings.
    EXPECT_LE(evaluations, 50);
  }
  EXPECT_NEAR(static_cast<float>(t_from_p(10, 0.001f, kTolerance)), 4.5869, 1e-4);
  EXPECT_NEAR(static_cast<float>(t_from_p(5, 0.001f, kTolerance)), 6.8688, 1e-4);
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
// process survives (betai's exit path would end this test program), the
// result is a finite float-sized threshold and the evaluations stay bounded.
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
        int evaluations = 0;
        const double t = t_from_p_counted(df, q, kTolerance, &evaluations);
        ASSERT_TRUE(std::isfinite(t)) << df << " " << q;
        ASSERT_GE(t, 0.0) << df << " " << q;
        ASSERT_LE(t, static_cast<double>(FLT_MAX)) << df << " " << q;
        ASSERT_LE(evaluations, kTFromPMaxEvaluations) << df << " " << q;
      }
    }
  }
}

} // namespace
