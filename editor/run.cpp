#include "run.h"

#include "host_api.h"
#include "host_calls.h"
#include "log_line.h"
#include "map_record.h"
#include "options.h"
#include "overlay_list.h"
#include "t_threshold.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace kelvane {
namespace {

// Changes the fields the options select in one map's record.
void applyOptions(const OptionSet &options, const unsigned char *overlayFlags, std::int32_t index,
                  unsigned char *rec) {
  if (options.doSetMin) {
    if (!options.doSetMinP) {
      record::write(rec, record::kLowerThreshold, options.min);
    } else if (record::read<std::int32_t>(rec, record::kMapType) != record::kTMap) {
      logLine("Kelvane>  Map %i is not a T-map, setting of P threshold not supported", index + 1);
    } else if (const std::int32_t df = record::read<std::int32_t>(rec, record::kDegreesOfFreedom); df <= 0) {
      // No t distribution to take a threshold from: the map keeps its own.
      logLine("Kelvane>  Map %i has %i degrees of freedom, setting of P threshold not supported", index + 1,
              df);
    } else {
      record::write(rec, record::kLowerThreshold, stats::map_t_threshold(df, options.minP));
    }
  }
  if (options.doSetMax)
    record::write(rec, record::kUpperThreshold, options.max);
  if (options.doClusterSize)
    record::write(rec, record::kClusterSize, options.clusterSize);
  if (options.doUseClusterSize)
    record::write<std::int32_t>(rec, record::kUseCluster, options.useCluster ? 1 : 0);
  if (options.doShowPosNegBoth) {
    // Two's-complement wrap for INT32_MAX, without signed overflow.
    const std::uint32_t shown = static_cast<std::uint32_t>(options.pnb) + 1u;
    record::write(rec, record::kSignShown, shown);
  }
  if (options.doTransparancy)
    record::write(rec, record::kTransparency, options.trans);
  if (options.doOverlayMaps)
    record::write<std::int32_t>(rec, record::kOverlayState, overlayFlags[index]);
}

// Switches the first overlaid map off and on again so that the host rebuilds
// the overlay from the new settings.
void refreshOverlay(std::int32_t n, unsigned char *rec) {
  for (std::int32_t i = 0; i < n; ++i) {
    host::zuGetNRVMPOfCurrentVMR(i, rec);
    if (record::read<std::int32_t>(rec, record::kOverlayState) == 1) {
      record::write<std::int32_t>(rec, record::kOverlayState, 0);
      host::zuSetNRVMPParametersOfCurrentVMR(i, rec);
      record::write<std::int32_t>(rec, record::kOverlayState, 1);
      host::zuSetNRVMPParametersOfCurrentVMR(i, rec);
      return;
    }
  }
}

} // namespace

bool runEditor() {
  OptionSet options;
  readOptions(options);

  host::zuLogText("Kelvane>  -----");
  if (!anyOptionSelected(options)) {
    host::zuLogText("Kelvane>  No options selected");
    return false;
  }
  echoOptions(options);
  host::zuLogText("Kelvane>  -----");

  // Zeroed so that a host that writes nothing gives no maps, never stack
  // garbage.
  unsigned char mapCount[kMapCountRecordSize] = {};
  host::zuGetNRVMPsOfCurrentVMR(mapCount);
  std::int32_t n = record::read<std::int32_t>(mapCount, 0);
  if (n < 0)
    n = 0;

  unsigned char *overlayFlags = new (std::nothrow) unsigned char[static_cast<std::size_t>(n)];
  if (overlayFlags == nullptr) {
    logLine("Kelvane>  Not enough memory for %i maps", n);
    return false;
  }
  if (options.doOverlayMaps)
    buildOverlayFlags(options.overlay, n, overlayFlags);

  // One buffer for every map, zeroed once: between maps it is handed on as
  // the host left it.
  unsigned char rec[kMapRecordSize] = {};
  for (std::int32_t i = 0; i < n; ++i) {
    host::zuGetNRVMPOfCurrentVMR(i, rec);
    applyOptions(options, overlayFlags, i, rec);
    logLine("Kelvane>  Setting parameters for map %i", i + 1);
    host::zuSetNRVMPParametersOfCurrentVMR(i, rec);
  }

  refreshOverlay(n, rec);

  host::zuUpdateActiveWindow();
  delete[] overlayFlags;
  host::zuLogText("Kelvane>");
  host::zuLogText("Kelvane>  Finished!");
  return true;
}

} // namespace kelvane
