// The host functions the plugin calls, exported by name as plain functions.
// Build variants leave some out (ONDRAVA_OMIT_<name>, or ONDRAVA_ONLY_VERSION
// for a host that has nothing but its version function).
#include "host_state.h"

#include "host_api.h"
#include "map_record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#if defined(_WIN32)
#define ONDRAVA_EXPORT extern "C" __declspec(dllexport)
#else
#define ONDRAVA_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace ondrava {

HostState &state() {
  static HostState instance;
  return instance;
}

void resetState() { state() = HostState(); }

} // namespace ondrava

namespace {

using ondrava::state;

// Takes a callable so that a quiet host never builds the text.
template <typename Describe> void record(Describe describe) {
  if (!state().quiet)
    state().calls.push_back(describe());
}

[[maybe_unused]] std::string_view textArg(const char *text) { return text != nullptr ? text : "<null>"; }

std::string call(const char *name, std::string_view argument = {}) {
  std::string text(name);
  text += '(';
  text += argument;
  text += ')';
  return text;
}

// The record of a map index the host does not have stays as the plugin
// handed it; a real host would not be asked for one.
[[maybe_unused]] ondrava::MapRecord *mapAt(std::int32_t index) {
  auto &maps = state().maps;
  if (index < 0 || static_cast<std::size_t>(index) >= maps.size())
    return nullptr;
  return &maps[static_cast<std::size_t>(index)];
}

} // namespace

#if !defined(ONDRAVA_OMIT_zuGetVersionOfOndravaZU)
ONDRAVA_EXPORT bool zuGetVersionOfOndravaZU(std::int32_t *major, std::int32_t *minor, std::int32_t *third) {
  record([] { return call("zuGetVersionOfOndravaZU"); });
  *major = state().version[0];
  *minor = state().version[1];
  *third = state().version[2];
  return true;
}
static_assert(std::is_same_v<decltype(&zuGetVersionOfOndravaZU), kelvane::hostfn::GetVersion>);
#endif

#if !defined(ONDRAVA_ONLY_VERSION)
#if !defined(ONDRAVA_OMIT_zuShowLogTab)
ONDRAVA_EXPORT void zuShowLogTab() {
  record([] { return call("zuShowLogTab"); });
  ++state().logTabShown;
}
static_assert(std::is_same_v<decltype(&zuShowLogTab), kelvane::hostfn::ShowLogTab>);
#endif

#if !defined(ONDRAVA_OMIT_zuLogText)
ONDRAVA_EXPORT void zuLogText(const char *line) {
  record([&] { return call("zuLogText", textArg(line)); });
  if (!state().quiet)
    state().log.emplace_back(textArg(line));
}
static_assert(std::is_same_v<decltype(&zuLogText), kelvane::hostfn::LogText>);
#endif

#if !defined(ONDRAVA_OMIT_zuMessageBox)
ONDRAVA_EXPORT void zuMessageBox(const char *text) {
  record([&] { return call("zuMessageBox", textArg(text)); });
  state().messages.emplace_back(textArg(text));
}
static_assert(std::is_same_v<decltype(&zuMessageBox), kelvane::hostfn::MessageBox>);
#endif

#if !defined(ONDRAVA_OMIT_zuGetIDOfCurrentDocument)
ONDRAVA_EXPORT std::int32_t zuGetIDOfCurrentDocument() {
  record([] { return call("zuGetIDOfCurrentDocument"); });
  return state().currentDocument;
}
static_assert(std::is_same_v<decltype(&zuGetIDOfCurrentDocument), kelvane::hostfn::GetIDOfCurrentDocument>);
#endif

#if !defined(ONDRAVA_OMIT_zuGetDocumentType)
ONDRAVA_EXPORT std::int32_t zuGetDocumentType(std::int32_t documentId) {
  record([&] { return call("zuGetDocumentType", std::to_string(documentId)); });
  // The stand-in knows only the current document. For an id it does not
  // know it answers as a host does for an id that names no document: with a
  // negative code, which no document type has (0 may well be one).
  return documentId == state().currentDocument ? state().documentType : -1;
}
static_assert(std::is_same_v<decltype(&zuGetDocumentType), kelvane::hostfn::GetDocumentType>);
#endif

