#include "quantile_search.h"

#include "quantile_start.h"
#include "t_threshold.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kelvane::stats::detail {
namespace {

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

} // namespace

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
  // "Where the bits can differ").
  return static_cast<float>(fromBits(hi));
}

namespace {

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

} // namespace

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

} // namespace kelvane::stats::detail
