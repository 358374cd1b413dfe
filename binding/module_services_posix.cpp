// The host module is whatever object this process has already loaded under
// the file name asked for, the main executable included. It is never loaded
// here, and names are resolved in that object alone: a definition that a
// lookup finds in one of its dependencies does not count.
#include "module_services.h"

#include <cstring>
#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <unistd.h>

#if defined(__linux__)
#include <sys/auxv.h>
#endif

namespace kelvane::platform {
namespace {

const char *baseName(const char *path) {
  const char *slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

bool mainExecutableIs(const char *fileName) {
#if defined(__linux__)
  // The name it was started under (a link may carry the host's name) ...
  const auto *execName = reinterpret_cast<const char *>(getauxval(AT_EXECFN));
  if (execName != nullptr && std::strcmp(baseName(execName), fileName) == 0)
    return true;
  // ... or the file itself.
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0)
    return false;
  path[length] = '\0';
  return std::strcmp(baseName(path), fileName) == 0;
#else
  (void)fileName;
  return false;
#endif
}

struct Search {
  const char *fileName;
  bool isMain;
  char path[PATH_MAX];
  int index;
};

int visit(dl_phdr_info *info, std::size_t, void *data) {
  auto *search = static_cast<Search *>(data);
  const int index = search->index++;
  if (index == 0) {
    // The first object is the main executable, listed without a name.
    if (mainExecutableIs(search->fileName)) {
      search->isMain = true;
      return 1;
    }
    return 0;
  }
  const char *name = info->dlpi_name;
  if (name == nullptr || name[0] == '\0')
    return 0;
  if (std::strcmp(baseName(name), search->fileName) != 0)
    return 0;
  if (std::strlen(name) >= sizeof search->path)
    return 0;
  std::strcpy(search->path, name);
  return 1;
}

} // namespace

ModuleHandle findLoadedModule(const char *fileName) {
  Search search{fileName, false, {}, 0};
  // dlopen is not called from inside the iteration, which holds the loader's
  // lock.
  dl_iterate_phdr(visit, &search);
  if (!search.isMain && search.path[0] == '\0')
    return nullptr;
  void *handle = dlopen(search.isMain ? nullptr : search.path, RTLD_LAZY | RTLD_NOLOAD);
  if (handle != nullptr) {
    // Give back the reference dlopen took: the handle stays valid for as long
    // as whoever loaded the module keeps it (the main executable, always).
    dlclose(handle);
  }
  return handle;
}

HostProc findExport(ModuleHandle module, const char *name) {
  if (module == nullptr)
    return nullptr;
  void *address = dlsym(module, name);
  if (address == nullptr)
    return nullptr;
#if defined(__GLIBC__)
  // dlsym searches the object and then its dependencies.
  link_map *own = nullptr;
  link_map *found = nullptr;
  Dl_info info;
  if (dlinfo(module, RTLD_DI_LINKMAP, &own) != 0 ||
      dladdr1(address, &info, reinterpret_cast<void **>(&found), RTLD_DL_LINKMAP) == 0 || own != found)
    return nullptr;
#endif
  HostProc result = nullptr;
  static_assert(sizeof result == sizeof address);
  std::memcpy(&result, &address, sizeof result);
  return result;
}

} // namespace kelvane::platform
