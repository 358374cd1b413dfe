#include "process_end.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <tuple>

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace ondrava {
namespace {

// What the handlers read, each filled in before the flag that arms it. (No
// signal removes a file on Windows.)
char plugin[4096];
[[maybe_unused]] char temporary[4096];
volatile std::sig_atomic_t pluginIsLoaded = 0;
[[maybe_unused]] volatile std::sig_atomic_t saving = 0;

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

#if !defined(_WIN32)
// The signals that end the program; a crash is one its own code (or the
// plugin's) caused.
const std::tuple<int, const char *, bool> kSignals[] = {
    {SIGINT, "SIGINT", false},   {SIGTERM, "SIGTERM", false}, {SIGHUP, "SIGHUP", false},
    {SIGQUIT, "SIGQUIT", false}, {SIGALRM, "SIGALRM", false}, {SIGUSR1, "SIGUSR1", false},
    {SIGUSR2, "SIGUSR2", false}, {SIGXCPU, "SIGXCPU", false}, {SIGSEGV, "SIGSEGV", true},
    {SIGBUS, "SIGBUS", true},    {SIGILL, "SIGILL", true},    {SIGFPE, "SIGFPE", true},
    {SIGABRT, "SIGABRT", true},  {SIGSYS, "SIGSYS", true},    {SIGTRAP, "SIGTRAP", true},
};

// Writes to standard error; with it closed there is no one left to tell.
void say(std::initializer_list<const char *> parts) {
  for (const char *part : parts)
    if (write(STDERR_FILENO, part, std::strlen(part)) < 0)
      return;
}

extern "C" void onSignal(int number) {
  if (saving != 0)
    unlink(temporary);
  const bool blamed = pluginIsLoaded != 0;
  for (const auto &[signal, name, crash] : kSignals)
    if (signal == number && crash)
      say({"Ondrava.exe: ", blamed ? "the plugin " : "ended by ", blamed ? plugin : "",
           blamed ? " crashed: " : "", name, blamed ? "; nothing was saved\n" : "\n"});
  // The handler was reset as it was called: once it returns, the signal
  // raised again takes its default action.
  raise(number);
}
#endif

} // namespace

void prepareProcess() {
  std::atexit(onExit);
#if !defined(_WIN32)
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
  for (const auto &[number, name, crash] : kSignals) {
    struct sigaction before {};
    // A signal the program was started to ignore stays ignored.
    if (sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
      sigaction(number, &action, nullptr);
  }
#endif
}

bool reserveMemory() {
  if (reserve == nullptr)
    reserve.reset(new (std::nothrow) char[4 << 20]);
  std::set_new_handler(reserve != nullptr ? onOutOfMemory : nullptr);
  return reserve != nullptr;
}

void pluginLoaded(const char *shownName) {
  pluginIsLoaded = 0;
  if (shownName != nullptr)
    std::snprintf(plugin, sizeof plugin, "%s", shownName);
  pluginIsLoaded = shownName != nullptr;
}

int createRemovedOnSignal(const std::string &path) {
#if defined(_WIN32)
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0600);
#else
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &before);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  const int error = errno;
  // A path that does not fit would name another file; it cannot be opened.
  if (fd >= 0 && path.size() < sizeof temporary) {
    std::memcpy(temporary, path.c_str(), path.size() + 1);
    saving = 1;
  }
  sigprocmask(SIG_SETMASK, &before, nullptr);
  errno = error;
  return fd;
#endif
}

void forgetOnSignal() { saving = 0; }

} // namespace ondrava
