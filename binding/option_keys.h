// The sixteen keys under which the host's dialog stores a run's choices, in
// the order the plugin reads them, with the type the host stores each as, the
// switch each needs and what each means. The dialog script, the plugin's
// intake, the stand-in host's checking and its --help, and the whole-run
// fuzzer all go by this one table.
//
// The spellings are the host's and the dialog's, fixed by what users' stored
// settings hold: "DoTransparancy" stays as it is.
#pragma once

#include <cstddef>

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

struct OptionKey {
  const char *name;
  OptionType type;
  OptionRole role;
  // The switch that must be on for the key to take effect, itself perhaps
  // needing another; kNoSwitch for the switches that are options of their own.
  OptionKeyId needs;
  // What the key means and the values it takes, in one short line.
  const char *meaning;
};

inline constexpr OptionKey kOptionKeys[kOptionKeyCount] = {
    {"DoSetMin", OptionType::Int, OptionRole::Switch, kNoSwitch, "set the lower threshold of every map"},
    {"Min", OptionType::Float, OptionRole::Value, OptionKeyId::DoSetMin,
     "the lower threshold, unless DoSetMinP is on"},
    // Qualifies DoSetMin rather than being an option of its own.
    {"DoSetMinP", OptionType::Int, OptionRole::Switch, OptionKeyId::DoSetMin,
     "give the lower threshold as a p (t maps)"},
    {"MinP", OptionType::Float, OptionRole::Value, OptionKeyId::DoSetMinP, "two-tailed p for t maps, 0 to 1"},
    {"DoSetMax", OptionType::Int, OptionRole::Switch, kNoSwitch, "set the upper threshold"},
    {"Max", OptionType::Float, OptionRole::Value, OptionKeyId::DoSetMax, "the upper threshold"},
    {"DoClusterSize", OptionType::Int, OptionRole::Switch, kNoSwitch, "set the cluster-size threshold"},
    {"ClusterSize", OptionType::Int, OptionRole::Value, OptionKeyId::DoClusterSize,
     "the smallest cluster shown, in voxels"},
    {"DoUseClusterSize", OptionType::Int, OptionRole::Switch, kNoSwitch,
     "set whether the cluster-size threshold is applied"},
    // Held as a switch: what is written for it is 1 or 0, not the integer read.
    {"UseCluster", OptionType::Int, OptionRole::Switch, OptionKeyId::DoUseClusterSize,
     "1 apply the cluster-size threshold, 0 do not"},
    {"DoShowPosNegBoth", OptionType::Int, OptionRole::Switch, kNoSwitch,
     "set which sign of the values is shown"},
    {"PNB", OptionType::Int, OptionRole::Value, OptionKeyId::DoShowPosNegBoth,
     "0 positive, 1 negative, any other value both"},
    {"DoTransparancy", OptionType::Int, OptionRole::Switch, kNoSwitch, "set the transparency"},
    {"Trans", OptionType::Float, OptionRole::Value, OptionKeyId::DoTransparancy,
     "transparency factor, 0 to 1"},
    {"DoOverlayMaps", OptionType::Int, OptionRole::Switch, kNoSwitch,
     "set which maps are overlaid; the others are taken out"},
    {"Overlay", OptionType::Text, OptionRole::Value, OptionKeyId::DoOverlayMaps,
     "maps to overlay, numbered from 1: 1,3-5 or All"},
};

// A key's type as a user gives it: "switch 0/1", "integer", "float" or "text"
// (32-bit numbers all).
constexpr const char *typeName(const OptionKey &key) {
  if (key.type == OptionType::Int)
    return key.role == OptionRole::Switch ? "switch 0/1" : "integer";
  return key.type == OptionType::Float ? "float" : "text";
}

constexpr const OptionKey &optionKey(OptionKeyId id) { return kOptionKeys[static_cast<std::size_t>(id)]; }

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
