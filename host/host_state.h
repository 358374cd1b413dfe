// The stand-in host's workspace: one current document, its maps as 112-byte
// records, the parameter store, the log pane and message boxes, and a trace
// of every host call the plugin made, in order.
#pragma once

#include "host_api.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

struct HostState {
  ParameterStore parameters;
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

struct FileToRemove;

// Everything the process holds once, in one place: each piece is reached
// from where no context can be handed to it.
struct Process {
  // The host's exports are plain C functions.
  HostState host;
  // The list of what a signal, or an exit the plugin calls, must remove
  // first (process.h), of one file; and the plugin it puts the end down to,
  // escaped, once it is loaded.
  std::atomic<const FileToRemove *> removeOnSignal{nullptr};
  char plugin[4096] = {};
  std::atomic<bool> pluginLoaded{false};
  // Memory for what follows a failed allocation, given back in two parts by
  // the allocator's new-handler (process.cpp).
  std::unique_ptr<char[]> reserve[2];
};

// Visible outside the program or module that holds it, for tests to reach in
// a host module.
ONDRAVA_API Process &process();
inline HostState &state() { return process().host; }
inline void resetState() { process().host = HostState(); }

} // namespace ondrava
