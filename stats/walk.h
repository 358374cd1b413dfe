// The halving walk from kWalkStart, and its plain decider, which evaluates
// every point the walk visits.
#pragma once

#include "beta.h"
#include "beyond_reach.h"
#include "t_threshold.h"

#include <cmath>

namespace kelvane::stats::detail {

// What the walk takes from pc at one point: pc > p, p > pc, and
// !(|pc - p| > tolerance).
struct Decision {
  bool above;
  bool below;
  bool within;
};

inline Decision decisionOf(double pc, double p, double tolerance) {
  return {pc > p, p > pc, !(std::fabs(pc - p) > tolerance)};
}

// The walk's own evaluation of the tail probability: betai(df/2, 1/2, x) at
// x = walk_x(df, t), its log-gamma terms computed once. Where the fraction
// does not converge the walk goes on with the value reached
// (docs/thresholds.md, "Where the fraction does not converge").
struct WalkEvaluation {
  explicit WalkEvaluation(double df) : a(df * 0.5), terms(log_beta_terms(a, 0.5)) {}
  BetaResult at(double x) const { return betai(a, 0.5, x, &terms); }
  double a;
  double terms;
};

// The decider says at each point whether the walk's evaluation lies above p,
// below it, and within tolerance of it; the first point within tolerance is
// the threshold. A target beyond the reach is searched for beyond it: once
// the walk has headed for an edge move after move and the target clearly lies
// past it, or once the step no longer moves t.
template <typename Decider> double walk(Decider &decider, TailProbability &tail, double p) {
  double t = kWalkStart;
  double step = kWalkFirstStep;
  double direction = 1.0;
  int sameWay = 0; // moves in a row in the current direction
  bool edgeChecked = false;
  while (tail.evaluations < kWalkMaxEvaluations) {
    ++tail.evaluations; // the point t, evaluated or decided from bounds
    const Decision decision = decider.decide(t);
    if (decision.within)
      return t;
    const double before = direction;
    if (decision.above && direction == -1.0)
      direction = direction * -1.0;
    else if (decision.below && direction == 1.0)
      direction = direction * -1.0;
    sameWay = direction == before ? sameWay + 1 : 1;
    step = step * 0.5;
    const double moved = t + direction * step;
    if (moved == t)
      break;
    t = moved;
    if (sameWay >= kWalkEdgeMoves && !edgeChecked) {
      edgeChecked = true;
      if (decider.clearlyBeyond(tail, direction > 0.0 ? kWalkHighEdge : kWalkLowEdge, direction))
        break;
    }
  }
  return beyondReach(tail, t, direction, p);
}

// Every point evaluated: the walk as it is defined, and the reference the
// fast walk is held to.
class PlainDecider {
public:
  PlainDecider(double df, double p, double tolerance)
      : df_(df), p_(p), tolerance_(tolerance), evaluation_(df) {}

  Decision decide(double t) const { return decisionOf(evaluation_.at(walk_x(df_, t)).value, p_, tolerance_); }

  bool clearlyBeyond(TailProbability &tail, double edge, double direction) const {
    return detail::clearlyBeyond(tail, edge, direction, p_, tolerance_);
  }

private:
  double df_;
  double p_;
  double tolerance_;
  WalkEvaluation evaluation_;
};

} // namespace kelvane::stats::detail
