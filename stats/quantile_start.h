// Closed-form starts for quantiles, good enough that a step or two on the
// accurate tail probability finishes them.
#pragma once

namespace kelvane::stats::detail {

// The upper quantile z of the standard normal distribution, P(Z > z) = q, for
// 0 < q <= 1/2.
double normalUpperQuantile(double q);

// Hill's start for Student's t: t > 0 with P(|T| > t) close to p, for df >= 1
// and 0 < p < 1, given z = normalUpperQuantile(p / 2) (docs/thresholds.md,
// "The search beyond the walk's reach").
double hillQuantile(double df, double p, double z);

} // namespace kelvane::stats::detail
