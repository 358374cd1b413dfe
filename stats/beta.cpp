#include "beta.h"

#include <cmath>

namespace kelvane::stats {

double log_gamma(double x) {
  static constexpr double coefficients[6] = {
      76.18009172947146,  -86.50532032941678,   24.01409824083091,
      -1.231739572450155, 0.001208650973866179, -5.395239384953e-6,
  };
  double t = x + 5.5;
  t = t - std::log(t) * (x + 0.5);
  double s = 1.000000000190015;
  double y = x;
  for (const double coefficient : coefficients) {
    y = y + 1.0;
    s = s + coefficient / y;
  }
  return std::log((s * 2.5066282746310005) / x) - t;
}

BetaResult betacf(double a, double b, double x) {
  double c = 1.0;
  double d = 1.0 - ((a + b) * x) / (a + 1.0);
  if (std::fabs(d) < CF_FLOOR)
    d = CF_FLOOR;
  d = 1.0 / d;
  double f = d;
  // One Lentz step for the partial numerator alpha; returns the factor d*c
  // by which it changes the running value.
  const auto step = [&c, &d](double alpha) {
    d = alpha * d + 1.0;
    if (std::fabs(d) < CF_FLOOR)
      d = CF_FLOOR;
    c = alpha / c + 1.0;
    if (std::fabs(c) < CF_FLOOR)
      c = CF_FLOOR;
    d = 1.0 / d;
    return d * c;
  };
  for (int iteration = 1; iteration <= MAXIT; ++iteration) {
    const double m = iteration;
    const double m2 = 2.0 * m;
    f = f * step(((b - m) * m * x) / ((m2 + (a - 1.0)) * (m2 + a)));
    const double delta = step(-(((m + (a + b)) * (m + a) * x) / ((m2 + (a + 1.0)) * (m2 + a))));
    f = f * delta;
    if (std::fabs(delta - 1.0) <= CF_EPSILON)
      return {f, BetaStatus::converged};
  }
  return {f, BetaStatus::not_converged};
}

namespace detail {

double log_beta_terms(double a, double b) {
  double s = log_gamma(a + b);
  s = s - log_gamma(a);
  s = s - log_gamma(b);
  return s;
}

} // namespace detail

BetaResult betai(double a, double b, double x, const double *terms) {
  if (x < 0.0 || x > 1.0)
    return {std::nan(""), BetaStatus::bad_x};
  double bt = 0.0;
  if (!(x == 0.0 || x == 1.0)) {
    // log_gamma is only evaluated where the prefactor needs it.
    double s = terms != nullptr ? *terms : detail::log_beta_terms(a, b);
    s = s + std::log(x) * a;
    s = s + std::log(1.0 - x) * b;
    bt = std::exp(s);
  }
  if (x < detail::betai_switch_point(a, b)) {
    const BetaResult fraction = betacf(a, b, x);
    return {(fraction.value * bt) / a, fraction.status};
  }
  const BetaResult fraction = betacf(b, a, 1.0 - x);
  return {1.0 - (fraction.value * bt) / b, fraction.status};
}

} // namespace kelvane::stats
