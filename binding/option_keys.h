// The keys under which the host's dialog stores a run's choices, in
// the order the plugin reads them, with the type the host stores each as, the
// switch each needs, what each means, the default the dialog shows and the
// values the dialog stores. The plugin's intake, the stand-in host (its store
// at the start, its checks, warnings and --help) and the whole-run fuzzer use
// this table. The dialog script, Kelvane.js, keeps its own list:
// tests/js/dialog.test.js checks its keys, types, defaults and limits
// against this table.
//
// The spellings are the host's and the dialog's, fixed by what users' stored
// settings hold: "DoTransparancy" stays as it is.
#pragma once

#include "host_api.h"

#include <cstddef>
#include <limits>

namespace kelvane {

// How the host stores a key, and so which parameter getter reads it.
enum class OptionType { Int, Float, Text };

// A switch says whether a property is to be changed (any nonzero value is
// true); a value is the property's new value.
enum class OptionRole { Switch, Value };

// Positions in kOptionKeys, which is in read order.
enum class OptionKeyId : std::size_t {
  DoSetMin,
  Min,
  DoSetMinP,
  MinP,
  DoSetMax,
  Max,
  DoClusterSize,
  ClusterSize,
  DoUseClusterSize,
  UseCluster,
  DoShowPosNegBoth,
  PNB,
  DoTransparancy,
  Trans,
  DoOverlayMaps,
  Overlay,
};

constexpr std::size_t kOptionKeyCount = 16;

// What a key that needs no other switch names as the switch it needs.
constexpr OptionKeyId kNoSwitch = static_cast<OptionKeyId>(kOptionKeyCount);

// The values the dialog stores for a key, from low to high (both ends
// excluded where open; a text's limits count its bytes), and what the plugin
// makes of a value below or above them (null where none can be).
struct DialogLimits {
  double low;
  double high;
  bool open;
  const char *below;
  const char *above;

