// The process-wide table of host function addresses, in the host's fixed
// order. Written only by bindHostEntryPoints(), on the host's thread; never
// cleared, so an entry keeps its address until a later binding replaces it.
#pragma once

#include <cstddef>

namespace kelvane {

// A bare host function address; cast to its hostfn type before calling.
using HostProc = void (*)();

constexpr std::size_t kHostEntryCount = 184;

// 0-based positions of the entries the plugin calls.
enum class HostEntry : std::size_t {
  GetVersionOfOndravaZU = 0,
  ShowLogTab = 4,
  LogText = 5,
  MessageBox = 6,
  UpdateActiveWindow = 31,
  GetDocumentType = 35,
  GetIDOfCurrentDocument = 37,
  GetNRVMPsOfCurrentVMR = 78,
  GetNRVMPOfCurrentVMR = 79,
  SetNRVMPParametersOfCurrentVMR = 80,
  GetStringParameter = 171,
  GetIntParameter = 172,
  GetFloatParameter = 173,
};

// The export name at each 0-based position.
extern const char *const kHostEntryNames[kHostEntryCount];

// The entries the plugin calls, in table order.
constexpr HostEntry kCalledHostEntries[] = {
    HostEntry::GetVersionOfOndravaZU,
    HostEntry::ShowLogTab,
    HostEntry::LogText,
    HostEntry::MessageBox,
    HostEntry::UpdateActiveWindow,
    HostEntry::GetDocumentType,
    HostEntry::GetIDOfCurrentDocument,
    HostEntry::GetNRVMPsOfCurrentVMR,
    HostEntry::GetNRVMPOfCurrentVMR,
    HostEntry::SetNRVMPParametersOfCurrentVMR,
    HostEntry::GetStringParameter,
    HostEntry::GetIntParameter,
    HostEntry::GetFloatParameter,
};

namespace detail {
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
