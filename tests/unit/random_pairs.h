// Random (df, p) pairs as a run passes them to t_from_p: a 32-bit df,
// log-uniform from 1 to 2^31 - 1 (as map records hold them), and a float p
// (as "MinP" holds it), four in five inside the window of their df, the rest
// log-uniform from 1e-9 to 0.9. Shared by the tests that sweep t_from_p.
#pragma once

#include "beta.h"
#include "t_threshold.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>

namespace random_pairs {

constexpr double kTolerance = 1e-7;

// The walk's own tail probability at t.
inline double walkTail(double df, double t) {
  namespace ks = kelvane::stats;
  return ks::betai(df * 0.5, 0.5, ks::detail::walk_x(df, t)).value;
}

// How many pairs: the environment variable's value, else the fallback.
inline long count(const char *variable, long fallback) {
  const char *text = std::getenv(variable);
  return text != nullptr ? std::atol(text) : fallback;
}

struct Pair {
  double df;
  double p;
};

class Draw {
public:
  explicit Draw(std::uint64_t seed) : random_(seed) {}

  Pair next() {
    namespace ks = kelvane::stats;
    const double df = std::floor(std::exp(unit_(random_) * std::log(2147483647.0)));
    double p;
    if (drawn_++ % 5 != 0) {
      const double low = std::fmax(walkTail(df, ks::kWalkHighEdge) - kTolerance, 1e-12);
      const double high = walkTail(df, ks::kWalkLowEdge) + kTolerance;
      p = std::exp(std::log(low) + unit_(random_) * std::log(high / low));
    } else {
      p = std::exp(std::log(1e-9) + unit_(random_) * std::log(0.9 / 1e-9));
    }
    return {df, static_cast<float>(p)};
  }

private:
  std::mt19937_64 random_;
  std::uniform_real_distribution<double> unit_{0.0, 1.0};
  long drawn_ = 0;
};

} // namespace random_pairs
