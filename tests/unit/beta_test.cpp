// The incomplete beta function. Reference values: the exact I_0.4(2, 3) =
// 0.5248 (a polynomial in x for integer a, b); ln Gamma at 1, 0.5 and 100 from
// the closed forms 0, ln(sqrt(pi)) and ln(99!); the Student t tail at 2.228
// with 10 df from Boost.Math's students_t cdf.
#include "beta.h"

#include <boost/math/special_functions/beta.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

namespace ks = kelvane::stats;
using ks::BetaStatus;
using ks::log_gamma;

constexpr double kEps = std::numeric_limits<double>::epsilon();

// The value of an evaluation that must converge.
double betai(double a, double b, double x) {
  const ks::BetaResult result = ks::betai(a, b, x);
  EXPECT_EQ(result.status, BetaStatus::converged) << a << ", " << b << ", " << x;
  return result.value;
}

TEST(Betai, EndsOfTheRange) {
  for (const double a : {0.5, 1.0, 2.0, 7.5, 1000.0}) {
    for (const double b : {0.5, 3.0, 1e6}) {
      SCOPED_TRACE(testing::Message() << "a=" << a << " b=" << b);
      EXPECT_EQ(betai(a, b, 0.0), 0.0);
      EXPECT_EQ(betai(a, b, -0.0), 0.0);
      EXPECT_EQ(betai(a, b, 1.0), 1.0);
    }
  }
}

TEST(Betai, KnownValues) {
  EXPECT_NEAR(betai(2, 3, 0.4), 0.5248, 1e-15);
  for (const double x : {0.1, 0.25, 0.5, 0.75, 0.999999}) {
    SCOPED_TRACE(x);
    EXPECT_NEAR(betai(1, 1, x), x, 4 * kEps * x);
  }
  // The prefactor goes through exp(ln x): its relative error grows with |ln x|.
  for (const double x : {1e-9, 1e-100, 1e-300}) {
    SCOPED_TRACE(x);
    EXPECT_NEAR(betai(1, 1, x), x, (2 - std::log(x)) * kEps * x);
  }
  // 0.05001177 to 7 significant digits.
  const double tail = betai(5, 0.5, 10 / (10 + 2.228 * 2.228));
  EXPECT_NEAR(tail, 0.05001177, 0.000000005);
}

// betai's last bits, which the tolerances above let pass: the order of its
// operations decides them. Each value was computed by this build (the same on
// glibc and on the MinGW build under Wine) and lies within the relative
// distance given of Boost.Math's ibeta in long double.
TEST(Betai, LastBitsArePinned) {
  const struct {
    double a, b, x;
    double value;
  } rows[] = {
      {2, 3, 0.4, 0x1.0cb295e9e1b0fp-1},                         // 1.3e-15; exactly 0.5248
      {5, 2, 0.5, 0x1.c00000000008ep-4},                         // 1.8e-14; exactly 7/64
      {50, 15, 0.8, 0x1.6b82d478e2084p-1},                       // 5.8e-12; above the switch point
      {5, 0.5, 10 / (10 + 2.228 * 2.228), 0x1.99b2498bd2eedp-5}, // 4.3e-14; the t tail at 2.228, df 10
      // The last double below the switch point (a + 1) / (a + b + 2) takes the
      // fraction for I_x(a, b), the switch point itself 1 - the one for
      // I_1-x(b, a); the two differ in the last bits.
      {5, 0.5, 0x1.9999999999999p-1, 0x1.28cfcdebfc176p-3}, // 4.3e-14; df 10, switch point 0.8
      {5, 0.5, 0x1.999999999999ap-1, 0x1.28cfcdebfc778p-3}, // 2.5e-13
      {1, 0.5, 0x1.2492492492491p-1, 0x1.61a277d86948p-2},  // 4.8e-14; df 2, switch point 4/7
      {1, 0.5, 0x1.2492492492492p-1, 0x1.61a277d8697dcp-2}, // 9e-14
      {50, 15, 0x1.85bb39503d225p-1, 0x1.ace40057ca48ep-2}, // 1.4e-11; switch point 51/67
      {50, 15, 0x1.85bb39503d226p-1, 0x1.ace400578bbbap-2}, // 2e-11
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(testing::Message() << row.a << ", " << row.b << ", " << row.x);
    const double value = betai(row.a, row.b, row.x);
    EXPECT_EQ(value, row.value) << std::hexfloat << value << " instead of " << row.value;
  }
}

TEST(Betai, AgreesWithItsReflectionAndWithBoost) {
  const double as[] = {0.5, 1.5, 5, 50, 500};
  const double bs[] = {0.5, 2, 15};
  const double xs[] = {0.01, 0.2, 0.5, 0.8, 0.97};
  for (const double a : as)
    for (const double b : bs)
      for (const double x : xs) {
        SCOPED_TRACE(testing::Message() << a << ", " << b << ", " << x);
        const double value = betai(a, b, x);
        EXPECT_NEAR(value, 1 - betai(b, a, 1 - x), 1e-13);
        EXPECT_NEAR(value, boost::math::ibeta(a, b, x), 1e-12 + 1e-9 * value);
      }
}

TEST(LogGamma, KnownValues) {
  EXPECT_NEAR(log_gamma(1.0), 0.0, 1e-15);
  const double lnSqrtPi = 0.5723649429247001;
  EXPECT_GT(log_gamma(0.5), lnSqrtPi);
  EXPECT_NEAR(log_gamma(0.5) - lnSqrtPi, 4e-14, 1e-14);
  EXPECT_EQ(log_gamma(100.0), 359.1342053696796);
  EXPECT_NEAR(log_gamma(100.0) - 359.1342053695754, 1.0e-10, 0.1e-10);
}

// Failures are the caller's to handle: reported as the result, with nothing
// written to standard error and the process going on.
TEST(Betai, BadXIsReportedAsTheResult) {
  testing::internal::CaptureStderr();
  for (const double x : {1.0000001, -1e-300, -std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(x);
    const ks::BetaResult result = ks::betai(2, 3, x);
    EXPECT_EQ(result.status, BetaStatus::bad_x);
    EXPECT_TRUE(std::isnan(result.value));
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Betai, FractionThatDoesNotConvergeIsReportedAsTheResult) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(ks::betai(10000, 10000, 0.5).status, BetaStatus::not_converged);
  EXPECT_EQ(ks::betai(2, 3, std::nan("")).status, BetaStatus::not_converged);
  EXPECT_EQ(ks::betacf(10000, 10000, 0.5).status, BetaStatus::not_converged);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Betai, ZeroAAtZeroXIsNotANumber) { EXPECT_TRUE(std::isnan(betai(0, 0.5, 0))); }

} // namespace
