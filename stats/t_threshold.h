// The Student t threshold for a two-tailed p value.
#pragma once

namespace kelvane::stats {

// Evaluations of the tail probability one call may make at the most: the
// halving walk (with one look past the edge it heads for), then, for a target
// the walk cannot reach, the search of the bracket beyond: its two ends, a
// bounded number of interpolation steps and at most 64 halvings of the
// binary64 bit distance.
constexpr int T_WALK_MAX_EVALUATIONS = 64;
constexpr int T_WALK_EDGE_MOVES = 8; // moves in one direction before the look past the edge
constexpr int T_INTERPOLATION_STEPS = 40;
constexpr int T_BRACKET_MAX_EVALUATIONS = 1 + 2 + T_INTERPOLATION_STEPS + 64;
constexpr int T_FROM_P_MAX_EVALUATIONS = T_WALK_MAX_EVALUATIONS + T_BRACKET_MAX_EVALUATIONS;

// t such that P(|T| > t) = p for Student's T with df degrees of freedom,
// found by the halving walk from t = 3 until the tail probability is within
// tolerance of p. The walk only reaches t in (1.5, 4.5); a target beyond that
// is found by bisection instead. Always finite, in [0, FLT_MAX]; never ends
// the process. Returns 3.0 at once for p within tolerance of 0.5, a NaN p, and
// a negative or non-finite df.
double t_from_p(double df, double p, double tolerance);

// The same, also reporting how many tail probabilities were evaluated.
double t_from_p_counted(double df, double p, double tolerance, int *evaluations);

} // namespace kelvane::stats
