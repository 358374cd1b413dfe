// The Student t threshold for a two-tailed p value.
#pragma once

namespace kelvane::stats {

// Evaluations of the tail probability one call may make at the most: the
// halving walk (with one look past the edge it heads for), then, for a target
// the walk cannot reach, the search of the bracket beyond: its two ends, a
// bounded number of interpolation steps and at most 64 halvings of the
// binary64 bit distance.
constexpr int kWalkMaxEvaluations = 64;
constexpr int kWalkEdgeMoves = 8; // moves in one direction before the look past the edge
constexpr int kInterpolationSteps = 40;
constexpr int kBracketMaxEvaluations = 1 + 2 + kInterpolationSteps + 64;
constexpr int kTFromPMaxEvaluations = kWalkMaxEvaluations + kBracketMaxEvaluations;

// t such that P(|T| > t) = p for Student's T with df degrees of freedom,
// found by the halving walk from t = 3 until the tail probability is within
// tolerance of p. The walk only reaches t in (1.5, 4.5); a target beyond that
// is found by a bracketing search instead (regula falsi on the bit patterns,
// then halving). Always finite, in [0, FLT_MAX]; never ends
// the process. Returns 3.0 at once for p within tolerance of 0.5, a NaN p, and
// a negative or non-finite df.
//
// For df from 2 to 1e8 most of the walk's points are decided by proven
// bounds from a few exact evaluations near the quantile instead of being
// evaluated; the result is bit for bit that of the walk evaluating every
// point (detail::t_from_p_reference).
double t_from_p(double df, double p, double tolerance);

// The same, also reporting how many tail probabilities the walk and the
// search beyond it consulted. Every point the walk visits counts, whether
// its decision came from the evaluation or from the bounds: the count is that
// of the walk evaluating every point.
double t_from_p_counted(double df, double p, double tolerance, int *evaluations);

// How far pc may rise or fall between the two pieces of the walk's
// evaluation at the switch point of betai (a difference of the log-gamma
// terms' rounding): at most 1.02e-5 measured, up to df = 2^31 - 1.
constexpr double kWalkBranchJump = 0x1p-8;

namespace detail {
// A bound on the rounding error of the walk's evaluation at any t in
// [1.5, 4.5], against the same evaluation carried out in exact arithmetic
// with the same x and log-gamma terms. The largest measured error is about a
// thousandth of it (bench/walk_error.cpp).
double walk_error_bound(double df);

// The plain walk, every point it visits evaluated: the reference
// that t_from_p_counted matches bit for bit, result and count.
double t_from_p_reference(double df, double p, double tolerance, int *evaluations);

// t_from_p_counted, also reporting how many points were evaluated exactly
// (-1 where every point is: outside the range where the bounds hold).
double t_from_p_instrumented(double df, double p, double tolerance, int *evaluations, int *exactEvaluations);
} // namespace detail

} // namespace kelvane::stats