  // What the plugin makes of a value the dialog never stores; null for a
  // value it stores.
  constexpr const char *outside(double value) const {
    return value < low || (open && value == low)     ? below
           : value > high || (open && value == high) ? above
                                                     : nullptr;
  }
};

constexpr double kUnbounded = std::numeric_limits<double>::infinity();
// The switches (the dialog stores 0 or 1, and the plugin takes any value but
// 0 as on) and the thresholds: any value the store holds.
constexpr DialogLimits kAnyValue{-kUnbounded, kUnbounded, false, nullptr, nullptr};
constexpr const char *kWrittenAsItIs = "the plugin writes it into every map as it is";
constexpr DialogLimits kPValue{0, 1, true,
                               "the plugin sets every t map's lower threshold to 3.4e38: no voxel is shown",
                               "the plugin sets every t map's lower threshold to 0: every voxel is shown"};
constexpr DialogLimits kVoxelCount{0, kUnbounded, false, kWrittenAsItIs, nullptr};
constexpr const char *kSignOutside = "the plugin logs it as both and writes PNB + 1 as every map's sign";
constexpr DialogLimits kSignChoice{0, 2, false, kSignOutside, kSignOutside};
constexpr DialogLimits kFactor{0, 1, false, kWrittenAsItIs, kWrittenAsItIs};
// The dialog cuts a longer text; the host's buffer holds no more.
constexpr DialogLimits kHostText{0, kStringParameterSize - 1, false, nullptr, nullptr};

struct OptionKey {
  const char *name;
  OptionType type;
  OptionRole role;
  // The switch that must be on for the key to take effect, itself perhaps
  // needing another; kNoSwitch for the switches that are options of their own.
  OptionKeyId needs;
  // What the key means and the values the dialog stores, in the dialog's
  // words (tests/js/dialog.test.js holds them to `limits`), in one short line.
  const char *meaning;
  // What the dialog shows before the user changes anything, as --set takes
  // it: what the host's store holds after OK on an unchanged dialog.
  const char *initial;
  DialogLimits limits;
  // A switch that, when on, has the plugin use another key in this one's place.
  OptionKeyId unusedWhenOn = kNoSwitch;
};

inline constexpr OptionKey kOptionKeys[kOptionKeyCount] = {
    {"DoSetMin", OptionType::Int, OptionRole::Switch, kNoSwitch, "set the lower threshold of every map", "0",
     kAnyValue},
    {"Min", OptionType::Float, OptionRole::Value, OptionKeyId::DoSetMin,
     "the lower threshold, unless DoSetMinP is on", "3", kAnyValue, OptionKeyId::DoSetMinP},
    // Qualifies DoSetMin rather than being an option of its own.
    {"DoSetMinP", OptionType::Int, OptionRole::Switch, OptionKeyId::DoSetMin,
     "give the lower threshold as a p (t maps)", "0", kAnyValue},
    {"MinP", OptionType::Float, OptionRole::Value, OptionKeyId::DoSetMinP,
     "two-tailed p for t maps, strictly between 0 and 1", "0.05", kPValue},
    {"DoSetMax", OptionType::Int, OptionRole::Switch, kNoSwitch, "set the upper threshold", "0", kAnyValue},
    {"Max", OptionType::Float, OptionRole::Value, OptionKeyId::DoSetMax, "the upper threshold", "8",
     kAnyValue},
    {"DoClusterSize", OptionType::Int, OptionRole::Switch, kNoSwitch, "set the cluster-size threshold", "0",
     kAnyValue},
    {"ClusterSize", OptionType::Int, OptionRole::Value, OptionKeyId::DoClusterSize,
     "the smallest cluster shown, in voxels, 0 or more", "25", kVoxelCount},
    {"DoUseClusterSize", OptionType::Int, OptionRole::Switch, kNoSwitch,
     "set whether the cluster-size threshold is applied", "0", kAnyValue},
    // Held as a switch: what is written for it is 1 or 0, not the integer read.
    {"UseCluster", OptionType::Int, OptionRole::Switch, OptionKeyId::DoUseClusterSize,
     "1 apply the cluster-size threshold, 0 do not", "1", kAnyValue},
    {"DoShowPosNegBoth", OptionType::Int, OptionRole::Switch, kNoSwitch,
     "set which sign of the values is shown", "0", kAnyValue},
    {"PNB", OptionType::Int, OptionRole::Value, OptionKeyId::DoShowPosNegBoth,
     "the sign shown, 0 to 2: 0 positive, 1 negative, 2 both", "2", kSignChoice},
    {"DoTransparancy", OptionType::Int, OptionRole::Switch, kNoSwitch, "set the transparency", "0",
     kAnyValue},
    {"Trans", OptionType::Float, OptionRole::Value, OptionKeyId::DoTransparancy,
     "transparency factor, 0 to 1", "1", kFactor},
    {"DoOverlayMaps", OptionType::Int, OptionRole::Switch, kNoSwitch,
     "set which maps are overlaid; the others are taken out", "0", kAnyValue},
    {"Overlay", OptionType::Text, OptionRole::Value, OptionKeyId::DoOverlayMaps,
     "maps to overlay, numbered from 1: 1,3-5 or All", "All", kHostText},
};

// A key's type as a user gives it: "switch 0/1", "integer", "float" or "text"
// (32-bit numbers all).
constexpr const char *typeName(const OptionKey &key) {
  if (key.type == OptionType::Int)
    return key.role == OptionRole::Switch ? "switch 0/1" : "integer";
  return key.type == OptionType::Float ? "float" : "text";
}

constexpr const OptionKey &optionKey(OptionKeyId id) { return kOptionKeys[static_cast<std::size_t>(id)]; }

// The key of that name, or null.
constexpr const OptionKey *findOptionKey(const char *name) {
  for (const OptionKey &key : kOptionKeys) {
    std::size_t i = 0;
    while (key.name[i] != '\0' && key.name[i] == name[i])
      ++i;
    if (key.name[i] == name[i])
      return &key;
  }
  return nullptr;
}
static_assert(findOptionKey("MinP") == &optionKey(OptionKeyId::MinP) &&
              findOptionKey("Min") != findOptionKey("MinP") && findOptionKey("Mi") == nullptr);

static_assert(static_cast<std::size_t>(OptionKeyId::Overlay) + 1 == kOptionKeyCount);

// Every value needs a switch; a switch needs nothing or a switch read before
// it, so that following what a key needs always ends.
constexpr bool pairingHolds() {
  for (std::size_t i = 0; i < kOptionKeyCount; ++i) {
    const OptionKey &key = kOptionKeys[i];
    const auto needs = static_cast<std::size_t>(key.needs);
    if (key.needs == kNoSwitch ? key.role != OptionRole::Switch
                               : needs >= i || kOptionKeys[needs].role != OptionRole::Switch)
      return false;
  }
  return true;
}
static_assert(pairingHolds());

} // namespace kelvane
