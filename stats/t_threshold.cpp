#include "t_threshold.h"

#include "beta.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kelvane::stats {
namespace {

constexpr double kLnSqrtPi = 0.5723649429247001;
constexpr double kSqrtHalf = 0.7071067811865476;
constexpr double kInvSqrtTwoPi = 0.3989422804014327;

// ln Gamma(a + 1/2) - ln Gamma(a) - ln Gamma(1/2). For large a the two
// log-gammas are huge and nearly equal, so their difference is taken from its
// asymptotic series instead (error below 2e-12 from a = 10 on).
double logBetaTermsHalf(double a) {
  if (a < 10.0)
    return detail::log_beta_terms(a, 0.5);
  const double inv = 1.0 / a;
  const double inv2 = inv * inv;
  const double series =
      0.5 * std::log(a) -
      inv * (1.0 / 8.0 - inv2 * (1.0 / 192.0 - inv2 * (1.0 / 640.0 - inv2 * (17.0 / 14336.0))));
  return series - kLnSqrtPi;
}

// P(|T| > t) for Student's T with df degrees of freedom, evaluated for
// accuracy over the whole range of t, where the search beyond the walk's
// reach needs it: both x and 1 - x come straight from t (1 - x loses
// everything for small t / sqrt(df) otherwise), logs near 1 go through
// log1p, and large df use the series above. A fraction that does not converge
// gives NaN. Its count covers the whole call: the walk adds its points to it.
class TailProbability {
public:
  explicit TailProbability(double df) : df_(df), a_(df * 0.5) {}

  double at(double t) {
    ++evaluations;
    if (!haveTerms_) {
      terms_ = logBetaTermsHalf(a_);
      haveTerms_ = true;
    }
    const double tt = t * t;
    const double sum = tt + df_;
    const double x = df_ / sum;
    const double y = tt / sum;
    if (y == 0.0)
      return 1.0;
    if (x == 0.0)
      return 0.0;
    const double lnX = y < 0.5 ? std::log1p(-y) : std::log(x);
    const double lnY = x < 0.5 ? std::log1p(-x) : std::log(y);
    const double bt = std::exp(terms_ + lnX * a_ + lnY * 0.5);
    bool converged = true;
    double result;
    if (x < (a_ + 1.0) / (a_ + 2.5))
      result = (detail::betacf_checked(a_, 0.5, x, &converged) * bt) / a_;
    else
      result = 1.0 - (detail::betacf_checked(0.5, a_, y, &converged) * bt) / 0.5;
    return converged ? result : std::nan("");
  }

