// The Student t threshold for a two-tailed p value.
#pragma once

namespace kelvane::stats {

// The halving walk's geometry: it starts at kWalkStart and halves
// kWalkFirstStep before each move, so it only ever reaches t strictly
// between the two edges.
constexpr double kWalkStart = 3.0;
constexpr double kWalkFirstStep = 1.5;
constexpr double kWalkLowEdge = kWalkStart - kWalkFirstStep;  // 1.5
constexpr double kWalkHighEdge = kWalkStart + kWalkFirstStep; // 4.5

// Evaluations of the tail probability one call may make at the most: the
// halving walk (with one look past the edge it heads for), then, for a target
// the walk cannot reach, the steps from a close start and, where they fail,
// the search of the bracket beyond: its two ends, a bounded number of
// interpolation steps and at most 64 halvings of the binary64 bit distance.
constexpr int kWalkMaxEvaluations = 64;
constexpr int kWalkEdgeMoves = 8; // moves in one direction before the look past the edge
constexpr int kSearchSteps = 8;
constexpr int kInterpolationSteps = 40;
constexpr int kBracketMaxEvaluations = 1 + 2 + kInterpolationSteps + 64;
constexpr int kTFromPMaxEvaluations = kWalkMaxEvaluations + kSearchSteps + kBracketMaxEvaluations;

// What one call of t_from_p consulted.
struct TFromPCounts {
  // Tail probabilities the walk and the search beyond it consulted. Every
  // point the walk visits counts, whether its decision came from an
  // evaluation or from bounds: the count is that of the walk evaluating
  // every point.
  int evaluations = 0;
  // Of these, the tail probabilities evaluated for accuracy rather than as
  // the walk evaluates them: the look past an edge and the search beyond it;
  // also the search's first point, evaluated ahead of a walk that may then
  // end inside its reach without it.
  int tailEvaluations = 0;
  // Points the fast walk evaluated exactly; -1 where it does not apply and
  // every point is evaluated.
  int exactEvaluations = -1;
  // Rates of rise the fast walk's bounds took (an exp and two logs each), the
  // anchors' included; -1 where it does not apply. A point that the order of
  // the anchors, or the bound from the nearest anchor's rate, settles takes
  // none.
  int rateEvaluations = -1;
};

// t such that P(|T| > t) = p for Student's T with df degrees of freedom.
//
// Inside the walk's reach, t in (1.5, 4.5): the halving walk from t = 3,
// returning the first point whose tail probability is within tolerance of p.
// Beyond the reach, and for p within tolerance of 1/2 (whose t lies below
// 1.5 for every df): the quantile itself, narrowed to a float, found by
// Halley steps on the tail probability from a close start, with a bracketing
// search (regula falsi on the bit patterns, then halving) where they fail.
//
// Always finite, in [0, FLT_MAX]; never ends the process. A NaN p, and a df
// that is not positive and finite (there is no t distribution), give 3.0
// without any evaluation; a run keeps a map's threshold for such a df rather
// than ask.
//
// For df from 2 to 1e8 most of the walk's points are decided by proven
// bounds from a few exact evaluations near the quantile instead of being
// evaluated; the result is bit for bit that of the walk evaluating every
// point (detail::t_from_p_reference). counts, when given, is filled.
double t_from_p(double df, double p, double tolerance, TFromPCounts *counts = nullptr);

// The lower threshold a run sets on a t map with df degrees of freedom for the
// p the host stores: t_from_p with the run's tolerance, p widened from float
// and t narrowed to the float the map record holds. The help page's table
// comes from here too, so that it shows what a run sets.
float map_t_threshold(double df, float p);

namespace detail {
// The x at which the walk evaluates betai(df/2, 1/2, x) for the point t.
// The fast walk's bounds are taken at exactly these doubles.
inline double walk_x(double df, double t) { return df / (t * t + df); }

// The plain walk, every point it visits evaluated: the reference that
// t_from_p matches bit for bit, result and count.
double t_from_p_reference(double df, double p, double tolerance, int *evaluations);
} // namespace detail

} // namespace kelvane::stats
