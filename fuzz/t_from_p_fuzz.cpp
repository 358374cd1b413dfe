// t_from_p for any 32-bit df and any float p, as a run passes them: the
// result is a finite threshold a float can hold, and the evaluations stay
// within the stated bound.
#include "t_threshold.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 8)
    return 0;
  std::int32_t df;
  float p;
  std::memcpy(&df, data, sizeof df);
  std::memcpy(&p, data + 4, sizeof p);
  kelvane::stats::TFromPCounts counts;
  const double t = kelvane::stats::t_from_p(df, static_cast<double>(p), 1e-7, &counts);
  if (!std::isfinite(t) || t < 0.0 || t > static_cast<double>(FLT_MAX))
    std::abort();
  if (counts.evaluations < 0 || counts.evaluations > kelvane::stats::kTFromPMaxEvaluations)
    std::abort();
  return 0;
}
