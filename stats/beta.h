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

// How an evaluation ended. A failure is reported to the caller, never by
// ending the process: the module runs inside the host's.
enum class BetaStatus {
  converged,
  bad_x,         // x outside [0, 1]; the value is NaN
  not_converged, // MAXIT iterations missed the test (a NaN x too); the value is the one reached
};

struct BetaResult {
  double value;
  BetaStatus status;
};

// ln Gamma(x) for x > 0, six-term Lanczos form.
double log_gamma(double x);

// The continued fraction of I_x(a, b) (modified Lentz), to be multiplied by
// the prefactor and divided by a, as betai does.
BetaResult betacf(double a, double b, double x);

// I_x(a, b). A caller evaluating many x for the same a and b may pass
// detail::log_beta_terms(a, b) in terms, computed once; the bits are the same.
BetaResult betai(double a, double b, double x, const double *terms = nullptr);

namespace detail {
// Where betai switches from the fraction for I_x(a, b) (x below this point)
// to 1 - the fraction for I_{1-x}(b, a). The fast walk relies on this choice.
inline double betai_switch_point(double a, double b) { return (a + 1.0) / ((a + b) + 2.0); }

// lg(a+b) - lg(a) - lg(b), summed in betai's order.
double log_beta_terms(double a, double b);
} // namespace detail

} // namespace kelvane::stats
