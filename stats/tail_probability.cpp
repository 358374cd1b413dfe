#include "tail_probability.h"

#include "beta.h"
#include "quantile_start.h"
#include "t_threshold.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

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

// ln(tail / p) at t: positive while the target lies above t. A fraction that
// did not converge counts as "not above".
double excess(TailProbability &tail, double t, double p) {
  const double pc = tail.at(t);
  if (std::isnan(pc))
    return -std::numeric_limits<double>::infinity();
  return std::log(pc) - std::log(p);
}

// The crossing between below (target above it) and above, both non-negative,
// searched on the bit patterns, which grow nearly like the logarithm: regula
// falsi (Illinois) while it makes progress, then halving, at most 64 steps.
double findCrossing(TailProbability &tail, double below, double fBelow, double above, double fAbove,
                    double p) {
  std::uint64_t lo = bitsOf(below);
  std::uint64_t hi = bitsOf(above);
  int side = 0;
  for (int step = 0; step < kInterpolationSteps && hi - lo > 1; ++step) {
    std::uint64_t mid = lo + (hi - lo) / 2;
    if (std::isfinite(fBelow) && std::isfinite(fAbove) && fBelow > fAbove) {
      const double fraction = fBelow / (fBelow - fAbove);
      // The distance rounds as a double: the step is checked again as an
      // integer, so that it stays strictly inside.
      const double span = static_cast<double>(hi - lo);
      const double offset = fraction * span;
      if (offset >= 1.0 && offset < span && static_cast<std::uint64_t>(offset) < hi - lo)
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
  // The end whose tail is no heavier than p, narrowed to the float a map
  // stores: its last double bits follow the C runtime (docs/thresholds.md,
  // "The bracketing search").
  return static_cast<float>(fromBits(hi));
}

// The doubles that round to the float f lie in (below, top]; below is the
// largest double that does not.
struct FloatSpan {
  double below;
  double top;
};

// f positive, normal and below FLT_MAX.
FloatSpan spanOf(float f) {
  const double value = f;
  const double lower = 0.5 * (static_cast<double>(std::nextafter(f, 0.0f)) + value);
  const double upper = 0.5 * (value + static_cast<double>(std::nextafter(f, FLT_MAX)));
  return {static_cast<float>(lower) == f ? std::nextafter(lower, 0.0) : lower,
          static_cast<float>(upper) == f ? upper : std::nextafter(upper, 0.0)};
}

// Hill's start, moved to the nearer end of its float's span: each end is
// shared with a neighbouring float's span, so the evaluation there proves one
// side for either float.
// z is the rational start for the normal quantile of p / 2.
double searchStart(double df, double p, double z) {
  const double t = hillQuantile(df, p, normalHalleyStep(0.5 * p, z));
  const float f = static_cast<float>(t);
  if (!(f >= FLT_MIN && f < FLT_MAX))
    return t;
  const FloatSpan span = spanOf(f);
  return t - span.below < span.top - t ? span.below : span.top;
}

// The float findCrossing ends on, found by Halley steps in ln t from
// searchStart (or the same point, evaluated ahead) and proven by two evaluations: one above p at a double
// that does not round to it, one no higher than p at a double that does, both inside the bracket (below,
// above] (docs/thresholds.md, "The search beyond the walk's reach"). False where the steps do not prove it
// within kSearchSteps.
bool stepToCrossing(TailProbability &tail, double p, double below, double above, double *result) {
  constexpr double kPinned = 1e-6; // a step this short leaves the next point inside one float
  if (!(p > 0.0 && p < 1.0))
    return false;
  const double df = tail.df();
  double lo = below; // tail above p at lo, once loSeen
  double hi = above; // tail no higher than p at hi, once hiSeen
  bool loSeen = false;
  bool hiSeen = false;
  const double lnP = std::log(p);
  double t;
  if (!tail.startedAhead(&t))
    t = searchStart(df, p, normalUpperQuantile(0.5 * p));
  if (std::isnan(t))
    return false;
  t = std::fmin(above, std::fmax(fromBits(bitsOf(below) + 1), t));
  for (int step = 0; step < kSearchSteps; ++step) {
    double slope;
    const double pc = tail.at(t, &slope);
    if (std::isnan(pc))
      return false;
    const double g = std::log(pc) - lnP; // excess() at t
    if (g > 0.0) {
      lo = t;
      loSeen = true;
    } else {
      hi = t;
      hiSeen = true;
    }
    if (!(lo < hi))
      return false; // the tail did not fall
    // Every double in (lo, hi] rounds to hi's float, the crossing's among them.
    if (loSeen && hiSeen && static_cast<float>(std::nextafter(lo, DBL_MAX)) == static_cast<float>(hi)) {
      *result = static_cast<float>(hi);
      return true;
    }
    // Halley in ln t (docs/thresholds.md, "The search beyond the walk's reach").
    const double k = df * (1.0 - t * t) / (df + t * t);
    const double newton = g / slope;
    const double bend = 1.0 + 0.5 * g * (k + slope) / slope;
    const double du = bend > 0.5 ? newton / bend : newton;
    const double next = t * std::exp(du);
    if (std::fabs(du) < kPinned) {
      // Prove the float next rounds to: evaluate the end of its span that
      // the points so far leave open, across from t when both are.
      if (!(next < static_cast<double>(FLT_MAX)))
        return false;
      const float f = static_cast<float>(next);
      if (!(f >= FLT_MIN && f < FLT_MAX))
        return false;
      const FloatSpan span = spanOf(f);
      if (loSeen && lo >= span.below)
        t = span.top;
      else if (hiSeen && hi <= span.top)
        t = span.below;
      else
        t = g > 0.0 ? span.top : span.below;
    } else if (loSeen && hiSeen && !(next > lo && next < hi)) {
      t = 0.5 * (lo + hi);
    } else {
      t = next;
    }
    if (!(t > lo && t < hi && t > below && t <= above))
      return false;
  }
  return false;
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

namespace {

constexpr double kMargin = 1e-4;

// Whether a tail of pc at the edge misses p by more than the tolerance, with
// kMargin to spare.
bool beyondWithMargin(double pc, double direction, double p, double tolerance) {
  return direction > 0.0 ? pc * (1.0 - kMargin) > p + tolerance : pc * (1.0 + kMargin) < p - tolerance;
}

} // namespace

// The tail at the edge is bounded from the start's tail and the density's
// fall (docs/thresholds.md, "Settling the walk from the search's start");
// widened by the walk's error and once more by the margin, for both tails'
// own error, the bound must pass the look's own test.
int beyondFromSearchStart(TailProbability &tail, double p, double z, double tolerance, double walkError) {
  const double t0 = searchStart(tail.df(), p, z);
  const bool low = t0 < kWalkLowEdge;
  if (!(low || t0 > kWalkHighEdge) || !(t0 > 0.0 && t0 <= static_cast<double>(FLT_MAX)))
    return 0;
  double slope;
  const double pc = tail.startAhead(t0, &slope);
  if (!(pc > 0.0))
    return 0;
  const double df = tail.df();
  const double n = 0.5 * (df + 1.0);
  const double density = slope * pc / t0;
  const double edge = low ? kWalkLowEdge : kWalkHighEdge;
  const double w = std::fabs(edge - t0);
  const double curve = n * (w * w) / (3.0 * (df + t0 * t0));
  if (low) {
    const double most = pc - density * (w - curve * (edge + 2.0 * t0));
    return beyondWithMargin((most + walkError) * (1.0 + kMargin), -1.0, p, tolerance) ? -1 : 0;
  }
  const double least = pc + density * (w + curve * (2.0 * t0 + edge));
  return beyondWithMargin((least - walkError) * (1.0 - kMargin), 1.0, p, tolerance) ? 1 : 0;
}

// The margin is far wider than any difference between the walk's evaluation
// and this one (docs/thresholds.md, "The margin at the edges"); both walks
// take the same answer from here.
bool clearlyBeyond(TailProbability &tail, double edge, double direction, double p, double tolerance) {
  const double pc = tail.at(edge);
  if (std::isnan(pc))
    return false;
  return beyondWithMargin(pc, direction, p, tolerance);
}

// The walk's evaluation lies within half the margin of the accurate tail
// (docs/thresholds.md, "The margin at the edges"): where both ends of that
// span give one answer, it is the accurate tail's.
int clearlyBeyondFromWalk(TailProbability &tail, double walkPc, double direction, double p,
                          double tolerance) {
  constexpr double kWalkOff = 0.5 * kMargin;
  const double least = walkPc / (1.0 + kWalkOff);
  const double most = walkPc / (1.0 - kWalkOff);
  const bool atLeast = beyondWithMargin(least, direction, p, tolerance);
  if (std::isnan(walkPc) || atLeast != beyondWithMargin(most, direction, p, tolerance))
    return -1;
  ++tail.evaluations;
  return atLeast ? 1 : 0;
}

double beyondReach(TailProbability &tail, double t, double direction, double p, Search search) {
  constexpr double kLargest = FLT_MAX; // the caller narrows to float
  double stepped;
  if (direction > 0.0) {
    // No finite t has a tail of 0 or less.
    if (!(p > 0.0))
      return kLargest;
    if (search == Search::steps && stepToCrossing(tail, p, t, kLargest, &stepped))
      return stepped;
    const double fTop = excess(tail, kLargest, p);
    if (fTop > 0.0)
      return kLargest;
    return findCrossing(tail, t, excess(tail, t, p), kLargest, fTop, p);
  }
  if (search == Search::steps && stepToCrossing(tail, p, 0.0, t, &stepped))
    return stepped;
  // P(|T| > 0) is 1: a p of 1 or more asks for no threshold at all.
  const double fZero = excess(tail, 0.0, p);
  if (!(fZero > 0.0))
    return 0.0;
  return findCrossing(tail, 0.0, fZero, t, excess(tail, t, p), p);
}

// The tail at the low edge is at most 0.3743 (df 1), so p near one half lies
// below it; only a tolerance wider than that gap asks for a search upward.
// Either way the bracketing search ends on the same crossing, which the
// steps find without looking at the edge.
double nearOneHalf(TailProbability &tail, double p, Search search) {
  double stepped;
  if (search == Search::steps && stepToCrossing(tail, p, 0.0, FLT_MAX, &stepped))
    return stepped;
  const double direction = excess(tail, kWalkLowEdge, p) > 0.0 ? 1.0 : -1.0;
  return beyondReach(tail, kWalkLowEdge, direction, p, Search::bracket);
}

} // namespace kelvane::stats::detail
