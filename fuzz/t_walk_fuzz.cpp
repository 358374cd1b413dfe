// The fast walk against the plain walk: for any df, p and tolerance the same
// threshold bits and the same count of evaluations. Input: a 32-bit df and a
// float p, as a run passes them; with 12 bytes or more, p is the double in
// bytes 4 to 11 instead (any p, ties with pc included); with 20 or more,
// bytes 12 to 19 are the tolerance (else 1e-7).
#include "t_threshold.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 8)
    return 0;
  std::int32_t df;
  std::memcpy(&df, data, sizeof df);
  double p;
  if (size >= 12) {
    std::memcpy(&p, data + 4, sizeof p);
  } else {
    float narrow;
    std::memcpy(&narrow, data + 4, sizeof narrow);
    p = narrow;
  }
  double tolerance = 1e-7;
  if (size >= 20)
    std::memcpy(&tolerance, data + 12, sizeof tolerance);
  namespace ks = kelvane::stats;
  int plainCount = -1;
  ks::TFromPCounts fastCounts;
  const double plain = ks::detail::t_from_p_reference(df, p, tolerance, &plainCount);
  const double fast = ks::t_from_p(df, p, tolerance, &fastCounts);
  if (std::memcmp(&plain, &fast, sizeof plain) != 0 || plainCount != fastCounts.evaluations)
    std::abort();
  return 0;
}
