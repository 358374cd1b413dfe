// The regularised incomplete beta function I_x(a, b) in binary64.
//
// Every operation is done in the order written in beta.cpp; the results are
// relied on to be bit-identical across builds (no contraction, no fast-math).
#pragma once

namespace kelvane::stats {

// The algorithm's own names for its three constants, kept as it names them
// (the project's other constants are kCamelCase).
constexpr int MAXIT = 100;
constexpr double CF_EPSILON = 2.220446049250313e-16; // 2^-52
constexpr double CF_FLOOR = 1.0020841800044864e-292; // 2^-970 = DBL_MIN / CF_EPSILON

// Writes the three-line numerical failure report to standard error and ends
// the process with status 1. Never returns.
[[noreturn]] void numeric_error(const char *message);

// ln Gamma(x) for x > 0, six-term Lanczos form.
double log_gamma(double x);

// The continued fraction of I_x(a, b) (modified Lentz). Ends the process when
// MAXIT iterations do not converge.
double betacf(double a, double b, double x);

// I_x(a, b). Ends the process for x outside [0, 1]; a NaN x passes that test
// and ends in betacf's report instead.
double betai(double a, double b, double x);

namespace detail {
// Where betai switches from the fraction for I_x(a, b) (x below this point)
// to 1 - the fraction for I_{1-x}(b, a). The t threshold's fast walk bounds
// each of the two pieces separately and relies on this very choice.
inline double betai_switch_point(double a, double b) { return (a + 1.0) / ((a + b) + 2.0); }

// The three log_gamma terms of betai's prefactor, lg(a+b) - lg(a) - lg(b),
// summed in betai's order, so that a caller evaluating many x for the same
// a and b can compute them once.
double log_beta_terms(double a, double b);

// betai with those terms supplied; the same bits as betai(a, b, x). Ends the
// process where betai would.
double betai_with_terms(double a, double b, double x, double terms);

// betai_with_terms that reports non-convergence of the fraction in
// *converged instead of ending the process (a null converged ends it, as
// betai_with_terms does); the same bits where it converges.
double betai_with_terms_checked(double a, double b, double x, double terms, bool *converged);

// betacf that reports non-convergence in *converged instead of ending the
// process.
double betacf_checked(double a, double b, double x, bool *converged);
} // namespace detail

} // namespace kelvane::stats
