#include "beta.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kelvane::stats {
namespace {

// The continued fraction; *converged is set when given, else failure exits.
double continued_fraction(double a, double b, double x, bool *converged) {
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
    if (std::fabs(delta - 1.0) <= CF_EPSILON) {
      if (converged != nullptr)
        *converged = true;
      return f;
    }
  }
  if (converged == nullptr)
    numeric_error("a or b too big, or MAXIT too small in betacf");
  *converged = false;
  return f;
}

} // namespace

void numeric_error(const char *message) {
  std::fputs("Numerical Recipes run-time error...", stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::fputs(message, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::fputs("...now exiting to system...", stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  std::exit(1);
}

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

double betacf(double a, double b, double x) { return continued_fraction(a, b, x, nullptr); }

namespace detail {

double log_beta_terms(double a, double b) {
  double s = log_gamma(a + b);
  s = s - log_gamma(a);
  s = s - log_gamma(b);
  return s;
}

double betacf_checked(double a, double b, double x, bool *converged) {
  return continued_fraction(a, b, x, converged);
}

double betai_with_terms_checked(double a, double b, double x, double terms, bool *converged) {
  if (x < 0.0 || x > 1.0)
    numeric_error("Bad x in routine betai");
  double bt = 0.0;
  if (!(x == 0.0 || x == 1.0)) {
    double s = terms;
    s = s + std::log(x) * a;
    s = s + std::log(1.0 - x) * b;
    bt = std::exp(s);
  }
  if (x < betai_switch_point(a, b))
    return (continued_fraction(a, b, x, converged) * bt) / a;
  return 1.0 - (continued_fraction(b, a, 1.0 - x, converged) * bt) / b;
}

double betai_with_terms(double a, double b, double x, double terms) {
  return betai_with_terms_checked(a, b, x, terms, nullptr);
}

} // namespace detail

double betai(double a, double b, double x) {
  if (x < 0.0 || x > 1.0)
    numeric_error("Bad x in routine betai");
  // log_gamma is only evaluated where the prefactor needs it.
  const double terms = (x == 0.0 || x == 1.0) ? 0.0 : detail::log_beta_terms(a, b);
  return detail::betai_with_terms(a, b, x, terms);
}

} // namespace kelvane::stats
