// The two-tailed tail probability of Student's t, accurate over the whole
// range of t: what the search beyond the walk's reach, and the look past an
// edge, evaluate.
#pragma once

namespace kelvane::stats::detail {

// P(|T| > t) with df degrees of freedom; NaN where the fraction does not
// converge. evaluations counts the whole call of t_from_p: the walk adds its
// own points to it.
class TailProbability {
public:
  explicit TailProbability(double df) : df_(df), a_(df * 0.5) {}

  double at(double t) { return at(t, nullptr); }
  // With -d ln P / d ln t in *logSlope, for the steps of the search.
  double at(double t, double *logSlope);
  // at(t, logSlope) at the search's first point, ahead of the walk: counted
  // in accurateEvaluations now, and in evaluations when the search asks.
  double startAhead(double t, double *logSlope);
  // Whether startAhead was called, and with which t.
  bool startedAhead(double *t) const {
    *t = aheadT_;
    return haveAhead_;
  }
  double df() const { return df_; }

  int evaluations = 0;
  int accurateEvaluations = 0; // of these, the calls of at()

private:
  double df_;
  double a_;
  bool haveTerms_ = false;
  double terms_ = 0.0;
  bool haveAhead_ = false; // the point startAhead() evaluated, which at() then returns
  double aheadT_ = 0.0;
  double aheadPc_ = 0.0;
  double aheadSlope_ = 0.0;
};

} // namespace kelvane::stats::detail
