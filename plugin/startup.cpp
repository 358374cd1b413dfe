#include "startup.h"

#include "host_api.h"
#include "host_calls.h"
#include "host_table.h"

#include <cstdio>

namespace kelvane {
namespace {

// The name of the first entry the plugin calls that the host left unbound, in
// table order, or null when all are bound.
const char *firstMissingEntry() {
  for (const HostEntry entry : kCalledHostEntries) {
    if (hostEntry(entry) == nullptr)
      return hostEntryName(entry);
  }
  return nullptr;
}

} // namespace

bool isVersionAtLeast(std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t b1, std::int32_t b2,
                      std::int32_t b3) {
  if (a1 > b1)
    return true;
  if (a1 < b1)
    return false;
  if (a2 > b2)
    return true;
  if (a2 < b2)
    return false;
  return a3 >= b3;
}

bool startPlugin() {
  if (!bindHostEntryPoints())
    return false;

  // Preset so that a host that fills nothing reads as too old rather than as
  // whatever the stack held.
  std::int32_t major = 0;
  std::int32_t minor = 0;
  std::int32_t third = 0;
  host::zuGetVersionOfOndravaZU(&major, &minor, &third);
  if (!isVersionAtLeast(major, minor, third, 3, 0, 0)) {
    // The host's text, word for word: "version 20" is part of the message only;
    // the check above is for 3.0.0.
    host::zuMessageBox("Can not execute this plugin - Ondrava version 20 or higher required.");
    return false;
  }

  // A host that passes the version test but lacks a function we call would
  // otherwise make every later step silently do nothing.
  if (const char *missing = firstMissingEntry()) {
    char text[256];
    std::snprintf(text, sizeof text, "Can not execute this plugin - the host does not provide %s.", missing);
    host::zuMessageBox(text);
    return false;
  }

  host::zuShowLogTab();
  host::zuLogText(" ");
  host::zuLogText("Kelvane>  Running Kelvane Plugin...");
  host::zuLogText("Kelvane>");

  const std::int32_t document = host::zuGetIDOfCurrentDocument();
  if (document < 0) {
    host::zuMessageBox("No current document available.");
    return false;
  }
  if (host::zuGetDocumentType(document) != kVmrDocumentType) {
    host::zuMessageBox("The currently active document is not a VMR document.");
    return false;
  }
  unsigned char mapCountRecord[kMapCountRecordSize] = {};
  if (host::zuGetNRVMPsOfCurrentVMR(mapCountRecord) == nullptr) {
    host::zuMessageBox("No VMPs are currently loaded.");
    return false;
  }
  return true;
}

} // namespace kelvane
