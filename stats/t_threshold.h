// The Student t threshold for a two-tailed p value.
#pragma once

namespace kelvane::stats {

// Evaluations of the tail probability one call may make at the most: the
// halving walk, then, for a target the walk cannot reach, a bisection on the
// binary64 bit patterns of the bracket.
constexpr int T_WALK_MAX_EVALUATIONS = 64;
constexpr int T_BRACKET_MAX_EVALUATIONS = 66;
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
