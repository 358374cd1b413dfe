// The fast walk (t_from_p) against the plain walk it must reproduce
// bit for bit (t_from_p_reference), and the measurements its margins rest on.
//
// KELVANE_WALK_PAIRS=n sets how many random (df, p) pairs are compared
// (default 1,000,000; the full check is 10^7).
#include "fast_walk.h"
#include "random_pairs.h"
#include "t_threshold.h"
#include "walk_model.h"

#include "beta.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

namespace ks = kelvane::stats;

const double kTolerance = 1e-7;

std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Compares one call; returns an empty string when both agree.
std::string compare(double df, double p, double tolerance, int *exactEvaluations = nullptr) {
  int plainCount = -1;
  ks::TFromPCounts counts;
  const double plain = ks::detail::t_from_p_reference(df, p, tolerance, &plainCount);
  const double fast = ks::t_from_p(df, p, tolerance, &counts);
  const int fastCount = counts.evaluations;
  if (exactEvaluations != nullptr)
    *exactEvaluations = counts.exactEvaluations;
  if (bitsOf(plain) == bitsOf(fast) && plainCount == fastCount)
    return {};
  char text[200];
  std::snprintf(text, sizeof text, "df=%.17g p=%a tolerance=%a: plain %.17g (%d), fast %.17g (%d)", df, p,
                tolerance, plain, plainCount, fast, fastCount);
  return text;
}

using random_pairs::walkTail;

TEST(FastWalk, MatchesThePlainWalkOnRandomPairs) {
  const long pairs = random_pairs::count("KELVANE_WALK_PAIRS", 1000000);
  random_pairs::Draw draw(20261207);
  long mismatches = 0;
  long fast = 0;
  for (long i = 0; i < pairs; ++i) {
    const auto [df, p] = draw.next();
    int exact = -1;
    const std::string why = compare(df, p, kTolerance, &exact);
    if (!why.empty() && ++mismatches <= 10)
      ADD_FAILURE() << why;
    if (exact >= 0)
      ++fast;
  }
  EXPECT_EQ(mismatches, 0) << "of " << pairs;
  // df from 2 to 1e8 take the fast path: 86 % of the log-uniform draw.
  EXPECT_GT(fast, pairs * 8 / 10);
}

// p set where the decisions are closest: the walk's pc at one of its own
// points, that pc plus and minus the tolerance, and the neighbouring doubles,
// so that a decision is an exact tie or a hair's breadth from one.
TEST(FastWalk, MatchesThePlainWalkAtTies) {
  const double dfs[] = {2, 3, 7, 20, 100, 1000, 65536, 1e6, 2147483647.0};
  std::vector<double> points = {ks::kWalkStart};
  // The walk's points down to depth 7 of its tree.
  for (int depth = 1; depth <= 7; ++depth) {
    const std::size_t count = points.size();
    const double step = ks::kWalkFirstStep * std::ldexp(1.0, -depth);
    for (std::size_t i = count / 2; i < count; ++i) {
      points.push_back(points[i] + step);
      points.push_back(points[i] - step);
    }
  }
  int checked = 0;
  for (const double df : dfs) {
    for (std::size_t i = 0; i < points.size(); i += 3) {
      const double pc = walkTail(df, points[i]);
      for (const double base : {pc, pc + kTolerance, pc - kTolerance}) {
        for (const double p : {base, std::nextafter(base, 0.0), std::nextafter(base, 1.0)}) {
          const std::string why = compare(df, p, kTolerance);
          EXPECT_TRUE(why.empty()) << why;
          ++checked;
        }
      }
    }
  }
  EXPECT_GT(checked, 1000);
}

TEST(FastWalk, MatchesThePlainWalkForOtherTolerancesAndOddArguments) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::nan("");
  const double dfs[] = {-1, 0, 1, 1.5, 2, 2.5, 10, 1e4, 2147483647.0, 4294967296.0, 1e300, inf, nan};
  const double ps[] = {-1, 0, 1e-300, 1e-6, 0.001, 0.05, 0.1336, 0.3, 0.4999999, 0.5, 0.7, 1, 2, inf, nan};
  const double tolerances[] = {0, 1e-12, 1e-7, 1e-3, 0.0099, 0.5, -1e-7, nan};
  for (const double df : dfs)
    for (const double p : ps)
      for (const double tolerance : tolerances) {
        const std::string why = compare(df, p, tolerance);
        EXPECT_TRUE(why.empty()) << why;
      }
}

// p just past either edge, where the search's first point stops settling the
// walk on its own and the walk's anchors take over, and far past it.
TEST(FastWalk, MatchesThePlainWalkPastTheEdges) {
  const double dfs[] = {2, 3, 5, 20, 1000, 1e6, 1e8};
  int settled = 0;
  int near = 0;
  int checked = 0;
  for (const double df : dfs) {
    ks::detail::TailProbability tail(df);
    for (const double edge : {ks::kWalkLowEdge, ks::kWalkHighEdge}) {
      const double pc = tail.at(edge);
      for (double offset = 1e-9; offset < 10.0; offset *= 3.0) {
        // Past the edge: a heavier tail below it, a lighter one above.
        const double p = edge == ks::kWalkLowEdge ? pc * (1.0 + offset) : pc / (1.0 + offset);
        if (!(p < 1.0))
          continue;
        int exact = -1;
        const std::string why = compare(df, p, kTolerance, &exact);
        EXPECT_TRUE(why.empty()) << why;
        (offset < 1e-5 ? near : settled) += exact == 0;
        ++checked;
      }
    }
  }
  // Within the look's margin of 1e-4 only the walk's own evaluation decides.
  EXPECT_EQ(near, 0);
  EXPECT_GT(settled, checked / 4);
}

