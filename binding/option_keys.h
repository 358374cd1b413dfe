// The sixteen keys under which the host's dialog stores a run's choices, in
// the order the plugin reads them, with the type the host stores each as.
// The dialog script, the plugin's intake and the stand-in host's checking all
// go by this one table.
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

struct OptionKey {
  const char *name;
  OptionType type;
  OptionRole role;
};

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

inline constexpr OptionKey kOptionKeys[kOptionKeyCount] = {
    {"DoSetMin", OptionType::Int, OptionRole::Switch},
    {"Min", OptionType::Float, OptionRole::Value},
    {"DoSetMinP", OptionType::Int, OptionRole::Switch},
    {"MinP", OptionType::Float, OptionRole::Value},
    {"DoSetMax", OptionType::Int, OptionRole::Switch},
    {"Max", OptionType::Float, OptionRole::Value},
    {"DoClusterSize", OptionType::Int, OptionRole::Switch},
    {"ClusterSize", OptionType::Int, OptionRole::Value},
    {"DoUseClusterSize", OptionType::Int, OptionRole::Switch},
    // Held as a switch: what is written for it is 1 or 0, not the integer read.
    {"UseCluster", OptionType::Int, OptionRole::Switch},
    {"DoShowPosNegBoth", OptionType::Int, OptionRole::Switch},
    {"PNB", OptionType::Int, OptionRole::Value},
    {"DoTransparancy", OptionType::Int, OptionRole::Switch},
    {"Trans", OptionType::Float, OptionRole::Value},
    {"DoOverlayMaps", OptionType::Int, OptionRole::Switch},
    {"Overlay", OptionType::Text, OptionRole::Value},
};

constexpr const OptionKey &optionKey(OptionKeyId id) { return kOptionKeys[static_cast<std::size_t>(id)]; }

static_assert(static_cast<std::size_t>(OptionKeyId::Overlay) + 1 == kOptionKeyCount);

} // namespace kelvane
