// The host functions the plugin calls, exported by name as plain functions.
// Build variants leave some out (ONDRAVA_OMIT_<name> for the version, message
// box and redraw functions, or ONDRAVA_ONLY_VERSION for a host that has
// nothing but its version function).
#include "host_state.h"

#include "host_api.h"
#include "map_record.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using ondrava::state;

// An argument as the host keeps it and the trace shows it.
[[maybe_unused]] std::string_view argument(const char *text) { return text != nullptr ? text : "<null>"; }
[[maybe_unused]] std::string argument(std::int32_t number) { return std::to_string(number); }

// A host function lets no exception into the plugin that called it: what it
// cannot keep for want of memory is marked, and the program reports that.
template <typename Keep> void keep(Keep keepIt) {
  try {
    keepIt();
  } catch (...) {
    state().outOfMemory = true;
  }
}

// "name(arguments)" in the trace; a quiet host builds no text.
template <typename... Parts> void trace(const char *name, const Parts &...parts) {
  if (state().quiet)
    return;
  keep([&] {
    std::string text = std::string(name) + "(";
    ((text += argument(parts)), ...);
    state().calls.push_back(text + ")");
  });
}

// The record of a map index the host does not have stays as the plugin
// handed it; a real host would not be asked for one.
[[maybe_unused]] ondrava::MapRecord *mapAt(std::int32_t index) {
  auto &maps = state().maps;
  const auto at = static_cast<std::size_t>(index);
  return index >= 0 && at < maps.size() ? &maps[at] : nullptr;
}

} // namespace

// Each export is declared with the type the plugin calls it through, from
// the plugin's own list: a C function has no overloads, so a definition of
// any other type fails to compile.
#define ONDRAVA_DECLARE_EXPORT(Name, Result, Parameters, fallback)                                           \
  extern "C" ONDRAVA_API Result zu##Name Parameters;
KELVANE_CALLED_HOST_FUNCTIONS(ONDRAVA_DECLARE_EXPORT)
#undef ONDRAVA_DECLARE_EXPORT

#if !defined(ONDRAVA_OMIT_zuGetVersionOfOndravaZU)
extern "C" bool zuGetVersionOfOndravaZU(std::int32_t *major, std::int32_t *minor, std::int32_t *third) {
  trace("zuGetVersionOfOndravaZU");
  *major = state().version[0];
  *minor = state().version[1];
  *third = state().version[2];
  return true;
}
#endif

#if !defined(ONDRAVA_ONLY_VERSION)
extern "C" void zuShowLogTab() {
  trace("zuShowLogTab");
  ++state().logTabShown;
}

extern "C" void zuLogText(const char *line) {
  trace("zuLogText", line);
  if (!state().quiet)
    keep([line] { state().log.emplace_back(argument(line)); });
}

#if !defined(ONDRAVA_OMIT_zuMessageBox)
extern "C" void zuMessageBox(const char *text) {
  trace("zuMessageBox", text);
  keep([text] { state().messages.emplace_back(argument(text)); });
}
#endif

extern "C" std::int32_t zuGetIDOfCurrentDocument() {
  trace("zuGetIDOfCurrentDocument");
  return state().currentDocument;
}

extern "C" std::int32_t zuGetDocumentType(std::int32_t documentId) {
  trace("zuGetDocumentType", documentId);
  // The stand-in knows only the current document. For an id it does not
  // know it answers as a host does for an id that names no document: with a
  // negative code, which no document type has (0 may well be one).
  return documentId == state().currentDocument ? state().documentType : -1;
}

extern "C" void *zuGetNRVMPsOfCurrentVMR(void *mapCountRecord) {
  trace("zuGetNRVMPsOfCurrentVMR");
  const auto &s = state();
  const std::int32_t count = s.reportedMapCount.value_or(static_cast<std::int32_t>(s.maps.size()));
  std::memcpy(mapCountRecord, &count, sizeof count);
  return s.mapsLoadedResult.value_or(!s.maps.empty()) ? mapCountRecord : nullptr;
}

extern "C" bool zuGetNRVMPOfCurrentVMR(std::int32_t mapIndex, void *rec) {
  trace("zuGetNRVMPOfCurrentVMR", mapIndex);
  const ondrava::MapRecord *map = mapAt(mapIndex);
  if (map != nullptr)
    std::memcpy(rec, map->data(), map->size());
  return map != nullptr;
}

extern "C" bool zuSetNRVMPParametersOfCurrentVMR(std::int32_t mapIndex, void *rec) {
  const auto overlay = kelvane::record::read<std::int32_t>(static_cast<const unsigned char *>(rec),
                                                           kelvane::record::kOverlayState);
  trace("zuSetNRVMPParametersOfCurrentVMR", mapIndex, ", overlay=", overlay);
  ondrava::MapRecord *map = mapAt(mapIndex);
  if (map != nullptr)
    std::memcpy(map->data(), rec, map->size());
  return map != nullptr;
}

#if !defined(ONDRAVA_OMIT_zuUpdateActiveWindow)
extern "C" void zuUpdateActiveWindow() {
  trace("zuUpdateActiveWindow");
  ++state().redraws;
}
#endif

extern "C" std::int32_t zuGetIntParameter(const char *key) {
  trace("zuGetIntParameter", key);
  const auto found = state().parameters.ints.find(argument(key));
  return found != state().parameters.ints.end() ? found->second : 0;
}

extern "C" float zuGetFloatParameter(const char *key) {
  trace("zuGetFloatParameter", key);
  const auto found = state().parameters.floats.find(argument(key));
  return found != state().parameters.floats.end() ? found->second : 0.0f;
}

extern "C" bool zuGetStringParameter(const char *key, char *buffer) {
  trace("zuGetStringParameter", key);
  const auto found = state().parameters.strings.find(argument(key));
  const std::string_view text =
      found != state().parameters.strings.end() ? std::string_view(found->second) : std::string_view();
  constexpr std::size_t size = kelvane::kStringParameterSize;
  if (state().stringFillsWholeBuffer) {
    // A careless host: the text repeated over every byte, no terminator.
    for (std::size_t i = 0; i < size; ++i)
      buffer[i] = text.empty() ? 'x' : text[i % text.size()];
    return true;
  }
  const std::size_t length = std::min(text.size(), size - 1);
  text.copy(buffer, length);
  buffer[length] = '\0';
  return true;
}

#endif // !ONDRAVA_ONLY_VERSION
