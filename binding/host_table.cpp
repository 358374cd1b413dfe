#include "host_table.h"

#include "module_services.h"

namespace kelvane {

// All null at load; only bindHostEntryPoints() writes it.
HostProc detail::hostTable[kHostEntryCount] = {};

bool bindHostEntryPoints() {
  const platform::ModuleHandle host = platform::findLoadedModule("Ondrava.exe");
  if (host == nullptr)
    return false;
  const auto version = static_cast<std::size_t>(HostEntry::GetVersionOfOndravaZU);
  detail::hostTable[version] = platform::findExport(host, kHostEntryNames[version]);
  if (detail::hostTable[version] == nullptr)
    return false;
  for (std::size_t i = 0; i < kHostEntryCount; ++i) {
    if (i != version)
      detail::hostTable[i] = platform::findExport(host, kHostEntryNames[i]);
  }
  return true;
}

} // namespace kelvane
