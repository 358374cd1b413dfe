#include "tail_probability.h"

#include "beta.h"

#include <cmath>

namespace kelvane::stats::detail {
namespace {

constexpr double kLnSqrtPi = 0.5723649429247001;

// ln Gamma(a + 1/2) - ln Gamma(a) - ln Gamma(1/2): from a = 10 on, the
// asymptotic series of the difference, where the log-gammas nearly cancel.
double logBetaTermsHalf(double a) {
  if (a < 10.0)
    return log_beta_terms(a, 0.5);
  const double inv = 1.0 / a;
  const double inv2 = inv * inv;
  const double series =
      0.5 * std::log(a) -
      inv * (1.0 / 8.0 - inv2 * (1.0 / 192.0 - inv2 * (1.0 / 640.0 - inv2 * (17.0 / 14336.0))));
  return series - kLnSqrtPi;
}

} // namespace

// Written for accuracy from t = 0 to FLT_MAX (docs/thresholds.md, "The tail
// probability beyond the walk's reach"). The slope comes from the same
// prefactor: -dP/dt = 2 bt / t.
double TailProbability::at(double t, double *logSlope) {
  ++evaluations;
  if (haveAhead_ && t == aheadT_) {
    if (logSlope != nullptr)
      *logSlope = aheadSlope_;
    return aheadPc_;
  }
  ++accurateEvaluations;
  if (!haveTerms_) {
    terms_ = logBetaTermsHalf(a_);
    haveTerms_ = true;
  }
  double slope = df_; // its limit for huge t
  const double tt = t * t;
  const double sum = tt + df_;
  const double x = df_ / sum;
  const double y = tt / sum;
  double result;
  BetaResult fraction{0.0, BetaStatus::converged};
  if (y == 0.0) {
    result = 1.0;
    slope = 0.0;
  } else if (x == 0.0) {
    result = 0.0;
  } else {
    const double lnX = y < 0.5 ? std::log1p(-y) : std::log(x);
    const double lnY = x < 0.5 ? std::log1p(-x) : std::log(y);
    const double bt = std::exp(terms_ + lnX * a_ + lnY * 0.5);
    if (x < (a_ + 1.0) / (a_ + 2.5)) {
      fraction = betacf(a_, 0.5, x);
      result = (fraction.value * bt) / a_;
      slope = 2.0 * a_ / fraction.value; // 2 bt / P without P's underflow
    } else {
      fraction = betacf(0.5, a_, y);
      result = 1.0 - (fraction.value * bt) / 0.5;
      slope = 2.0 * bt / result;
    }
  }
  if (logSlope != nullptr)
    *logSlope = slope;
  return fraction.status == BetaStatus::converged ? result : std::nan("");
}

double TailProbability::startAhead(double t, double *logSlope) {
  aheadPc_ = at(t, &aheadSlope_);
  --evaluations;
  aheadT_ = t;
  haveAhead_ = true;
  *logSlope = aheadSlope_;
  return aheadPc_;
}

} // namespace kelvane::stats::detail
