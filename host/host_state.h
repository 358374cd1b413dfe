// The stand-in host's workspace: one current document, its maps as 112-byte
// records, the parameter store, the log pane and message boxes, and a trace
// of every host call the plugin made, in order.
#pragma once

#include "host_api.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Visible outside the program or module that holds them: the host's exports
// and its state, which tests reach in a host module.
#if defined(_WIN32)
#define ONDRAVA_API __declspec(dllexport)
#else
#define ONDRAVA_API __attribute__((visibility("default")))
#endif

namespace ondrava {

constexpr std::size_t kRecordSize = kelvane::kMapRecordSize;
using MapRecord = std::array<unsigned char, kRecordSize>;

// What the dialog stored, by key; transparent comparison, so that looking
// a key up allocates nothing.
struct ParameterStore {
  std::map<std::string, std::int32_t, std::less<>> ints;
  std::map<std::string, float, std::less<>> floats;
  std::map<std::string, std::string, std::less<>> strings;
};

struct HostState : ParameterStore {
  std::int32_t version[3] = {3, 0, 0};
  std::int32_t currentDocument = 0; // negative: none
  std::int32_t documentType = kelvane::kVmrDocumentType;
  std::vector<MapRecord> maps;
  // What the host writes as the map count, when not maps.size().
  std::optional<std::int32_t> reportedMapCount;
  // zuGetNRVMPsOfCurrentVMR's result, when not "any maps loaded".
  std::optional<bool> mapsLoadedResult;

  // Fill all 512 bytes of a string parameter, with no terminator.
  bool stringFillsWholeBuffer = false;

  std::vector<std::string> log;
  std::vector<std::string> messages;
  int logTabShown = 0;
  int redraws = 0;
  // "name(arg, arg)" for every host function the plugin called.
  std::vector<std::string> calls;
  // Quiet: no call is traced and no log line kept, so that the host itself
  // allocates nothing while the plugin runs.
  bool quiet = false;
  // A call, log line or message the host could not keep for want of memory.
  bool outOfMemory = false;
};

ONDRAVA_API HostState &state();
ONDRAVA_API void resetState();

} // namespace ondrava
