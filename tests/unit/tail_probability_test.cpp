// The tail probability the search beyond the walk's reach runs on, and that
// search, on their own: against Boost.Math's Student t distribution,
// 2 cdf(complement(students_t(df), t)) and its quantile.
#include "tail_probability.h"

#include <boost/math/distributions/students_t.hpp>
#include <gtest/gtest.h>

#include <cmath>

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
    // Interpolation on the bits: a few dozen evaluations, not 64 halvings.
    EXPECT_LE(tail.evaluations, 40);
  }
}

} // namespace
