// The option set of one run: the values the host's dialog stored, one per key.
#pragma once

#include "host_api.h"

#include <cstdint>

namespace kelvane {

struct OptionSet {
  bool doSetMin = false;
  float min = 0.0f;
  bool doSetMinP = false; // with doSetMin: the lower threshold is given as p
  float minP = 0.0f;
  bool doSetMax = false;
  float max = 0.0f;
  bool doClusterSize = false;
  std::int32_t clusterSize = 0;
  bool doUseClusterSize = false;
  bool useCluster = false;
  bool doShowPosNegBoth = false;
  std::int32_t pnb = 0; // 0 positive, 1 negative, anything else both
  bool doTransparancy = false;
  float trans = 0.0f;
  bool doOverlayMaps = false;
  char overlay[kStringParameterSize] = {}; // always terminated within the buffer
};

// Reads every key, always all of them and in the key table's order.
void readOptions(OptionSet &options);

// Whether any of the seven option switches is set ("DoSetMinP" only
// qualifies "DoSetMin").
bool anyOptionSelected(const OptionSet &options);

// One log line per selected option, in the fixed order.
void echoOptions(const OptionSet &options);

} // namespace kelvane
