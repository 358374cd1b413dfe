// Closed-form starts for quantiles, good enough that a step or two on the
// accurate tail probability finishes them.
#pragma once

namespace kelvane::stats::detail {

// A rational start for the upper quantile z of the standard normal
// distribution, P(Z > z) = q, for 0 < q <= 1/2. The walk's start takes one
// Newton step on it, Hill's start one Halley step.
double normalUpperQuantile(double q);

// The next Newton step on z; z itself where q is too small for one.
double normalNewtonStep(double q, double z);

// The next Halley step on z, likewise.
double normalHalleyStep(double q, double z);

// Hill's start for Student's t: t > 0 with P(|T| > t) close to p, for df >= 1
// and 0 < p < 1, given z, the normal upper quantile of p / 2 (docs/thresholds.md,
// "The search beyond the walk's reach").
double hillQuantile(double df, double p, double z);

} // namespace kelvane::stats::detail
