#include "process.h"

#include "platform.h"
#include "report.h"
#include "save.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

namespace ondrava {
namespace {

// The plugin as shown to the user, filled in before the flag that arms it.
char plugin[4096];
volatile std::sig_atomic_t pluginIsLoaded = 0;

std::unique_ptr<char[]> reserve;

void onOutOfMemory() {
  reserve.reset();
  std::set_new_handler(nullptr);
  throw std::bad_alloc();
}

extern "C" void onExit() {
  if (pluginIsLoaded == 0)
    return;
  std::fprintf(stderr, "Ondrava.exe: the plugin %s ended the program while it ran; nothing was saved\n",
               plugin);
  std::_Exit(2);
}

const char *onEnding() {
  StagedFile::abandon();
  return pluginIsLoaded != 0 ? plugin : nullptr;
}

} // namespace

void prepareProcess() {
  std::atexit(onExit);
  platform::prepareProcess(onEnding);
}

bool reserveMemory() {
  if (reserve == nullptr)
    reserve.reset(new (std::nothrow) char[4 << 20]);
  std::set_new_handler(reserve != nullptr ? onOutOfMemory : nullptr);
  return reserve != nullptr;
}

void pluginLoaded(const char *path) {
  pluginIsLoaded = 0;
  if (path != nullptr)
    std::snprintf(plugin, sizeof plugin, "%s", escapeText(path).c_str());
  pluginIsLoaded = path != nullptr;
}

} // namespace ondrava
