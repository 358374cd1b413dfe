#include "quantile_start.h"

#include <cmath>

namespace kelvane::stats::detail {
namespace {

constexpr double kSqrtHalf = 0.7071067811865476;
constexpr double kInvSqrtTwoPi = 0.3989422804014327;
constexpr double kHalfPi = 1.5707963267948966;

// Below this tail, 1 - erf keeps too few digits for a Newton step to help.
constexpr double kNewtonTail = 1e-12;

} // namespace

// Abramowitz and Stegun 26.2.23; the Newton steps are on 1 - erf
// (docs/thresholds.md, "The start").
double normalUpperQuantile(double q) {
  const double w = std::sqrt(-2.0 * std::log(q));
  return w -
         (2.515517 + w * (0.802853 + w * 0.010328)) / (1.0 + w * (1.432788 + w * (0.189269 + w * 0.001308)));
}

namespace {

// The Newton step's length: (P(Z > z) - q) over the density at z.
double newtonLength(double q, double z) {
  const double excessTail = 0.5 * (1.0 - std::erf(z * kSqrtHalf)) - q;
  return excessTail / (kInvSqrtTwoPi * std::exp(-0.5 * z * z));
}

} // namespace

double normalNewtonStep(double q, double z) {
  if (q < kNewtonTail)
    return z;
  return z + newtonLength(q, z);
}

// The bend is 1 - z d / 2 for a Newton length d, the density's slope being
// -z times the density; the Newton step where it falls below one half.
double normalHalleyStep(double q, double z) {
  if (q < kNewtonTail)
    return z;
  const double newton = newtonLength(q, z);
  const double bend = 1.0 - 0.5 * z * newton;
  return bend > 0.5 ? z + newton / bend : z + newton;
}

// Hill, CACM algorithm 396 (1970): exact for 1 and 2 df; otherwise an
// expansion about the normal quantile, or for a far tail one in powers of
// (d p)^(2/df).
double hillQuantile(double df, double p, double z) {
  if (df == 1.0) {
    const double angle = p * kHalfPi;
    return std::cos(angle) / std::sin(angle);
  }
  if (df == 2.0)
    return std::sqrt(2.0 / (p * (2.0 - p)) - 2.0);
  const double a = 1.0 / (df - 0.5);
  const double b = 48.0 / (a * a);
  double c = ((20700.0 * a / b - 98.0) * a - 16.0) * a + 96.36;
  const double d = ((94.5 / (b + c) - 3.0) / b + 1.0) * std::sqrt(a * kHalfPi) * df;
  double y = std::pow(d * p, 2.0 / df);
  if (y > 0.05 + a) {
    const double x = -z; // the lower quantile
    y = x * x;
    if (df < 5.0)
      c = c + 0.3 * (df - 4.5) * (x + 0.6);
    c = (((0.05 * d * x - 5.0) * x - 7.0) * x - 2.0) * x + b + c;
    y = (((((0.4 * y + 6.3) * y + 36.0) * y + 94.5) / c - y - 3.0) / b + 1.0) * x;
    y = std::expm1(a * y * y);
  } else {
    y = ((1.0 / (((df + 6.0) / (df * y) - 0.089 * d - 0.822) * (df + 2.0) * 3.0) + 0.5 / (df + 4.0)) * y -
         1.0) *
            (df + 1.0) / (df + 2.0) +
        1.0 / y;
  }
  return std::sqrt(df * y);
}

} // namespace kelvane::stats::detail