  int evaluations = 0;

private:
  double df_;
  double a_;
  bool haveTerms_ = false;
  double terms_ = 0.0;
};

std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

double fromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// How far ln(tail / p) is from zero at t; positive while the target lies
// above t. A fraction that did not converge counts as "not above".
double excess(TailProbability &tail, double t, double p) {
  const double pc = tail.at(t);
  if (std::isnan(pc))
    return -std::numeric_limits<double>::infinity();
  return std::log(pc) - std::log(p);
}

// The crossing of the tail probability with p between below (target above
// it) and above (target not above it), both non-negative, to neighbouring
// doubles. Non-negative doubles order like their bit patterns, and the bit
// pattern grows nearly like the logarithm of the value, so the search runs on
// the bits: regula falsi (Illinois variant) on ln(tail / p) while it makes
// progress, then plain halving of the bit distance, at most 64 steps.
double findCrossing(TailProbability &tail, double below, double fBelow, double above, double fAbove,
                    double p) {
  std::uint64_t lo = bitsOf(below);
  std::uint64_t hi = bitsOf(above);
  int side = 0;
  for (int step = 0; step < kInterpolationSteps && hi - lo > 1; ++step) {
    std::uint64_t mid = lo + (hi - lo) / 2;
    if (std::isfinite(fBelow) && std::isfinite(fAbove) && fBelow > fAbove) {
      const double fraction = fBelow / (fBelow - fAbove);
      // The distance rounds as a double (it exceeds 2^53): the step is
      // checked again as an integer, so that it stays strictly inside.
      const double span = static_cast<double>(hi - lo);
      const double offset = fraction * span;
      if (offset >= 1.0 && offset < span && static_cast<std::uint64_t>(offset) < hi - lo)
        mid = lo + static_cast<std::uint64_t>(offset);
    }
    const double f = excess(tail, fromBits(mid), p);
    if (f > 0.0) {
      lo = mid;
      fBelow = f;
      if (side == 1)
        fAbove *= 0.5;
      side = 1;
    } else {
      hi = mid;
      fAbove = f;
      if (side == -1)
        fBelow *= 0.5;
      side = -1;
    }
  }
  while (hi - lo > 1) {
    const std::uint64_t mid = lo + (hi - lo) / 2;
    if (excess(tail, fromBits(mid), p) > 0.0)
      lo = mid;
    else
      hi = mid;
  }
  // The end whose tail is no heavier than p, narrowed to the float a map
  // stores. Its last bits as a double follow the C runtime's log and exp (at
  // df 20 and p 0.5 they are one unit apart between glibc and the Universal
  // C runtime); the float they round to does not, but for a crossing within
  // a unit of a float's rounding boundary.
  return static_cast<float>(fromBits(hi));
}

// The target beyond the walk's reach, searched from the edge it crept to.
double beyondReach(TailProbability &tail, double t, double direction, double p) {
  constexpr double kLargest = FLT_MAX; // the caller narrows to float
  if (direction > 0.0) {
    // No finite t has a tail of 0 or less.
    if (!(p > 0.0))
      return kLargest;
    const double fTop = excess(tail, kLargest, p);
    if (fTop > 0.0)
      return kLargest;
    return findCrossing(tail, t, excess(tail, t, p), kLargest, fTop, p);
  }
  // P(|T| > 0) is 1: a p of 1 or more asks for no threshold at all.
  const double fZero = excess(tail, 0.0, p);
  if (!(fZero > 0.0))
    return 0.0;
  return findCrossing(tail, 0.0, fZero, t, excess(tail, t, p), p);
}

// Whether the target clearly lies beyond the edge the walk is heading for, so
// that the walk could never end: the tail at that edge misses p by more than
// the tolerance, with a margin far wider than any difference between the
// walk's evaluation and this one. That difference comes from the walk's
// log-gamma terms, huge and nearly cancelling for large df: measured against
// Boost.Math's t distribution on 600,000 df up to 2^31 - 1, it stays below
// 4.5e-5 of pc at the low edge and 7e-6 at the high one, under half of
// kMargin. Both walks take the same answer from here, so the margin only
// decides where a target next to an edge is searched for beyond it; it never
// parts the plain walk from the fast one.
bool clearlyBeyond(TailProbability &tail, double edge, double direction, double p, double tolerance) {
  constexpr double kMargin = 1e-4;
  const double pc = tail.at(edge);
  if (std::isnan(pc))
    return false;
  return direction > 0.0 ? pc * (1.0 - kMargin) > p + tolerance : pc * (1.0 + kMargin) < p - tolerance;
}

// What the walk takes from pc at one point: pc > p, p > pc, and
// !(|pc - p| > tolerance).
struct Decision {
  bool above;
  bool below;
  bool within;
};

Decision decisionOf(double pc, double p, double tolerance) {
  return {pc > p, p > pc, !(std::fabs(pc - p) > tolerance)};
}

// The halving walk from kWalkStart. The decider says at each point whether
// the walk's evaluation of the tail probability lies above p, below it, and
// within tolerance of it; the first point within tolerance is the threshold.
// A target beyond the reach is searched for beyond it: once the walk has
// headed for an edge move after move and the target clearly lies past it
// (rather than creep on towards the edge for some thirty more steps), or once
// the step no longer moves t.
template <typename Decider> double walk(Decider &decider, TailProbability &tail, double p, double tolerance) {
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
      if (clearlyBeyond(tail, direction > 0.0 ? kWalkHighEdge : kWalkLowEdge, direction, p, tolerance))
        break;
    }
  }
  return beyondReach(tail, t, direction, p);
}

