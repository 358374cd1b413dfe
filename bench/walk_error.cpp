// Measures what the fast walk's margins rest on, over the walk's whole
// domain (df from 2 to 2^31 - 1, t from 1.5 to 4.5) against the long double
// model of tests/unit/walk_model.h:
//   - the rounding error of the walk's evaluation, as a multiple of the
//     bound walk_error_bound(df) (the margin's safety factor is its inverse),
//   - the step between betai's two pieces, against kWalkBranchJump,
//   - the relative error of the rate exp(terms + (a-1) ln x - ln(1-x)/2),
// and lists the points where the fraction does not converge within MAXIT.
//
//   kelvane_walk_error [samples] [seed]
//
// Half the df are integers (as map records hold them), half real; a fifth of
// the t lie within 0.01 of the switch point, where the error peaks.
#include "fast_walk.h"
#include "t_threshold.h"
#include "walk_model.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char **argv) {
  const long samples = argc > 1 ? std::atol(argv[1]) : 1000000;
  std::mt19937_64 random(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 13);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double largest = 2147483647.0;
  struct Worst {
    long double value = 0;
    double df = 0, t = 0;
  };
  Worst error[10], overall, jump, rate;
  long double largestError = 0;
  long nonConverging = 0;
  for (long i = 0; i < samples; ++i) {
    double df = 2.0 * std::exp(unit(random) * std::log(largest / 2.0));
    if (i % 2 == 0)
      df = std::floor(df);
    namespace ks = kelvane::stats;
    double t = ks::kWalkLowEdge + (ks::kWalkHighEdge - ks::kWalkLowEdge) * unit(random);
    if (i % 5 == 0) {
      const double a = df * 0.5;
      const double switchT = std::sqrt(df * 1.5 / (a + 1.0));
      t = std::fmin(ks::kWalkHighEdge, std::fmax(ks::kWalkLowEdge, switchT + 0.02 * (unit(random) - 0.5)));
    }
    const walk_model::Point point = walk_model::at(df, t);
    const long double e = std::fabs(point.walk - point.exact);
    if (!point.converges) {
      // betai reports no convergence here; the walk uses the value reached.
      std::printf("no convergence within MAXIT at df %.17g, t %.17g: error / bound %.3Le\n", df, t,
                  e / kelvane::stats::detail::walk_error_bound(df));
      ++nonConverging;
    }
    largestError = std::fmax(largestError, e);
    const long double ratio = e / kelvane::stats::detail::walk_error_bound(df);
    Worst &bin = error[std::min(9, static_cast<int>(std::log10(df)))];
    if (ratio > bin.value)
      bin = {ratio, df, t};
    if (ratio > overall.value)
      overall = {ratio, df, t};
    const long double j = std::fabs(point.jump) / kelvane::stats::kWalkBranchJump;
    if (j > jump.value)
      jump = {j, df, t};
    const long double r = std::fabs(point.rate / point.exactRate - 1.0L);
    if (r > rate.value)
      rate = {r, df, t};
  }
  std::printf("%ld samples, %ld of them where the fraction does not converge\n", samples, nonConverging);
  std::printf("walk's rounding error / walk_error_bound(df), largest per decade of df:\n");
  for (int d = 0; d < 10; ++d)
    std::printf("  df 1e%d..: %.3Le (df %.17g, t %.17g)\n", d, error[d].value, error[d].df, error[d].t);
  std::printf("overall: %.3Le, safety factor %.0Lf; largest absolute error %.3Le\n", overall.value,
              1.0L / overall.value, largestError);
  std::printf("branch step / kWalkBranchJump: %.3Le (df %.17g), safety factor %.0Lf\n", jump.value, jump.df,
              1.0L / jump.value);
  std::printf("rate's relative error: %.3Le (df %.17g, t %.17g), slack 2^-30 = %.3e\n", rate.value, rate.df,
              rate.t, std::ldexp(1.0, -30));
}
