// The two-tailed tail probability of Student's t, accurate over the whole
// range of t, and the search for the quantile where the walk cannot reach.
#pragma once

namespace kelvane::stats::detail {

// P(|T| > t) with df degrees of freedom; NaN where the fraction does not
// converge. evaluations counts the whole call of t_from_p: the walk adds its
// own points to it.
class TailProbability {
public:
  explicit TailProbability(double df) : df_(df), a_(df * 0.5) {}

  double at(double t);

  int evaluations = 0;

private:
  double df_;
  double a_;
  bool haveTerms_ = false;
  double terms_ = 0.0;
};

// Whether p clearly lies beyond the walk's edge in direction (+1: the high
// edge), so that the walk could never end there.
bool clearlyBeyond(TailProbability &tail, double edge, double direction, double p, double tolerance);

// The quantile for p beyond the reach, searched from t, the point the walk
// crept to, in direction: a float, from 0 to FLT_MAX.
double beyondReach(TailProbability &tail, double t, double direction, double p);

// The quantile for p within the tolerance of one half, below the reach.
double nearOneHalf(TailProbability &tail, double p);

} // namespace kelvane::stats::detail
