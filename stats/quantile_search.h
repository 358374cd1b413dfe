// The search for the quantile where the walk cannot reach: steps from a
// close start, and the bracketing search where they fail.
#pragma once

#include "tail_probability.h"

namespace kelvane::stats::detail {

// How the quantile beyond the reach is found: by steps from a close start,
// with the bracketing search where they fail; or by that search alone, the
// reference the steps are held to bit for bit.
enum class Search { steps, bracket };

// ln(tail / p) at t: positive while the target lies above t. A fraction that
// did not converge counts as "not above".
double excess(TailProbability &tail, double t, double p);

// The search's first point for p: Hill's start, moved to an end of its
// float's span. z is the rational start for the normal quantile of p / 2.
double searchStart(double df, double p, double z);

// The crossing narrowed to a float, proven by steps from searchStart inside
// the bracket (below, above]; false where they do not prove it.
bool stepToCrossing(TailProbability &tail, double p, double below, double above, double *result);

// The crossing narrowed to a float, by the bracketing search between below
// (tail above p, excess fBelow) and above (excess fAbove).
double findCrossing(TailProbability &tail, double below, double fBelow, double above, double fAbove,
                    double p);

} // namespace kelvane::stats::detail