// Where the bounds pay off: a few exact evaluations instead of about twenty.
TEST(FastWalk, FewPointsNeedTheExactEvaluation) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  long exactTotal = 0;
  long walkTotal = 0;
  const int calls = 20000;
  for (int i = 0; i < calls; ++i) {
    const double df = std::floor(std::exp(std::log(20.0) + unit(random) * std::log(1e6 / 20.0)));
    const double p = static_cast<float>(0.0005 + 0.1 * unit(random));
    ks::TFromPCounts counts;
    ks::t_from_p(df, p, kTolerance, &counts);
    ASSERT_GE(counts.exactEvaluations, 0) << df << " " << p;
    exactTotal += counts.exactEvaluations;
    walkTotal += counts.evaluations;
  }
  EXPECT_LT(static_cast<double>(exactTotal) / calls, 3.0);
  EXPECT_GT(static_cast<double>(walkTotal) / calls, 15.0);
}

// For small df the start decides how many points are evaluated exactly: the
// start and its Halley steps leave one or two anchors from which bounds
// settle every other point. Counts of this build (the same in the MinGW
// build under Wine). A rate is an exp and two logs: every anchor takes one,
// and a point takes one only where neither the anchors' order nor the bound
// from the nearest anchor's rate settles it. Faults that change only the work
// (the start's expansion, the rise's bounds, the choice of rate bound) change
// these counts. -1 where the fast walk does not apply and every point is
// evaluated.
TEST(FastWalk, ExactEvaluationsAndRatesArePinned) {
  const struct {
    double df;
    double p;
    double tolerance;
    int exactEvaluations;
    int rateEvaluations;
  } rows[] = {
      // small df
      {2, 0.05f, 1e-7, 2, 2},
      // beyond the high edge: the search's first point settles the walk
      {2, 0.01f, 1e-7, 0, 0},
      {2, 0.001f, 1e-7, 0, 0},
      {5, 0.05f, 1e-7, 2, 2},
      {6, 0.1f, 1e-7, 1, 2},
      {8, 0.05f, 1e-7, 1, 2},
      {7, 0.01f, 1e-7, 2, 2},
      {10, 0.05f, 1e-7, 1, 2},
      {10, 0.01f, 1e-7, 2, 3},
      {5, 0x1.620eb6p-3f, 1e-7, 1, 3}, // one anchor from the start, none more
      {9, 0x1.39e82ap-3f, 1e-7, 4, 5}, // points close below an anchor
      // large df
      {1000, 0.05f, 1e-7, 1, 3},
      {6766096, 0x1.546786p-13f, 1e-7, 4, 7},
      // beyond the low edge, likewise; so near it that one anchor there does
      {10, 0.6, 1e-7, 0, 0},
      {10, 0.16451, 1e-7, 3, 4},
      // does not apply
      {1, 0.05, 1e-7, -1, -1},
      {1.5, 0.05, 1e-7, -1, -1},
      {2e8, 0.05, 1e-7, -1, -1},
      {10, 0.5, 1e-7, -1, -1},
      {10, 1.0, 1e-7, -1, -1},
      {10, 0.0, 1e-7, -1, -1},
      {10, 0.05, 0.01, -1, -1},
      {10, 0.05, -1e-7, -1, -1},
      {0, 0.05, 1e-7, -1, -1},
      {10, std::nan(""), 1e-7, -1, -1},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::Message() << "df=" << row.df << " p=" << row.p << " tolerance=" << row.tolerance);
    ks::TFromPCounts counts;
    counts.exactEvaluations = 5;
    counts.rateEvaluations = 5;
    ks::t_from_p(row.df, row.p, row.tolerance, &counts);
    EXPECT_EQ(counts.exactEvaluations, row.exactEvaluations);
    EXPECT_EQ(counts.rateEvaluations, row.rateEvaluations);
  }
}

// The margins, re-measured on a sample: the walk's rounding error against
// the long double model stays a hundredth of walk_error_bound or less, the
// step between betai's two pieces a hundredth of kWalkBranchJump, and the
// rate's error far inside its slack. (bench/walk_error.cpp measures 10^6 by default.)
TEST(FastWalk, MarginsCoverTheMeasuredErrorHundredfold) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  long double worstError = 0;
  long double worstJump = 0;
  long double worstRate = 0;
  for (int i = 0; i < 30000; ++i) {
    double df = 2.0 * std::exp(unit(random) * std::log(2147483647.0 / 2.0));
    if (i % 2 == 0)
      df = std::floor(df);
    double t = ks::kWalkLowEdge + (ks::kWalkHighEdge - ks::kWalkLowEdge) * unit(random);
    if (i % 3 == 0) // near the switch point, where the error peaks
      t = std::sqrt(df * 1.5 / (df * 0.5 + 1.0)) + 0.02 * (unit(random) - 0.5);
    const walk_model::Point point = walk_model::at(df, t);
    worstError =
        std::fmax(worstError, std::fabs(point.walk - point.exact) / ks::detail::walk_error_bound(df));
    worstJump = std::fmax(worstJump, std::fabs(point.jump) / ks::kWalkBranchJump);
    worstRate = std::fmax(worstRate, std::fabs(point.rate / point.exactRate - 1.0L));
  }
  EXPECT_LT(worstError, 0.01L);
  EXPECT_GT(worstError, 1e-5L); // the model does see the rounding
  EXPECT_LT(worstJump, 0.01L);
  EXPECT_LT(worstRate, 1e-12L);
}

} // namespace
