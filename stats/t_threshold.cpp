#include "t_threshold.h"

#include "beta.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kelvane::stats {
namespace {

constexpr double kLnSqrtPi = 0.5723649429247001;

// ln Gamma(a + 1/2) - ln Gamma(a) - ln Gamma(1/2). For large a the two
// log-gammas are huge and nearly equal, so their difference is taken from its
// asymptotic series instead (error below 2e-12 from a = 10 on).
double logBetaTermsHalf(double a) {
  if (a < 10.0)
    return detail::log_beta_terms(a, 0.5);
  const double inv = 1.0 / a;
  const double inv2 = inv * inv;
  const double series =
      0.5 * std::log(a) -
      inv * (1.0 / 8.0 - inv2 * (1.0 / 192.0 - inv2 * (1.0 / 640.0 - inv2 * (17.0 / 14336.0))));
  return series - kLnSqrtPi;
}

// P(|T| > t) for Student's T with df degrees of freedom.
class TailProbability {
public:
  explicit TailProbability(double df) : df_(df), a_(df * 0.5) {}

  // Exactly as the walk is specified: betai(df/2, 1/2, df / (t*t + df)). The
  // log_gamma terms are the same at every t, so they are computed once; the
  // bits are those of betai.
  double walk(double t) {
    ++evaluations;
    if (!haveWalkTerms_) {
      walkTerms_ = df_ == 0.0 ? 0.0 : detail::log_beta_terms(a_, 0.5);
      haveWalkTerms_ = true;
    }
    const double x = df_ / (t * t + df_);
    return detail::betai_with_terms(a_, 0.5, x, walkTerms_);
  }

  // The same probability evaluated for accuracy over the whole range of t:
  // both x and 1 - x come straight from t (1 - x loses everything for small
  // t / sqrt(df) otherwise), logs near 1 go through log1p, and large df use
  // the series above. A fraction that does not converge gives NaN.
  double precise(double t) {
    ++evaluations;
    if (!havePreciseTerms_) {
      preciseTerms_ = logBetaTermsHalf(a_);
      havePreciseTerms_ = true;
    }
    const double tt = t * t;
    const double sum = tt + df_;
    const double x = df_ / sum;
    const double y = tt / sum;
    if (y == 0.0)
      return 1.0;
    if (x == 0.0)
      return 0.0;
    const double lnX = y < 0.5 ? std::log1p(-y) : std::log(x);
    const double lnY = x < 0.5 ? std::log1p(-x) : std::log(y);
    const double bt = std::exp(preciseTerms_ + lnX * a_ + lnY * 0.5);
    bool converged = true;
    double result;
    if (x < (a_ + 1.0) / (a_ + 2.5))
      result = (detail::betacf_checked(a_, 0.5, x, &converged) * bt) / a_;
    else
      result = 1.0 - (detail::betacf_checked(0.5, a_, y, &converged) * bt) / 0.5;
    return converged ? result : std::nan("");
  }

