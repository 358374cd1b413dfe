#include "t_threshold.h"

#include "beta.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kelvane::stats {
namespace {

// The two-tailed tail probability P(|T| > t) for one df; the log_gamma terms
// are the same for every t of a search, so they are computed once.
class TailProbability {
public:
  explicit TailProbability(double df) : df_(df), a_(df * 0.5), terms_(prefactorTerms(df)) {}

  double operator()(double t, bool *converged = nullptr) {
    ++evaluations;
    const double x = df_ / (t * t + df_);
    // x == 0 (df == 0) skips the prefactor, as betai does.
    return detail::betai_with_terms(a_, 0.5, x, terms_, converged);
  }

  int evaluations = 0;

private:
  static double prefactorTerms(double df) {
    return df == 0.0 ? 0.0 : detail::log_beta_terms(df * 0.5, 0.5);
  }
  double df_;
  double a_;
  double terms_;
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

// True when the target t lies above t: the tail there is still heavier than
// p. A fraction that did not converge counts as "not above".
bool targetAbove(TailProbability &tail, double t, double p) {
  bool converged = true;
  const double pc = tail(t, &converged);
  return converged && pc > p;
}

// Narrows [below, above] (targetAbove true at below, false at above; both
// non-negative) until the two are neighbouring doubles. Non-negative doubles
// order like their bit patterns, so halving the bit distance takes at most 64
// steps whatever the bracket spans.
double bisect(TailProbability &tail, double below, double above, double p) {
  std::uint64_t lo = bitsOf(below);
  std::uint64_t hi = bitsOf(above);
  while (hi - lo > 1) {
    const std::uint64_t mid = lo + (hi - lo) / 2;
    if (targetAbove(tail, fromBits(mid), p))
      lo = mid;
    else
      hi = mid;
  }
  // The end whose tail is no heavier than p: the conservative threshold.
  return fromBits(hi);
}

} // namespace

double t_from_p_counted(double df, double p, double tolerance, int *evaluations) {
  if (evaluations != nullptr)
    *evaluations = 0;
  if (!(std::fabs(0.5 - p) > tolerance))
    return 3.0;
  // A negative df would make betai end the host's process; a map record can
  // hold one, so it gets the same answer as a p of one half.
  if (!(df >= 0.0) || std::isinf(df))
    return 3.0;

  TailProbability tail(df);
  double t = 3.0;
  double step = 1.5;
  double direction = 1.0;
  double result = t;
  bool reached = false;
  while (tail.evaluations < T_WALK_MAX_EVALUATIONS) {
    const double pc = tail(t);
    if (pc > p && direction == -1.0)
      direction = direction * -1.0;
    else if (p > pc && direction == 1.0)
      direction = direction * -1.0;
    step = step * 0.5;
    const double moved = t + direction * step;
    if (!(std::fabs(pc - p) > tolerance)) {
      result = moved;
      reached = true;
      break;
    }
    if (moved == t)
      break; // the target lies beyond (1.5, 4.5), where the walk cannot go
    t = moved;
  }

  if (!reached) {
    constexpr double kLargest = FLT_MAX; // the caller narrows to float
    if (direction > 0.0) {
      result = targetAbove(tail, kLargest, p) ? kLargest : bisect(tail, t, kLargest, p);
    } else {
      // P(|T| > 0) is 1: a p of 1 or more asks for no threshold at all.
      result = targetAbove(tail, 0.0, p) ? bisect(tail, 0.0, t, p) : 0.0;
    }
  }
  if (evaluations != nullptr)
    *evaluations = tail.evaluations;
  return result;
}

double t_from_p(double df, double p, double tolerance) {
  return t_from_p_counted(df, p, tolerance, nullptr);
}

} // namespace kelvane::stats