#if !defined(ONDRAVA_OMIT_zuGetNRVMPsOfCurrentVMR)
ONDRAVA_EXPORT void *zuGetNRVMPsOfCurrentVMR(void *mapCountRecord) {
  record([] { return call("zuGetNRVMPsOfCurrentVMR"); });
  const auto &s = state();
  const std::int32_t count = s.reportedMapCount.value_or(static_cast<std::int32_t>(s.maps.size()));
  std::memcpy(mapCountRecord, &count, sizeof count);
  const bool loaded = s.mapsLoadedResult.value_or(!s.maps.empty());
  return loaded ? mapCountRecord : nullptr;
}
static_assert(std::is_same_v<decltype(&zuGetNRVMPsOfCurrentVMR), kelvane::hostfn::GetNRVMPsOfCurrentVMR>);
#endif

#if !defined(ONDRAVA_OMIT_zuGetNRVMPOfCurrentVMR)
ONDRAVA_EXPORT bool zuGetNRVMPOfCurrentVMR(std::int32_t mapIndex, void *rec) {
  record([&] { return call("zuGetNRVMPOfCurrentVMR", std::to_string(mapIndex)); });
  const ondrava::MapRecord *map = mapAt(mapIndex);
  if (map == nullptr)
    return false;
  std::memcpy(rec, map->data(), map->size());
  return true;
}
static_assert(std::is_same_v<decltype(&zuGetNRVMPOfCurrentVMR), kelvane::hostfn::GetNRVMPOfCurrentVMR>);
#endif

#if !defined(ONDRAVA_OMIT_zuSetNRVMPParametersOfCurrentVMR)
ONDRAVA_EXPORT bool zuSetNRVMPParametersOfCurrentVMR(std::int32_t mapIndex, void *rec) {
  const auto overlay = kelvane::record::read<std::int32_t>(static_cast<const unsigned char *>(rec),
                                                           kelvane::record::kOverlayState);
  record([&] {
    return call("zuSetNRVMPParametersOfCurrentVMR",
                std::to_string(mapIndex) + ", overlay=" + std::to_string(overlay));
  });
  ondrava::MapRecord *map = mapAt(mapIndex);
  if (map == nullptr)
    return false;
  std::memcpy(map->data(), rec, map->size());
  return true;
}
static_assert(std::is_same_v<decltype(&zuSetNRVMPParametersOfCurrentVMR),
                             kelvane::hostfn::SetNRVMPParametersOfCurrentVMR>);
#endif

#if !defined(ONDRAVA_OMIT_zuUpdateActiveWindow)
ONDRAVA_EXPORT void zuUpdateActiveWindow() {
  record([] { return call("zuUpdateActiveWindow"); });
  ++state().redraws;
}
static_assert(std::is_same_v<decltype(&zuUpdateActiveWindow), kelvane::hostfn::UpdateActiveWindow>);
#endif

#if !defined(ONDRAVA_OMIT_zuGetIntParameter)
ONDRAVA_EXPORT std::int32_t zuGetIntParameter(const char *key) {
  record([&] { return call("zuGetIntParameter", textArg(key)); });
  const auto found = state().ints.find(textArg(key));
  return found != state().ints.end() ? found->second : 0;
}
static_assert(std::is_same_v<decltype(&zuGetIntParameter), kelvane::hostfn::GetIntParameter>);
#endif

#if !defined(ONDRAVA_OMIT_zuGetFloatParameter)
ONDRAVA_EXPORT float zuGetFloatParameter(const char *key) {
  record([&] { return call("zuGetFloatParameter", textArg(key)); });
  const auto found = state().floats.find(textArg(key));
  return found != state().floats.end() ? found->second : 0.0f;
}
static_assert(std::is_same_v<decltype(&zuGetFloatParameter), kelvane::hostfn::GetFloatParameter>);
#endif

#if !defined(ONDRAVA_OMIT_zuGetStringParameter)
ONDRAVA_EXPORT bool zuGetStringParameter(const char *key, char *buffer) {
  record([&] { return call("zuGetStringParameter", textArg(key)); });
  const auto found = state().strings.find(textArg(key));
  const std::string_view text =
      found != state().strings.end() ? std::string_view(found->second) : std::string_view();
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
static_assert(std::is_same_v<decltype(&zuGetStringParameter), kelvane::hostfn::GetStringParameter>);
#endif

#endif // !ONDRAVA_ONLY_VERSION
