// Whether a p lies beyond the walk's reach, and the quantile for a p there
// or near one half, from the search.
#pragma once

#include "quantile_search.h"
#include "tail_probability.h"

namespace kelvane::stats::detail {

// Whether p clearly lies beyond the walk's edge in direction (+1: the high
// edge), so that the walk could never end there.
bool clearlyBeyond(TailProbability &tail, double edge, double direction, double p, double tolerance);

// Whether the walk heads straight for an edge and its look past it finds p
// beyond, settled from the search's first point alone, evaluated ahead where
// it lies past an edge: +1 past the high edge, -1 past the low one, 0 not
// settled. z is the rational start for the normal quantile of p / 2;
// walkError bounds the walk's own evaluation's error (absolute).
int beyondFromSearchStart(TailProbability &tail, double p, double z, double tolerance, double walkError);

// The same answer from the walk's own evaluation at the edge, walkPc, where
// it settles it (1: beyond, 0: not), else -1; counted as an evaluation.
int clearlyBeyondFromWalk(TailProbability &tail, double walkPc, double direction, double p, double tolerance);

// The quantile for p beyond the reach, searched from t, the point the walk
// crept to, in direction: a float, from 0 to FLT_MAX.
double beyondReach(TailProbability &tail, double t, double direction, double p,
                   Search search = Search::steps);

// The quantile for p within the tolerance of one half, below the reach.
double nearOneHalf(TailProbability &tail, double p, Search search = Search::steps);

} // namespace kelvane::stats::detail
