// The fast walk: the halving walk with most of its points decided by proven
// bounds from a few exact evaluations near the quantile, bit for bit the
// plain walk's result and count. Without it t_from_p runs the plain walk for
// every argument, with the same results.
#pragma once

#include "tail_probability.h"

namespace kelvane::stats {

struct TFromPCounts;

// How far pc may rise or fall between the two pieces of the walk's
// evaluation at betai's switch point (docs/thresholds.md, "The rounding-error
// bound and the branch jump").
constexpr double kWalkBranchJump = 0x1p-8;

namespace detail {

// A bound on the rounding error of the walk's evaluation at any t in
// [1.5, 4.5], against the same evaluation in exact arithmetic with the same x
// and log-gamma terms (measured by bench/walk_error.cpp).
double walk_error_bound(double df);

// Where the bounds hold and pay (docs/thresholds.md, "Deciding the walk's
// points from bounds").
bool fastWalkApplies(double df, double p, double tolerance);

// The walk's threshold for p, as the plain walk gives it; fills the counts of
// exact evaluations and of rates.
double fastWalk(TailProbability &tail, double df, double p, double tolerance, TFromPCounts &counts);

} // namespace detail
} // namespace kelvane::stats
