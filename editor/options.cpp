#include "options.h"

#include "host_calls.h"
#include "log_line.h"

namespace kelvane {
namespace {

bool readSwitch(const char *key) { return host::getIntParameter(key) != 0; }

} // namespace

void readOptions(OptionSet &options) {
  options.doSetMin = readSwitch("DoSetMin");
  options.min = host::getFloatParameter("Min");
  options.doSetMinP = readSwitch("DoSetMinP");
  options.minP = host::getFloatParameter("MinP");
  options.doSetMax = readSwitch("DoSetMax");
  options.max = host::getFloatParameter("Max");
  options.doClusterSize = readSwitch("DoClusterSize");
  options.clusterSize = host::getIntParameter("ClusterSize");
  options.doUseClusterSize = readSwitch("DoUseClusterSize");
  options.useCluster = readSwitch("UseCluster");
  options.doShowPosNegBoth = readSwitch("DoShowPosNegBoth");
  options.pnb = host::getIntParameter("PNB");
  options.doTransparancy = readSwitch("DoTransparancy");
  options.trans = host::getFloatParameter("Trans");
  options.doOverlayMaps = readSwitch("DoOverlayMaps");
  options.overlay[0] = '\0';
  host::getStringParameter("Overlay", options.overlay);
  // The host is given no size; whatever it wrote, the text ends in the buffer.
  options.overlay[sizeof options.overlay - 1] = '\0';
}

bool anyOptionSelected(const OptionSet &options) {
  return options.doSetMin || options.doSetMax || options.doClusterSize || options.doUseClusterSize ||
         options.doShowPosNegBoth || options.doTransparancy || options.doOverlayMaps;
}

void echoOptions(const OptionSet &options, LogLine &line) {
  if (options.doSetMin) {
    if (options.doSetMinP)
      line.emit("Kelvane>  Set Min P to %1.4f", static_cast<double>(options.minP));
    else
      line.emit("Kelvane>  Set Min to %3.2f", static_cast<double>(options.min));
  }
  if (options.doSetMax)
    line.emit("Kelvane>  Set Max to %3.2f", static_cast<double>(options.max));
  if (options.doClusterSize)
    line.emit("Kelvane>  Set Cluster Size to %i", options.clusterSize);
  if (options.doUseClusterSize)
    line.emit("Kelvane>  DO%s use the cluster size threshold", options.useCluster ? "" : " NOT");
  if (options.doShowPosNegBoth) {
    const char *shown = options.pnb == 0 ? "Positive" : options.pnb == 1 ? "Negative" : "Both (pos and neg)";
    line.emit("Kelvane>  Show %s", shown);
  }
  if (options.doTransparancy)
    line.emit("Kelvane>  Transparancy Factor %1.2f", static_cast<double>(options.trans));
  if (options.doOverlayMaps)
    line.emit("Kelvane>  Overlay the following maps: %s", options.overlay);
}

} // namespace kelvane
