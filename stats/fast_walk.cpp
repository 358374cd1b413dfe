#include "fast_walk.h"

#include "beta.h"
#include "beyond_reach.h"
#include "quantile_start.h"
#include "t_threshold.h"
#include "walk.h"

#include <cmath>

namespace kelvane::stats::detail {
namespace {

// A start for the quantile t with P(|T| > t) = p: the Cornish-Fisher
// expansion in 1/df about z, the normal quantile of p / 2 (Abramowitz and
// Stegun 26.7.5).
double cornishFisher(double df, double z) {
  const double z2 = z * z;
  const double g1 = (z2 + 1.0) * z / 4.0;
  const double g2 = ((5.0 * z2 + 16.0) * z2 + 3.0) * z / 96.0;
  const double g3 = (((3.0 * z2 + 19.0) * z2 + 17.0) * z2 - 15.0) * z / 384.0;
  const double g4 = ((((79.0 * z2 + 776.0) * z2 + 1482.0) * z2 - 1920.0) * z2 - 945.0) * z / 92160.0;
  const double v = 1.0 / df;
  return z + v * (g1 + v * (g2 + v * (g3 + v * g4)));
}

// The same, kept within the walk's reach.
double approximateQuantile(double df, double z) {
  const double t = cornishFisher(df, z);
  return std::isfinite(t) ? std::fmin(kWalkHighEdge, std::fmax(kWalkLowEdge, t)) : kWalkStart;
}

// A bound and a candidate for it; the bound is never NaN, so these keep
// std::fmin's and std::fmax's answers without their calls.
double atMost(double bound, double candidate) { return candidate < bound ? candidate : bound; }
double atLeast(double bound, double candidate) { return candidate > bound ? candidate : bound; }

// Decides the walk's points without evaluating them where a bound settles
// the decision, and evaluates exactly as the walk does where none does. Every
// exactly evaluated point becomes an anchor; pc elsewhere is bounded from the
// anchors by monotonicity and by the rate of rise at both ends. Why the
// bounds hold: docs/thresholds.md, "The fast walk's bounds".
class FastDecider {
public:
  FastDecider(double df, double p, double tolerance, double z)
      : df_(df), a_(df * 0.5), p_(p), tolerance_(tolerance), z_(z), switch_(betai_switch_point(a_, 0.5)),
        evaluation_(df), margin_(2.0 * walk_error_bound(df)) {}

  // Places the first anchors near the quantile: an approximation, then
  // Halley steps on the walk's own evaluation while they move far.
  void anchorNearQuantile() {
    double t = approximateQuantile(df_, z_);
    for (int k = 0; k < kMaxRefinements; ++k) {
      const Anchor *anchor = anchorAt(walk_x(df_, t));
      if (anchor == nullptr)
        break;
      const double next = std::fmin(kWalkHighEdge, std::fmax(kWalkLowEdge, halleyStep(*anchor, t)));
      if (!(std::fabs(next - t) > kRefinedEnough))
        break;
      t = next;
    }
  }

  Decision decide(double t) {
    const double x = walk_x(df_, t);
    const bool lower = x < switch_;
    if (const Anchor *anchor = anchorOn(x))
      return decisionOf(anchor->pc, p_, tolerance_); // the same bits
    // Monotonicity: pc at x is no higher than at any anchor with a larger x.
    double low = -kHuge;
    double high = kHuge;
    for (int i = 0; i < count_; ++i) {
      const Anchor &anchor = anchors_[i];
      const double margin = anchor.lower == lower ? margin_ : margin_ + kWalkBranchJump;
      if (x < anchor.x)
        high = atMost(high, anchor.gap + margin);
      else
        low = atLeast(low, anchor.gap - margin);
    }
    Decision decision;
    if (settled(low, high, &decision))
      return decision;
    // The rate at both ends bounds the rise between an anchor and x: first
    // from the nearest anchor's rate, then, where that bound is loose and
    // does not settle the point, from the rate at x itself.
    double rateLow;
    double rateHigh;
    const RateBound bound = boundRate(x, &rateLow, &rateHigh);
    if (riseSettles(x, lower, rateLow, rateHigh, low, high, &decision))
      return decision;
    if (bound == RateBound::loose) {
      rateLow = rateHigh = rateOf(x);
      if (riseSettles(x, lower, rateLow, rateHigh, low, high, &decision))
        return decision;
    }
    return decisionOf(evaluate(x, bound == RateBound::tight ? rateOf(x) : rateLow), p_, tolerance_);
  }

