// The walk's evaluation of the tail probability carried out in long double:
// the exact-arithmetic model that the fast walk's bounds assume, to measure
// the binary64 evaluation's rounding error against. Shared by the unit test
// of the margins and the measurement program bench/walk_error.cpp.
#pragma once

#include "beta.h"

#include <boost/math/constants/constants.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include <cmath>

namespace walk_model {

struct Point {
  bool converges;    // the fraction meets its test within MAXIT iterations
  double x;          // df / (t*t + df), rounded as the walk rounds it
  bool lower;        // below betai's switch point
  double walk;       // the walk's evaluation in binary64
  long double exact; // the same evaluation in exact arithmetic (long double)
  long double jump;  // 1 - exp(terms) B(a, 1/2): the step between the two pieces
  double rate;       // the fast walk's dM/dx in binary64
  long double exactRate;
};

// ln B(a, 1/2) through the ratio Gamma(a) / Gamma(a + 1/2), which stays
// accurate where the two log-gammas are huge.
inline long double logBetaHalf(long double a) {
  return std::log(boost::math::tgamma_delta_ratio(a, 0.5L)) +
         std::log(boost::math::constants::root_pi<long double>());
}

inline Point at(double df, double t) {
  namespace ks = kelvane::stats;
  const double a = df * 0.5;
  const double terms = ks::detail::log_beta_terms(a, 0.5);
  Point point;
  point.x = ks::detail::walk_x(df, t);
  point.lower = point.x < ks::detail::betai_switch_point(a, 0.5);
  const ks::BetaResult walk = ks::betai(a, 0.5, point.x, &terms);
  point.walk = walk.value;
  point.converges = walk.status == ks::BetaStatus::converged;
  const long double la = a;
  const long double lx = point.x;
  // exp(terms) B(a, 1/2) = exp(terms + ln B(a, 1/2)); with the walk's terms
  // that is not quite 1, which is where the two pieces part.
  const long double scale = std::exp(static_cast<long double>(terms) + logBetaHalf(la));
  point.jump = 1.0L - scale;
  point.exact = point.lower ? scale * boost::math::ibeta(la, 0.5L, lx)
                            : 1.0L - scale * boost::math::ibetac(la, 0.5L, lx);
  point.rate = std::exp(terms + (a - 1.0) * std::log(point.x) - 0.5 * std::log(1.0 - point.x));
  point.exactRate =
      std::exp(static_cast<long double>(terms) + (la - 1.0L) * std::log(lx) - 0.5L * std::log1p(-lx));
  return point;
}

} // namespace walk_model