  int evaluations = 0;

private:
  double df_;
  double a_;
  bool haveWalkTerms_ = false;
  double walkTerms_ = 0.0;
  bool havePreciseTerms_ = false;
  double preciseTerms_ = 0.0;
};

std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

double fromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// How far ln(tail / p) is from zero at t; positive while the target lies
// above t. A fraction that did not converge counts as "not above".
double excess(TailProbability &tail, double t, double p) {
  const double pc = tail.precise(t);
  if (std::isnan(pc))
    return -std::numeric_limits<double>::infinity();
  return std::log(pc) - std::log(p);
}

// The crossing of the tail probability with p between below (target above
// it) and above (target not above it), both non-negative, to neighbouring
// doubles. Non-negative doubles order like their bit patterns, and the bit
// pattern grows nearly like the logarithm of the value, so the search runs on
// the bits: regula falsi (Illinois variant) on ln(tail / p) while it makes
// progress, then plain halving of the bit distance, at most 64 steps.
double findCrossing(TailProbability &tail, double below, double fBelow, double above, double fAbove,
                    double p) {
  std::uint64_t lo = bitsOf(below);
  std::uint64_t hi = bitsOf(above);
  int side = 0;
  for (int step = 0; step < T_INTERPOLATION_STEPS && hi - lo > 1; ++step) {
    std::uint64_t mid = lo + (hi - lo) / 2;
    if (std::isfinite(fBelow) && std::isfinite(fAbove) && fBelow > fAbove) {
      const double fraction = fBelow / (fBelow - fAbove);
      const double offset = fraction * static_cast<double>(hi - lo);
      if (offset >= 1.0 && offset <= static_cast<double>(hi - lo - 1))
        mid = lo + static_cast<std::uint64_t>(offset);
    }
    const double f = excess(tail, fromBits(mid), p);
    if (f > 0.0) {
      lo = mid;
      fBelow = f;
      if (side == 1)
        fAbove *= 0.5;
      side = 1;
    } else {
      hi = mid;
      fAbove = f;
      if (side == -1)
        fBelow *= 0.5;
      side = -1;
    }
  }
  while (hi - lo > 1) {
    const std::uint64_t mid = lo + (hi - lo) / 2;
    if (excess(tail, fromBits(mid), p) > 0.0)
      lo = mid;
    else
      hi = mid;
  }
  // The end whose tail is no heavier than p: the conservative threshold.
  return fromBits(hi);
}

// The target beyond the walk's reach, searched from the edge it crept to.
double beyondReach(TailProbability &tail, double t, double direction, double p) {
  constexpr double kLargest = FLT_MAX; // the caller narrows to float
  if (direction > 0.0) {
    // No finite t has a tail of 0 or less.
    if (!(p > 0.0))
      return kLargest;
    const double fTop = excess(tail, kLargest, p);
    if (fTop > 0.0)
      return kLargest;
    return findCrossing(tail, t, excess(tail, t, p), kLargest, fTop, p);
  }
  // P(|T| > 0) is 1: a p of 1 or more asks for no threshold at all.
  const double fZero = excess(tail, 0.0, p);
  if (!(fZero > 0.0))
    return 0.0;
  return findCrossing(tail, 0.0, fZero, t, excess(tail, t, p), p);
}

// Whether the target clearly lies beyond the edge the walk is heading for, so
// that the walk could never end: the tail at that edge misses p by more than
// the tolerance, with a margin far wider than any difference between the
// walk's evaluation and this one.
bool clearlyBeyond(TailProbability &tail, double edge, double direction, double p, double tolerance) {
  constexpr double kMargin = 1e-4;
  const double pc = tail.precise(edge);
  if (std::isnan(pc))
    return false;
  return direction > 0.0 ? pc * (1.0 - kMargin) > p + tolerance : pc * (1.0 + kMargin) < p - tolerance;
}

} // namespace

double t_from_p_counted(double df, double p, double tolerance, int *evaluations) {
  if (evaluations != nullptr)
    *evaluations = 0;
  if (!(std::fabs(0.5 - p) > tolerance))
    return 3.0;
  // A negative df would make betai end the host's process; a map record can
  // hold one, so it gets the same answer as a p of one half.
  if (!(df >= 0.0) || std::isinf(df))
    return 3.0;

  TailProbability tail(df);
  double t = 3.0;
  double step = 1.5;
  double direction = 1.0;
  double result = t;
  bool reached = false;
  int sameWay = 0; // moves in a row in the current direction
  bool edgeChecked = false;
  while (tail.evaluations < T_WALK_MAX_EVALUATIONS) {
    const double pc = tail.walk(t);
    const double before = direction;
    if (pc > p && direction == -1.0)
      direction = direction * -1.0;
    else if (p > pc && direction == 1.0)
      direction = direction * -1.0;
    sameWay = direction == before ? sameWay + 1 : 1;
    step = step * 0.5;
    const double moved = t + direction * step;
    if (!(std::fabs(pc - p) > tolerance)) {
      result = moved;
      reached = true;
      break;
    }
    if (moved == t)
      break; // the target lies beyond (1.5, 4.5), where the walk cannot go
    t = moved;
    // Heading for an edge move after move: once, ask whether the target lies
    // past it, where the walk would only creep on for some thirty more steps.
    if (sameWay >= T_WALK_EDGE_MOVES && !edgeChecked) {
      edgeChecked = true;
      if (clearlyBeyond(tail, direction > 0.0 ? 4.5 : 1.5, direction, p, tolerance))
        break;
    }
  }
  if (!reached)
    result = beyondReach(tail, t, direction, p);
  if (evaluations != nullptr)
    *evaluations = tail.evaluations;
  return result;
}

double t_from_p(double df, double p, double tolerance) { return t_from_p_counted(df, p, tolerance, nullptr); }

} // namespace kelvane::stats
