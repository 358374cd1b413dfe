// The tail probability the search beyond the walk's reach runs on, and that
// search, on their own: against Boost.Math's Student t distribution,
// 2 cdf(complement(students_t(df), t)) and its quantile, and against the
// bracketing search it replaces.
//
// KELVANE_SEARCH_PAIRS=n sets how many random pairs the steps are compared
// with the bracketing search on (default 100,000).
#include "beyond_reach.h"

#include "random_pairs.h"
#include "t_threshold.h"

#include <boost/math/distributions/students_t.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

namespace bm = boost::math;
namespace ks = kelvane::stats;

TEST(TailProbability, MatchesTheDistributionFromTinyToHugeT) {
  // At 2^31 - 1 df the fraction near x = 1 keeps fewer digits.
  const struct {
    double df;
    double relative;
  } rows[] = {{1, 1e-10},    {2, 1e-10},   {10, 1e-10},         {21, 1e-10},
              {1000, 1e-10}, {1e6, 1e-10}, {2147483647.0, 1e-6}};
  for (const auto &row : rows) {
    const bm::students_t_distribution<long double> distribution(row.df);
    for (const double t : {1e-8, 0.5, 1.5, 3.0, 4.5, 30.0, 1e10}) {
      SCOPED_TRACE(testing::Message() << "df=" << row.df << " t=" << t);
      ks::detail::TailProbability tail(row.df);
      const long double exact = 2 * bm::cdf(bm::complement(distribution, static_cast<long double>(t)));
      EXPECT_LE(std::fabs(tail.at(t) - exact), row.relative * exact);
      EXPECT_EQ(tail.evaluations, 1);
    }
  }
}

// The relative margin of 1e-4 outweighs the tolerance at the low edge.
TEST(TailProbability, ClearlyBeyondOnlyWithTheMarginToSpare) {
  ks::detail::TailProbability tail(10);
  const double high = tail.at(4.5); // 0.001143
  const double low = tail.at(1.5);  // 0.1645
  const struct {
    double edge;
    double direction;
    double p;
    bool beyond;
  } rows[] = {
      {4.5, 1, 0.001, true},
      {4.5, 1, high, false},
      {1.5, -1, 0.2, true},
      {1.5, -1, 0.1, false},
      {1.5, -1, low * (1 + 5e-5), false},
      {1.5, -1, low * (1 + 2e-4), true},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::Message() << "edge=" << row.edge << " p=" << row.p);
    EXPECT_EQ(ks::detail::clearlyBeyond(tail, row.edge, row.direction, row.p, 1e-7), row.beyond);
  }
}

TEST(TailProbability, SearchBeyondTheReachFindsTheQuantileAsAFloat) {
  const struct {
    double df;
    double p;
    double from; // the point the walk crept to
    double direction;
  } rows[] = {{10, 0.001, 4.4999, 1}, {1, 0.05, 4.49, 1},    {1000, 1e-6, 4.4999, 1},
              {2, 1e-30, 4.49, 1},    {10, 0.2, 1.5001, -1}, {2147483647.0, 0.3, 1.51, -1},
              {1, 0.9, 1.5001, -1}};
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::Message() << "df=" << row.df << " p=" << row.p);
    ks::detail::TailProbability tail(row.df);
    const double t = ks::detail::beyondReach(tail, row.from, row.direction, row.p);
    const double exact = bm::quantile(bm::complement(bm::students_t(row.df), row.p / 2));
    EXPECT_LE(std::fabs(t - exact), 1e-6 * exact);
    EXPECT_EQ(static_cast<double>(static_cast<float>(t)), t);
    // Steps from a close start and two evaluations proving the float.
    EXPECT_LE(tail.evaluations, 4);
  }
}

// From where the walk leaves off at either end, and near one half: the same
// float as the bracketing search alone, for doubles and floats from 1e-20 to
// just under 1. Doubles just under 1, where the computed tail is a staircase
// in t, may need that search; a float p never does.
TEST(TailProbability, StepsEndOnTheBracketingSearchsFloat) {
  const long pairs = random_pairs::count("KELVANE_SEARCH_PAIRS", 100000);
  std::mt19937_64 random(37);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  long compared = 0;
  long mismatches = 0;
  long floatEvaluations = 0;
  long bracketEvaluations = 0;
  long floatCount = 0;
  for (long i = 0; i < pairs; ++i) {
    const double df = std::floor(std::exp(unit(random) * std::log(2147483647.0)));
    const double u = unit(random);
    double p = std::pow(10.0, -20.0 * u);
    if (i % 4 == 1)
      p = static_cast<float>(p);
    else if (i % 4 == 2)
      p = 1.0 - std::pow(10.0, -16.0 * u);
    else if (i % 4 == 3)
      p = 0.5 + (u - 0.5) * 2e-7;
    ks::detail::TailProbability probe(df), steps(df), bracket(df);
    const bool creptAll = i % 8 < 4; // else abandoned after eight moves
    double t;
    double stepped;
    if (i % 4 == 3) {
      stepped = ks::detail::nearOneHalf(steps, p);
      t = ks::detail::nearOneHalf(bracket, p, ks::detail::Search::bracket);
    } else if (p < probe.at(4.5) || p > probe.at(1.5)) {
      const double direction = p < probe.at(4.5) ? 1.0 : -1.0;
      const double from = direction > 0 ? (creptAll ? 4.499999999999999 : 4.494140625)
                                        : (creptAll ? 1.5000000000000002 : 1.505859375);
      stepped = ks::detail::beyondReach(steps, from, direction, p);
      t = ks::detail::beyondReach(bracket, from, direction, p, ks::detail::Search::bracket);
    } else {
      continue; // inside the reach
    }
    ++compared;
    if (std::memcmp(&stepped, &t, sizeof t) != 0 && ++mismatches <= 10)
      ADD_FAILURE() << "df=" << df << " p=" << p << ": " << stepped << " vs " << t;
    if (i % 4 == 1) {
      EXPECT_LE(steps.evaluations, ks::kSearchSteps) << "df=" << df << " p=" << p;
      floatEvaluations += steps.evaluations;
      bracketEvaluations += bracket.evaluations;
      ++floatCount;
    }
  }
  const double perFloat = static_cast<double>(floatEvaluations) / floatCount;
  const double bracketPerFloat = static_cast<double>(bracketEvaluations) / floatCount;
  std::printf("%ld pairs compared, %ld differ; per float p %.3f evaluations, the bracketing search %.3f\n",
              compared, mismatches, perFloat, bracketPerFloat);
  EXPECT_EQ(mismatches, 0) << "of " << compared;
  EXPECT_GT(compared, pairs * 3 / 4);
  // The work, close to what it is (from 10^5 to 2 * 10^6 pairs): a slower
  // start or step, or Illinois steps that halve the wrong end, shift it.
  EXPECT_NEAR(perFloat, 2.48, 0.02);
  EXPECT_NEAR(bracketPerFloat, 25.67, 0.1);
}

} // namespace
