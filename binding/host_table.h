// The process-wide table of host function addresses, in the host's fixed
// order. Written only by bindHostEntryPoints(), on the host's thread; never
// cleared, so an entry keeps its address until a later binding replaces it.
#pragma once

#include "host_api.h"
#include "host_entry_names.h"

#include <cstddef>

namespace kelvane {

// A bare host function address; cast to its hostfn type before calling.
using HostProc = void (*)();

// The positions of the entries the plugin calls, each found by its name.
enum class HostEntry : std::size_t {
#define KELVANE_HOST_ENTRY(Name, Result, Parameters, fallback) Name = hostEntryPosition("zu" #Name),
  KELVANE_CALLED_HOST_FUNCTIONS(KELVANE_HOST_ENTRY)
#undef KELVANE_HOST_ENTRY
};

#define KELVANE_HOST_ENTRY_FOUND(Name, Result, Parameters, fallback)                                         \
  static_assert(static_cast<std::size_t>(HostEntry::Name) < kHostEntryCount,                                 \
                "zu" #Name " is not one of the host's export names");
KELVANE_CALLED_HOST_FUNCTIONS(KELVANE_HOST_ENTRY_FOUND)
#undef KELVANE_HOST_ENTRY_FOUND

// The entries the plugin calls, in table order.
inline constexpr HostEntry kCalledHostEntries[] = {
#define KELVANE_CALLED_ENTRY(Name, Result, Parameters, fallback) HostEntry::Name,
    KELVANE_CALLED_HOST_FUNCTIONS(KELVANE_CALLED_ENTRY)
#undef KELVANE_CALLED_ENTRY
};

namespace detail {
constexpr bool inTableOrder(const HostEntry *entries, std::size_t count) {
  for (std::size_t i = 1; i < count; ++i) {
    if (entries[i - 1] >= entries[i])
      return false;
  }
  return true;
}
static_assert(inTableOrder(kCalledHostEntries, sizeof kCalledHostEntries / sizeof *kCalledHostEntries),
              "the called host functions are listed in table order, each once");

// The table itself: read through hostEntry(), written only by binding.
extern HostProc hostTable[kHostEntryCount];
} // namespace detail

inline HostProc hostEntry(std::size_t position) {
  return position < kHostEntryCount ? detail::hostTable[position] : nullptr;
}
inline HostProc hostEntry(HostEntry entry) { return detail::hostTable[static_cast<std::size_t>(entry)]; }
inline const char *hostEntryName(HostEntry entry) { return kHostEntryNames[static_cast<std::size_t>(entry)]; }

// Finds the already loaded host module and fills the table. False, with the
// table untouched, when the module is not loaded; false, with the version
// entry (position 0) null and the rest as they were, when it lacks its version
// function. Missing other names leave null entries and still give true.
bool bindHostEntryPoints();

} // namespace kelvane
