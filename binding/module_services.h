// The two platform services that binding needs. Neither loads anything.
#pragma once

#include "host_table.h"

namespace kelvane::platform {

using ModuleHandle = void *;

// The module of that exact file name (no directories) if this process has
// already loaded it, the main executable included; null otherwise. No
// reference is kept, so the handle is valid only while the owner keeps the
// module loaded, which for the host's own module is the process's lifetime.
ModuleHandle findLoadedModule(const char *fileName);

// The address of the export of that exact name in that module alone, or null.
HostProc findExport(ModuleHandle module, const char *name);

} // namespace kelvane::platform
