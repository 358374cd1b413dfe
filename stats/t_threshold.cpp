#include "t_threshold.h"

#include "beyond_reach.h"
#include "fast_walk.h"
#include "walk.h"

#include <cmath>

namespace kelvane::stats {
namespace {

// What a NaN p, or a df with no t distribution, gets: the value such
// arguments always had. A run keeps the map's threshold for a df of 0 or less.
constexpr double kNoQuantile = 3.0;

// How close the tail probability at a run's threshold comes to the user's p.
constexpr double kMapPTolerance = 1e-7;

enum class WalkKind { plain, fast };

double threshold(double df, double p, double tolerance, WalkKind kind, TFromPCounts &counts) {
  counts = {};
  if (std::isnan(p) || !(df > 0.0) || std::isinf(df))
    return kNoQuantile;
  detail::TailProbability tail(df);
  double result;
  if (!(std::fabs(0.5 - p) > tolerance)) {
    // Its t lies below the walk's reach for every df: the walk's points would only delay the search.
    result = detail::nearOneHalf(tail, p);
  } else if (kind == WalkKind::fast && detail::fastWalkApplies(df, p, tolerance)) {
    result = detail::fastWalk(tail, df, p, tolerance, counts);
  } else {
    detail::PlainDecider decider(df, p, tolerance);
    result = detail::walk(decider, tail, p);
  }
  counts.evaluations = tail.evaluations;
  counts.tailEvaluations = tail.accurateEvaluations;
  return result;
}

} // namespace

namespace detail {

double t_from_p_reference(double df, double p, double tolerance, int *evaluations) {
  TFromPCounts counts;
  const double t = threshold(df, p, tolerance, WalkKind::plain, counts);
  if (evaluations != nullptr)
    *evaluations = counts.evaluations;
  return t;
}

} // namespace detail

double t_from_p(double df, double p, double tolerance, TFromPCounts *counts) {
  TFromPCounts local;
  return threshold(df, p, tolerance, WalkKind::fast, counts != nullptr ? *counts : local);
}

float map_t_threshold(double df, float p) {
  return static_cast<float>(t_from_p(df, static_cast<double>(p), kMapPTolerance));
}

} // namespace kelvane::stats
