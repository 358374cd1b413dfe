#include "beyond_reach.h"

#include "t_threshold.h"

#include <cfloat>
#include <cmath>

namespace kelvane::stats::detail {
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
