// Signal handlers of async-signal-safe calls alone.
#include "process.h"

#include "host_state.h"
#include "report.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondrava {
namespace {

// A crash, one the program's own code (or the plugin's) caused, is named.
const std::pair<int, const char *> kCrashes[] = {
    {SIGSEGV, "SIGSEGV"}, {SIGBUS, "SIGBUS"}, {SIGILL, "SIGILL"},  {SIGFPE, "SIGFPE"},
    {SIGABRT, "SIGABRT"}, {SIGSYS, "SIGSYS"}, {SIGTRAP, "SIGTRAP"}};
// The signals whose default action does not end the program, or that no
// handler can catch; every other the system defines ends it.
const int kNotEnding[] = {SIGCHLD, SIGCONT, SIGURG, SIGWINCH, SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU, SIGKILL};

// Writes to standard error; with it closed there is no one left to tell.
void say(std::initializer_list<const char *> parts) {
  for (const char *part : parts)
    if (write(STDERR_FILENO, part, std::strlen(part)) < 0)
      return;
}

// What every end the program did not choose does first: removes the file on
// the list. Returns what the line that names the plugin then says of the
// save: the plugin runs only while a save's new file is on the list.
const char *removeListedFile() {
  const FileToRemove *file = process().removeOnSignal.exchange(nullptr);
  if (file != nullptr)
    file->remove();
  return file != nullptr ? "; nothing was saved" : "";
}

const char *loadedPlugin() { return process().pluginLoaded ? process().plugin : nullptr; }

extern "C" void onSignal(int number) {
  const char *tail = removeListedFile();
  const char *plugin = loadedPlugin();
  for (const auto &[signal, name] : kCrashes)
    if (signal == number)
      say({"Ondrava.exe: ", plugin != nullptr ? "the plugin " : "ended by ", plugin != nullptr ? plugin : "",
           plugin != nullptr ? " crashed: " : "", name, plugin != nullptr ? tail : "", "\n"});
  // The handler was reset as it was called: once it returns, the signal
  // raised again takes its default action.
  raise(number);
}

extern "C" void onExit() {
  const char *tail = removeListedFile();
  if (const char *plugin = loadedPlugin()) {
    std::fprintf(stderr, "Ondrava.exe: the plugin %s ended the program while it ran%s\n", plugin, tail);
    std::_Exit(2);
  }
}

// Memory ran short: a part of the reserve is given back. The first time,
// the allocation is tried again rather than failed, for it may be a
// destructor's (a JSON document's), which must not throw; the program
// answers "out of memory" at its next check (memoryRanShort). The next time
// it fails, with the second part left for what follows, unless an exception
// is already under way, whose clean-up is then given it.
void onOutOfMemory() {
  std::unique_ptr<char[]> *reserve = process().reserve;
  const bool first = reserve[0] != nullptr;
  reserve[first ? 0 : 1].reset();
  if (!first)
    std::set_new_handler(nullptr);
  if (!first && std::uncaught_exceptions() == 0)
    throw std::bad_alloc();
}

} // namespace

void prepareProcess() {
  // Made before the exit hook is registered, so that it is gone only after.
  process();
  std::atexit(onExit);
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  // A standard stream the program was started without takes a file that
  // refuses writes, so that writing to it fails as on a closed stream.
  int fd;
  while ((fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0 && fd <= 2) {
  }
  if (fd > 2)
    close(fd);
  // A crash for want of stack is answered on a stack of its own.
  static char alternate[1 << 16];
  stack_t stack{};
  stack.ss_sp = alternate;
  stack.ss_size = sizeof alternate;
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_handler = onSignal;
  action.sa_flags = SA_RESETHAND | SA_ONSTACK;
  sigfillset(&action.sa_mask);
  for (int number = 1; number < NSIG; ++number) {
    struct sigaction before {};
    // A signal the program was started to ignore stays ignored; numbers the
    // system keeps for itself refuse a handler.
    if (std::find(std::begin(kNotEnding), std::end(kNotEnding), number) == std::end(kNotEnding) &&
        sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
      sigaction(number, &action, nullptr);
  }
}

bool FileToRemove::namesFileMade(const char *inFolder) const {
  struct stat status {};
  return number != 0 && fstatat(folder, inFolder, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
         status.st_dev == device && status.st_ino == number;
}

void FileToRemove::remove() const {
  if (namesFileMade(name))
    unlinkat(folder, name, 0);
}

bool reserveMemory() {
  for (std::unique_ptr<char[]> &part : process().reserve)
    part.reset(new (std::nothrow) char[8 << 20]);
  const bool reserved = process().reserve[0] != nullptr && process().reserve[1] != nullptr;
  std::set_new_handler(reserved ? onOutOfMemory : nullptr);
  return reserved;
}

bool memoryRanShort() { return process().reserve[0] == nullptr; }

void setLoadedPlugin(const char *path) {
  process().pluginLoaded = false;
  if (path != nullptr)
    std::snprintf(process().plugin, sizeof process().plugin, "%s", escapeText(path).c_str());
  process().pluginLoaded = path != nullptr;
}

} // namespace ondrava