// The walk's own evaluation of the tail probability, betai(df/2, 1/2, x) at
// x = walk_x(df, t), with the log_gamma terms computed once (the same bits as
// betai). At a few isolated x the fraction's factor keeps missing its test
// by a few units in the last place for all MAXIT iterations (df 24372 at
// t = 1.79296875, on the walk for p = 0.0715263), where betai would end the
// host's process; the walk goes on with the fraction's value after MAXIT
// iterations instead, off by about 1e-13, and *converged says so.
struct WalkEvaluation {
  explicit WalkEvaluation(double df) : a(df * 0.5), terms(detail::log_beta_terms(a, 0.5)) {}
  double at(double x, bool *converged) const {
    return detail::betai_with_terms_checked(a, 0.5, x, terms, converged);
  }
  double a;
  double terms;
};

// Every point evaluated: the walk as it is specified, and the reference the
// fast walk is held to.
class PlainDecider {
public:
  PlainDecider(double df, double p, double tolerance)
      : df_(df), p_(p), tolerance_(tolerance), evaluation_(df) {}

  Decision decide(double t) const {
    bool converged = false;
    return decisionOf(evaluation_.at(detail::walk_x(df_, t), &converged), p_, tolerance_);
  }

private:
  double df_;
  double p_;
  double tolerance_;
  WalkEvaluation evaluation_;
};

// The upper quantile z of the standard normal distribution, P(Z > z) = q for
// 0 < q < 1/2: the rational approximation of Abramowitz and Stegun 26.2.23
// (its coefficients; error below 4.5e-4), then two Newton steps. The tail is
// taken as 1 - erf (not every C runtime's headers declare erfc): relative
// error 1e-10 at q = 1e-6, enough for a start.
double normalUpperQuantile(double q) {
  const double w = std::sqrt(-2.0 * std::log(q));
  double z =
      w - (2.515517 + w * (0.802853 + w * 0.010328)) / (1.0 + w * (1.432788 + w * (0.189269 + w * 0.001308)));
  for (int k = 0; k < 2; ++k) {
    const double excessTail = 0.5 * (1.0 - std::erf(z * kSqrtHalf)) - q;
    z = z + excessTail / (kInvSqrtTwoPi * std::exp(-0.5 * z * z));
  }
  return z;
}

// A start for the search of the quantile t with P(|T| > t) = p: the
// Cornish-Fisher expansion in 1/df about the normal quantile (Abramowitz and
// Stegun 26.7.5, its four terms g1 to g4), kept within the walk's reach. Good to 1e-6 for df in the hundreds;
// for a few df only a start, which the Halley steps correct.
double approximateQuantile(double df, double p) {
  const double z = normalUpperQuantile(0.5 * p);
  const double z2 = z * z;
  const double g1 = (z2 + 1.0) * z / 4.0;
  const double g2 = ((5.0 * z2 + 16.0) * z2 + 3.0) * z / 96.0;
  const double g3 = (((3.0 * z2 + 19.0) * z2 + 17.0) * z2 - 15.0) * z / 384.0;
  const double g4 = ((((79.0 * z2 + 776.0) * z2 + 1482.0) * z2 - 1920.0) * z2 - 945.0) * z / 92160.0;
  const double v = 1.0 / df;
  const double t = z + v * (g1 + v * (g2 + v * (g3 + v * g4)));
  return std::isfinite(t) ? std::fmin(kWalkHighEdge, std::fmax(kWalkLowEdge, t)) : kWalkStart;
}

// Decides the walk's points without evaluating them where a bound settles
// the decision, evaluating exactly as the walk does where it does not.
//
// The walk's evaluation at t is betai_with_terms(a, 1/2, x, terms) at
// x = detail::walk_x(df, t), the very double the walk evaluates at. In exact arithmetic
// (with the same x and the same log-gamma terms) that is
//   M(x) = K * B_x(a, 1/2)                 where x < the switch point,
//   M(x) = 1 - K * B_{1-x}(1/2, a)         elsewhere,
// the switch point being detail::betai_switch_point(a, 1/2), the one betai
// itself tests (each anchor is bounded only against points of its own piece),
// with K = exp(terms) and B the unregularised incomplete beta function. Both
// pieces rise with x at the rate K * x^(a-1) * (1-x)^(-1/2), which itself
// rises with x for a >= 1 (df >= 2); x falls as t rises, and the rounded x
// does too. The evaluation differs from M by its rounding error, bounded by
// detail::walk_error_bound(df); the two pieces differ at the switch point by
// 1 - K * B(a, 1/2), bounded by kWalkBranchJump.
//
// Every exactly evaluated point becomes an anchor: its pc is known, so the
// pc at any other x is bounded by monotonicity (no work) and, tighter, by the
// rate at the two ends (one exp and two logs). A decision is taken from the
// bounds only when every value between them leads to it.
class FastDecider {
public:
  FastDecider(double df, double p, double tolerance)
      : df_(df), a_(df * 0.5), p_(p), tolerance_(tolerance), switch_(detail::betai_switch_point(a_, 0.5)),
        evaluation_(df), margin_(2.0 * detail::walk_error_bound(df)) {}

