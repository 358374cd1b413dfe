// The host's plain exported functions that the plugin calls, as the plugin
// calls them. The stand-in host declares its exports from these same types.
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

namespace hostfn {
// Fills major, minor and third component. Result unused.
using GetVersion = bool (*)(std::int32_t *major, std::int32_t *minor, std::int32_t *third);
using ShowLogTab = void (*)();
using LogText = void (*)(const char *line);
using MessageBox = void (*)(const char *text);
// Negative when there is no current document; 0 is a valid id.
using GetIDOfCurrentDocument = std::int32_t (*)();
// kVmrDocumentType is an anatomical volume (VMR).
using GetDocumentType = std::int32_t (*)(std::int32_t documentId);
// Writes the count into record[0..3]; non-null when maps are loaded.
using GetNRVMPsOfCurrentVMR = void *(*)(void *mapCountRecord);
// Fills / applies the 112-byte record of the 0-based map index. Result unused.
using GetNRVMPOfCurrentVMR = bool (*)(std::int32_t mapIndex, void *record);
using SetNRVMPParametersOfCurrentVMR = bool (*)(std::int32_t mapIndex, void *record);
using UpdateActiveWindow = void (*)();
using GetIntParameter = std::int32_t (*)(const char *key);
using GetFloatParameter = float (*)(const char *key);
// Copies the text under key into a kStringParameterSize buffer. Result unused.
using GetStringParameter = bool (*)(const char *key, char *buffer);
} // namespace hostfn

} // namespace kelvane