  // The look past the edge, from an anchor there where it settles it.
  bool clearlyBeyond(TailProbability &tail, double edge, double direction) const {
    if (const Anchor *anchor = anchorOn(walk_x(df_, edge))) {
      const int settled = clearlyBeyondFromWalk(tail, anchor->pc, direction, p_, tolerance_);
      if (settled >= 0)
        return settled == 1;
    }
    return detail::clearlyBeyond(tail, edge, direction, p_, tolerance_);
  }

  int exactEvaluations = 0;
  int rateEvaluations = 0;

private:
  struct Anchor {
    double x;
    double pc;
    double gap;  // pc - p
    double rate; // dM/dx at x
    bool lower;  // below the switch point
  };

  // The cap only bounds the cost: one or two Halley steps are enough.
  static constexpr int kMaxRefinements = 6;
  static constexpr double kRefinedEnough = 3e-5;    // a Halley step this short leaves the anchor this close
  static constexpr double kRateSlack = 0x1p-30;     // relative, on exp and two logs good to 1e-14
  static constexpr double kSmallLogRatio = 0x1p-10; // the bounds on the rate then within 1e-6
  static constexpr double kLooseLogRatio = 0.5;     // 1 + v and 1 - v then round to 1e-16 relative
  static constexpr double kSlack = 0x1p-50;
  static constexpr double kHuge = 1e300;

  double rateOf(double x) {
    ++rateEvaluations;
    return std::exp(evaluation_.terms + (a_ - 1.0) * std::log(x) - 0.5 * std::log(1.0 - x));
  }

  // How the rate at x was bounded: from the nearest anchor's within 1e-6
  // (tight), more loosely from it, or as the rate itself (exact).
  enum class RateBound { tight, loose, exact };

  // The rate at x bounded from the nearest anchor's without a logarithm:
  // ln(1 + u) lies in [u / (1 + u), u] and exp(v) in [1 + v, 1 / (1 - v)],
  // near enough where v is small and still true, if looser, where 1 + v and
  // 1 - v stay above one half; elsewhere the rate itself.
  RateBound boundRate(double x, double *rateLow, double *rateHigh) {
    const Anchor *nearest = nullptr;
    for (int i = 0; i < count_; ++i)
      if (nearest == nullptr || std::fabs(anchors_[i].x - x) < std::fabs(nearest->x - x))
        nearest = &anchors_[i];
    if (nearest != nullptr) {
      const double d = x - nearest->x;
      const double vLow = (a_ - 1.0) * (d / x) + 0.5 * (d / (1.0 - nearest->x));
      const double vHigh = (a_ - 1.0) * (d / nearest->x) + 0.5 * (d / (1.0 - x));
      const bool tight = std::fabs(vLow) < kSmallLogRatio && std::fabs(vHigh) < kSmallLogRatio;
      if (tight || (vLow > -kLooseLogRatio && vHigh < kLooseLogRatio)) {
        *rateLow = nearest->rate * (1.0 + vLow);
        *rateHigh = nearest->rate / (1.0 - vHigh);
        return tight ? RateBound::tight : RateBound::loose;
      }
    }
    *rateLow = *rateHigh = rateOf(x);
    return RateBound::exact;
  }

  // Whether the rise from the anchors on x's piece, between dx times the
  // smaller and the larger rate, settles the point within the bounds that
  // monotonicity gave.
  bool riseSettles(double x, bool lower, double rateLow, double rateHigh, double low, double high,
                   Decision *decision) const {
    for (int i = 0; i < count_; ++i) {
      const Anchor &anchor = anchors_[i];
      if (anchor.lower != lower)
        continue;
      const double dx = x - anchor.x;
      const double atAnchor = dx * anchor.rate;
      if (dx < 0.0) {
        low = atLeast(low, anchor.gap + atAnchor * (1.0 + kRateSlack) - margin_);
        high = atMost(high, anchor.gap + dx * rateLow * (1.0 - kRateSlack) + margin_);
      } else {
        low = atLeast(low, anchor.gap + atAnchor * (1.0 - kRateSlack) - margin_);
        high = atMost(high, anchor.gap + dx * rateHigh * (1.0 + kRateSlack) + margin_);
      }
    }
    return settled(low, high, decision);
  }

  // The anchor at x, if there is one.
  const Anchor *anchorOn(double x) const {
    for (int i = 0; i < count_; ++i)
      if (anchors_[i].x == x)
        return &anchors_[i];
    return nullptr;
  }

