#include "module_services.h"

#include <cstring>
#include <windows.h>

namespace kelvane::platform {

ModuleHandle findLoadedModule(const char *fileName) {
  // Looks only at modules already loaded and adds no reference.
  return reinterpret_cast<ModuleHandle>(GetModuleHandleA(fileName));
}

HostProc findExport(ModuleHandle module, const char *name) {
  if (module == nullptr)
    return nullptr;
  const FARPROC proc = GetProcAddress(static_cast<HMODULE>(module), name);
  HostProc result = nullptr;
  static_assert(sizeof result == sizeof proc);
  std::memcpy(&result, &proc, sizeof result);
  return result;
}

} // namespace kelvane::platform
