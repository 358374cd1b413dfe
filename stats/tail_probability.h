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

// Whether p clearly lies beyond the walk's edge in direction (+1: the high
// edge), so that the walk could never end there.
bool clearlyBeyond(TailProbability &tail, double edge, double direction, double p, double tolerance);

// Whether the walk heads straight for an edge and its look past it finds p
// beyond, settled from the search's first point alone, evaluated ahead where
// it lies past an edge: +1 past the high edge, -1 past the low one, 0 not
// settled. z is the rational start for the normal quantile of p / 2;
// walkError bounds the walk's own evaluation's error (absolute).
int beyondFromSearchStart(TailProbability &tail, double p, double z, double tolerance, double walkError);

// The same answer from the walk's own evaluation at the edge, walkPc, where
// it settles it (1: beyond, 0: not), else -1; counted as an evaluation.
int clearlyBeyondFromWalk(TailProbability &tail, double walkPc, double direction, double p, double tolerance);

// How the quantile beyond the reach is found: by steps from a close start,
// with the bracketing search where they fail; or by that search alone, the
// reference the steps are held to bit for bit.
enum class Search { steps, bracket };

// The quantile for p beyond the reach, searched from t, the point the walk
// crept to, in direction: a float, from 0 to FLT_MAX.
double beyondReach(TailProbability &tail, double t, double direction, double p,
                   Search search = Search::steps);

// The quantile for p within the tolerance of one half, below the reach.
double nearOneHalf(TailProbability &tail, double p, Search search = Search::steps);

} // namespace kelvane::stats::detail
