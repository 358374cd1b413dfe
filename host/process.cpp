#include "process.h"

#include "files.h"
#include "host_state.h"
#include "report.h"

#include <cstdlib>
#include <new>

namespace ondrava {
namespace {

void onOutOfMemory() {
  process().reserve.reset();
  std::set_new_handler(nullptr);
  throw std::bad_alloc();
}

const char *onEnding(const char **tail) {
  if (const TempFile *file = process().removeOnSignal)
    file->discard();
  *tail = process().saveLeftUndone;
  return process().pluginLoaded ? process().plugin : nullptr;
}

extern "C" void onExit() {
  const char *tail = "";
  if (const char *plugin = onEnding(&tail)) {
    std::fprintf(stderr, "Ondrava.exe: the plugin %s ended the program while it ran%s\n", plugin, tail);
    std::_Exit(2);
  }
}

} // namespace

void prepareProcess() {
  // Made before the exit hook is registered, so that it is gone only after.
  process();
  std::atexit(onExit);
  platform::prepareProcess(onEnding);
}

bool reserveMemory() {
  std::unique_ptr<char[]> &reserve = process().reserve;
  if (reserve == nullptr)
    reserve.reset(new (std::nothrow) char[4 << 20]);
  std::set_new_handler(reserve != nullptr ? onOutOfMemory : nullptr);
  return reserve != nullptr;
}

void setLoadedPlugin(const char *path) {
  process().pluginLoaded = false;
  if (path != nullptr)
    std::snprintf(process().plugin, sizeof process().plugin, "%s", escapeText(path).c_str());
  process().pluginLoaded = path != nullptr;
}

} // namespace ondrava
