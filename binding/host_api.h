// The host's plain exported functions that the plugin calls, as the plugin
// calls them. This list is the one place each of them is declared: the
// function types, the entries' positions, the guarded calls and the stand-in
// hosts' exports are all made from it.
//
// All of them are called on the host thread that called into the plugin. Text
// arguments are NUL-terminated 8-bit strings owned by the caller; the host
// copies what it keeps.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvane {

// Bytes the plugin hands to zuGetNRVMPsOfCurrentVMR; the host writes the map
// count as a 32-bit signed integer into the first four.
constexpr std::size_t kMapCountRecordSize = 400;
// Bytes the plugin hands to the map record calls.
constexpr std::size_t kMapRecordSize = 112;
// The buffer handed to zuGetStringParameter, terminator included.
constexpr std::size_t kStringParameterSize = 512;
// zuGetDocumentType's code for an anatomical volume (VMR), the one document
// the plugin works on.
constexpr std::int32_t kVmrDocumentType = 3;

} // namespace kelvane

// One row per host function the plugin calls, in the host's table order:
//   X(Name, Result, (Parameters), fallback)
// The host exports it as "zu" Name. The fallback is what a call yields when
// the host left the entry unbound; a void function has none. Results the
// plugin does not use are marked so.
// clang-format off
#define KELVANE_CALLED_HOST_FUNCTIONS(X)                                                                     \
  /* Fills major, minor and third component. Result unused. */                                               \
  X(GetVersionOfOndravaZU, bool, (std::int32_t *major, std::int32_t *minor, std::int32_t *third), false)     \
  X(ShowLogTab, void, (), )                                                                                  \
  X(LogText, void, (const char *line), )                                                                     \
  X(MessageBox, void, (const char *text), )                                                                  \
  X(UpdateActiveWindow, void, (), )                                                                          \
  /* kVmrDocumentType is an anatomical volume (VMR). */                                                      \
  X(GetDocumentType, std::int32_t, (std::int32_t documentId), 0)                                             \
  /* Negative when there is no current document; 0 is a valid id. */                                         \
  X(GetIDOfCurrentDocument, std::int32_t, (), -1)                                                            \
  /* Writes the count into record[0..3]; non-null when maps are loaded. */                                   \
  X(GetNRVMPsOfCurrentVMR, void *, (void *mapCountRecord), nullptr)                                          \
  /* Fill / apply the 112-byte record of the 0-based map index. Result unused. */                            \
  X(GetNRVMPOfCurrentVMR, bool, (std::int32_t mapIndex, void *record), false)                                \
  X(SetNRVMPParametersOfCurrentVMR, bool, (std::int32_t mapIndex, void *record), false)                      \
  /* Copies the text under key into a kStringParameterSize buffer. Result unused. */                         \
  X(GetStringParameter, bool, (const char *key, char *buffer), false)                                        \
  X(GetIntParameter, std::int32_t, (const char *key), 0)                                                     \
  X(GetFloatParameter, float, (const char *key), 0.0f)
// clang-format on

namespace kelvane::hostfn {

#define KELVANE_HOST_FUNCTION_TYPE(Name, Result, Parameters, fallback) using Name = Result(*) Parameters;
KELVANE_CALLED_HOST_FUNCTIONS(KELVANE_HOST_FUNCTION_TYPE)
#undef KELVANE_HOST_FUNCTION_TYPE

} // namespace kelvane::hostfn