  // Places the first anchors near the quantile: an approximation, then
  // Halley steps on the walk's own evaluation while they move far.
  void anchorNearQuantile() {
    double t = approximateQuantile(df_, p_);
    for (int k = 0; k < kMaxRefinements; ++k) {
      const Anchor *anchor = anchorAt(detail::walk_x(df_, t));
      if (anchor == nullptr)
        break;
      const double next = std::fmin(kWalkHighEdge, std::fmax(kWalkLowEdge, halleyStep(*anchor, t)));
      if (!(std::fabs(next - t) > kRefinedEnough))
        break;
      t = next;
    }
  }

  Decision decide(double t) {
    const double x = detail::walk_x(df_, t);
    const bool lower = x < switch_;
    for (int i = 0; i < count_; ++i)
      if (anchors_[i].x == x)
        return decisionOf(anchors_[i].pc, p_, tolerance_); // the same bits
    // Monotonicity: pc at x is no higher than at any anchor with a larger x.
    double low = -kHuge;
    double high = kHuge;
    for (int i = 0; i < count_; ++i) {
      const Anchor &anchor = anchors_[i];
      const double margin = anchor.lower == lower ? margin_ : margin_ + kWalkBranchJump;
      if (x < anchor.x)
        high = std::fmin(high, anchor.gap + margin);
      else
        low = std::fmax(low, anchor.gap - margin);
    }
    Decision decision;
    if (settled(low, high, &decision))
      return decision;
    // The rate at both ends bounds the rise between an anchor and x.
    const double rate = rateAt(x);
    for (int i = 0; i < count_; ++i) {
      const Anchor &anchor = anchors_[i];
      if (anchor.lower != lower)
        continue;
      const double dx = x - anchor.x;
      const double atAnchor = dx * anchor.rate;
      const double atX = dx * rate;
      if (dx < 0.0) {
        low = std::fmax(low, anchor.gap + atAnchor * (1.0 + kRateSlack) - margin_);
        high = std::fmin(high, anchor.gap + atX * (1.0 - kRateSlack) + margin_);
      } else {
        low = std::fmax(low, anchor.gap + atAnchor * (1.0 - kRateSlack) - margin_);
        high = std::fmin(high, anchor.gap + atX * (1.0 + kRateSlack) + margin_);
      }
    }
    if (settled(low, high, &decision))
      return decision;
    return decisionOf(evaluate(x, rate), p_, tolerance_);
  }

  int exactEvaluations = 0;

private:
  struct Anchor {
    double x;
    double pc;
    double gap;  // pc - p
    double rate; // dM/dx at x
    bool lower;  // below the switch point
  };

  // Halley's steps converge cubically: over 250,000 random pairs inside the
  // reach, the step from the first or the second anchor was already shorter
  // than kRefinedEnough. The cap only bounds the cost should they not.
  static constexpr int kMaxRefinements = 6;
  static constexpr double kRefinedEnough = 3e-5; // a Halley step this short leaves the anchor this close
  static constexpr double kRateSlack = 0x1p-30;  // relative, on exp and two logs good to 1e-14
  static constexpr double kSlack = 0x1p-50;
  static constexpr double kHuge = 1e300;

  double rateAt(double x) const {
    return std::exp(evaluation_.terms + (a_ - 1.0) * std::log(x) - 0.5 * std::log(1.0 - x));
  }

  // An anchor the walk need not visit; none where the fraction does not
  // converge, its error unmeasured there.
  const Anchor *anchorAt(double x) {
    for (int i = 0; i < count_; ++i)
      if (anchors_[i].x == x)
        return &anchors_[i];
    ++exactEvaluations;
    bool converged = false;
    const double pc = evaluation_.at(x, &converged);
    return converged ? &add(x, pc, rateAt(x)) : nullptr;
  }

