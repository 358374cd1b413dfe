#include "options.h"

#include "host_calls.h"
#include "log_line.h"
#include "option_keys.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kelvane {
namespace {

// Each reader checks at compile time that the table stores its key as the
// reader reads it.
template <OptionKeyId id> bool readSwitch() {
  static_assert(optionKey(id).type == OptionType::Int && optionKey(id).role == OptionRole::Switch);
  return host::zuGetIntParameter(optionKey(id).name) != 0;
}

template <OptionKeyId id> std::int32_t readInt() {
  static_assert(optionKey(id).type == OptionType::Int && optionKey(id).role == OptionRole::Value);
  return host::zuGetIntParameter(optionKey(id).name);
}

template <OptionKeyId id> float readFloat() {
  static_assert(optionKey(id).type == OptionType::Float);
  return host::zuGetFloatParameter(optionKey(id).name);
}

// The p the thresholds come from, as the log shows it: with four decimals as
// always where they read back within 1 % of p; elsewhere (0.00006 and 0.0001
// would both read 0.0001) with the fewest significant digits that read back
// as the same float. A p that is not finite keeps the four-decimal text.
void showP(float p, char (&shown)[64]) {
  const double widened = static_cast<double>(p);
  std::snprintf(shown, sizeof shown, "%1.4f", widened);
  if (!std::isfinite(widened) ||
      std::fabs(std::strtod(shown, nullptr) - widened) <= 0.01 * std::fabs(widened))
    return;
  // Nine significant digits tell every float apart.
  for (int digits = 1; digits < 9; ++digits) {
    std::snprintf(shown, sizeof shown, "%.*g", digits, widened);
    if (std::strtof(shown, nullptr) == p)
      return;
  }
  std::snprintf(shown, sizeof shown, "%.9g", widened);
}

} // namespace

// In the table's order, which is the order the host is asked in.
void readOptions(OptionSet &options) {
  using Id = OptionKeyId;
  options.doSetMin = readSwitch<Id::DoSetMin>();
  options.min = readFloat<Id::Min>();
  options.doSetMinP = readSwitch<Id::DoSetMinP>();
  options.minP = readFloat<Id::MinP>();
  options.doSetMax = readSwitch<Id::DoSetMax>();
  options.max = readFloat<Id::Max>();
  options.doClusterSize = readSwitch<Id::DoClusterSize>();
  options.clusterSize = readInt<Id::ClusterSize>();
  options.doUseClusterSize = readSwitch<Id::DoUseClusterSize>();
  options.useCluster = readSwitch<Id::UseCluster>();
  options.doShowPosNegBoth = readSwitch<Id::DoShowPosNegBoth>();
  options.pnb = readInt<Id::PNB>();
  options.doTransparancy = readSwitch<Id::DoTransparancy>();
  options.trans = readFloat<Id::Trans>();
  options.doOverlayMaps = readSwitch<Id::DoOverlayMaps>();
  static_assert(optionKey(Id::Overlay).type == OptionType::Text);
  options.overlay[0] = '\0';
  host::zuGetStringParameter(optionKey(Id::Overlay).name, options.overlay);
  // The host is given no size; whatever it wrote, the text ends in the buffer.
  options.overlay[sizeof options.overlay - 1] = '\0';
}

bool anyOptionSelected(const OptionSet &options) {
  return options.doSetMin || options.doSetMax || options.doClusterSize || options.doUseClusterSize ||
         options.doShowPosNegBoth || options.doTransparancy || options.doOverlayMaps;
}

void echoOptions(const OptionSet &options) {
  if (options.doSetMin) {
    if (options.doSetMinP) {
      char shown[64];
      showP(options.minP, shown);
      logLine("Kelvane>  Set Min P to %s", shown);
    } else {
      logLine("Kelvane>  Set Min to %3.2f", static_cast<double>(options.min));
    }
  }
  if (options.doSetMax)
    logLine("Kelvane>  Set Max to %3.2f", static_cast<double>(options.max));
  if (options.doClusterSize)
    logLine("Kelvane>  Set Cluster Size to %i", options.clusterSize);
  if (options.doUseClusterSize)
    logLine("Kelvane>  DO%s use the cluster size threshold", options.useCluster ? "" : " NOT");
  if (options.doShowPosNegBoth) {
    const char *shown = options.pnb == 0 ? "Positive" : options.pnb == 1 ? "Negative" : "Both (pos and neg)";
    logLine("Kelvane>  Show %s", shown);
  }
  // "Transparancy" is the host's text, kept as it stands.
  if (options.doTransparancy)
    logLine("Kelvane>  Transparancy Factor %1.2f", static_cast<double>(options.trans));
  if (options.doOverlayMaps)
    logLine("Kelvane>  Overlay the following maps: %s", options.overlay);
}

} // namespace kelvane