  // An anchor the walk need not visit; none where the fraction does not
  // converge, its error unmeasured there.
  const Anchor *anchorAt(double x) {
    if (const Anchor *anchor = anchorOn(x))
      return anchor;
    ++exactEvaluations;
    const BetaResult pc = evaluation_.at(x);
    return pc.status == BetaStatus::converged ? &add(x, pc.value, rateOf(x)) : nullptr;
  }

  // A point the walk visits, evaluated exactly as the walk evaluates it; an
  // anchor only where the fraction converged.
  double evaluate(double x, double rate) {
    ++exactEvaluations;
    const BetaResult pc = evaluation_.at(x);
    if (pc.status == BetaStatus::converged)
      add(x, pc.value, rate);
    return pc.value;
  }

  const Anchor &add(double x, double pc, double rate) {
    if (count_ == kMaxAnchors)
      count_ = kMaxAnchors - 1; // never reached: the walk visits at most 64 points
    anchors_[count_] = {x, pc, pc - p_, rate, x < switch_};
    return anchors_[count_++];
  }

  // Where M(x(t)) meets p, one Halley step from the anchor at t; the Newton
  // step where the bend is below one half (docs/thresholds.md, "The start").
  double halleyStep(const Anchor &anchor, double t) const {
    const double fall = anchor.rate * (2.0 * t * anchor.x * anchor.x / df_);
    const double newton = anchor.gap / fall;
    const double bend = 1.0 - 0.5 * newton * ((df_ + 1.0) * t / (df_ + t * t));
    return bend > 0.5 ? t + newton / bend : t + newton;
  }

  // Bounds on pc - p in hand; kSlack covers the rounding of the bounds'
  // own arithmetic and of the walk's pc - p.
  bool settled(double low, double high, Decision *decision) const {
    if (low > tolerance_ + kSlack)
      *decision = {true, false, false};
    else if (high < -tolerance_ - kSlack)
      *decision = {false, true, false};
    else if (low > kSlack && high < tolerance_ - kSlack)
      *decision = {true, false, true};
    else if (high < -kSlack && low > -tolerance_ + kSlack)
      *decision = {false, true, true};
    else
      return false;
    return true;
  }

  static constexpr int kMaxAnchors = kMaxRefinements + kWalkMaxEvaluations;
  double df_;
  double a_;
  double p_;
  double tolerance_;
  double z_; // the normal upper quantile of p / 2
  double switch_;
  WalkEvaluation evaluation_;
  double margin_;
  Anchor anchors_[kMaxAnchors]; // the first count_ are set
  int count_ = 0;
};

// Every point of a walk towards the edge past which p lies (+1 the high
// edge, -1 the low one), and its look past that edge, settled in advance.
class SettledDecider {
public:
  explicit SettledDecider(int beyond) : beyond_(beyond) {}

  Decision decide(double) const { return {beyond_ > 0, beyond_ < 0, false}; }

  bool clearlyBeyond(TailProbability &tail, double, double direction) const {
    ++tail.evaluations; // the plain walk's look
    return (beyond_ > 0) == (direction > 0.0);
  }

private:
  int beyond_;
};

} // namespace

double walk_error_bound(double df) { return 0x1p-38 + df * 0x1p-46; }

bool fastWalkApplies(double df, double p, double tolerance) {
  return df >= 2.0 && df <= 1e8 && p > 0.0 && p < 1.0 && tolerance >= 0.0 && tolerance < 0.01;
}

double fastWalk(TailProbability &tail, double df, double p, double tolerance, TFromPCounts &counts) {
  const double q = 0.5 * p;
  const double z = normalUpperQuantile(q);
  // Where the quantile lies past an edge, the search's first point may settle
  // the whole walk, without the walk's own evaluation.
  const double start = cornishFisher(df, z);
  if (!(start >= kWalkLowEdge && start <= kWalkHighEdge)) {
    const int beyond = beyondFromSearchStart(tail, p, z, tolerance, 2.0 * walk_error_bound(df));
    if (beyond != 0) {
      SettledDecider settled(beyond);
      counts.exactEvaluations = 0;
      counts.rateEvaluations = 0;
      return walk(settled, tail, p);
    }
  }
  // One Newton step leaves z within about 1e-7, far closer than the
  // expansion's own error.
  FastDecider decider(df, p, tolerance, normalNewtonStep(q, z));
  decider.anchorNearQuantile();
  const double t = walk(decider, tail, p);
  counts.exactEvaluations = decider.exactEvaluations;
  counts.rateEvaluations = decider.rateEvaluations;
  return t;
}

} // namespace kelvane::stats::detail