  // A point the walk visits, evaluated exactly as the walk evaluates it; an
  // anchor only where the fraction converged, the error measured there.
  double evaluate(double x, double rate) {
    ++exactEvaluations;
    bool converged = false;
    const double pc = evaluation_.at(x, &converged);
    if (converged)
      add(x, pc, rate);
    return pc;
  }

  const Anchor &add(double x, double pc, double rate) {
    if (count_ == kMaxAnchors)
      count_ = kMaxAnchors - 1; // never reached: the walk visits at most 64 points
    anchors_[count_] = {x, pc, pc - p_, rate, x < switch_};
    return anchors_[count_++];
  }

  // Where M(x(t)) meets p, one Halley step from the anchor at t. The tail
  // falls at 2 f(t) = rate * 2 t x^2 / df, and ln f falls at
  // (df + 1) t / (df + t^2). Halley divides the Newton step by the bend;
  // a bend below one half, which would more than double the step, comes
  // only far from the quantile, where the curvature misleads, and there the
  // Newton step is the safer move.
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
  double switch_;
  WalkEvaluation evaluation_;
  double margin_;
  Anchor anchors_[kMaxAnchors] = {};
  int count_ = 0;
};

// Where FastDecider is used. Its bounds hold from df = 2 on (the rate rises
// with x) up to the largest 32-bit df (the rounding error was measured that
// far). Beyond 1e8 df the walk's own rounding error outgrows the tolerance
// (its bound is 1.4e-6 at 1e8, 3e-5 at 2^31), so few points are settled and
// the anchors cost more than they save. p of 1/2 or more never lies in the
// walk's reach, and a tolerance that wide leaves nothing to gain.
bool fastWalkApplies(double df, double p, double tolerance) {
  return df >= 2.0 && df <= 1e8 && p > 0.0 && p < 0.5 && tolerance >= 0.0 && tolerance < 0.01;
}

// What a NaN p, or a df with no t distribution, gets: no threshold can be
// computed, and the value is the one such arguments always had. A run does
// not ask for a df of 0 or less; it keeps the map's threshold.
constexpr double kNoQuantile = 3.0;

enum class WalkKind { plain, fast };

double threshold(double df, double p, double tolerance, WalkKind kind, TFromPCounts &counts) {
  counts = {};
  if (std::isnan(p) || !(df > 0.0) || std::isinf(df))
    return kNoQuantile;
  TailProbability tail(df);
  double result;
  if (!(std::fabs(0.5 - p) > tolerance)) {
    // The walk would stop at once without a t to show for it. p near one half
    // lies below the low edge for every df (the tail there is at most
    // 0.3743, at df 1), so it is searched for like any target beyond the
    // reach; only a tolerance wider than that gap asks for a search upward.
    const double direction = excess(tail, kWalkLowEdge, p) > 0.0 ? 1.0 : -1.0;
    result = beyondReach(tail, kWalkLowEdge, direction, p);
  } else if (kind == WalkKind::fast && fastWalkApplies(df, p, tolerance)) {
    FastDecider decider(df, p, tolerance);
    decider.anchorNearQuantile();
    result = walk(decider, tail, p, tolerance);
    counts.exactEvaluations = decider.exactEvaluations;
  } else {
    PlainDecider decider(df, p, tolerance);
    result = walk(decider, tail, p, tolerance);
  }
  counts.evaluations = tail.evaluations;
  return result;
}

} // namespace

namespace detail {

double walk_error_bound(double df) { return 0x1p-38 + df * 0x1p-46; }

double t_from_p_reference(double df, double p, double tolerance, int *evaluations) {
  TFromPCounts counts;
  const double t = threshold(df, p, tolerance, WalkKind::plain, counts);
  if (evaluations != nullptr)
    *evaluations = counts.evaluations;
  return t;
}

} // namespace detail

double t_from_p(double df, double p, double tolerance, TFromPCounts *counts) {
  TFromPCounts local;
  return threshold(df, p, tolerance, WalkKind::fast, counts != nullptr ? *counts : local);
}

} // namespace kelvane::stats
