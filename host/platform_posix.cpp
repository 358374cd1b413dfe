// POSIX: every file through a descriptor, every name of a save taken in its
// folder's descriptor, and signal handlers of async-signal-safe calls alone.
#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace ondrava::platform {
namespace {

// The signals that end the program; a crash, one its own code (or the
// plugin's) caused, is named on standard error.
const std::pair<int, const char *> kSignals[] = {
    {SIGINT, nullptr},  {SIGTERM, nullptr}, {SIGHUP, nullptr},    {SIGQUIT, nullptr},   {SIGALRM, nullptr},
    {SIGUSR1, nullptr}, {SIGUSR2, nullptr}, {SIGXCPU, nullptr},   {SIGSEGV, "SIGSEGV"}, {SIGBUS, "SIGBUS"},
    {SIGILL, "SIGILL"}, {SIGFPE, "SIGFPE"}, {SIGABRT, "SIGABRT"}, {SIGSYS, "SIGSYS"},   {SIGTRAP, "SIGTRAP"},
};
const char *(*ending)(const char **tail) = nullptr;

// Writes to standard error; with it closed there is no one left to tell.
void say(std::initializer_list<const char *> parts) {
  for (const char *part : parts)
    if (write(STDERR_FILENO, part, std::strlen(part)) < 0)
      return;
}

extern "C" void onSignal(int number) {
  const char *tail = "";
  const char *plugin = ending(&tail);
  for (const auto &[signal, name] : kSignals)
    if (signal == number && name != nullptr)
      say({"Ondrava.exe: ", plugin != nullptr ? "the plugin " : "ended by ", plugin != nullptr ? plugin : "",
           plugin != nullptr ? " crashed: " : "", name, plugin != nullptr ? tail : "", "\n"});
  // The handler was reset as it was called: once it returns, the signal
  // raised again takes its default action.
  raise(number);
}

// A standard stream the program was started without takes a file that
// refuses writes, so that writing to it fails as on a closed stream.
void fillStandardStreams() {
  int fd;
  while ((fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0 && fd <= 2) {
  }
  if (fd > 2)
    close(fd);
}

// A crash for want of stack is answered on a stack of its own.
void catchSignals() {
  static char alternate[1 << 16];
  stack_t stack{};
  stack.ss_sp = alternate;
  stack.ss_size = sizeof alternate;
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_handler = onSignal;
  action.sa_flags = SA_RESETHAND | SA_ONSTACK;
  sigfillset(&action.sa_mask);
  for (const auto &[number, name] : kSignals) {
    struct sigaction before {};
    // A signal the program was started to ignore stays ignored.
    if (sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
      sigaction(number, &action, nullptr);
  }
}

} // namespace

std::FILE *openToRead(const std::string &path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  std::FILE *file = fd >= 0 ? fdopen(fd, "rb") : nullptr;
  if (fd >= 0 && file == nullptr)
    close(fd); // out of memory
  return file;
}

bool findPath(const std::string &path, struct stat &out) { return stat(path.c_str(), &out) == 0; }

// The old owner and group where the saver may give them (the group alone
// where the owner cannot be given: a new file is its maker's), and the old
// mode. Where either goes to the saver's instead, the mode lets in no one the
// old one shut out: no group bits for another group, and other bits that
// grant no more than the old owner's or group's bits did. A new file's mode
// is 0666 less the umask.
int complete(int fd, const struct stat *old) {
  const mode_t mask = umask(0);
  umask(mask);
  mode_t mode = 0666 & ~mask;
  if (old != nullptr) {
    const bool both = fchown(fd, old->st_uid, old->st_gid) == 0;
    const bool group = both || fchown(fd, static_cast<uid_t>(-1), old->st_gid) == 0;
    mode = old->st_mode & 0777;
    mode_t others = mode & 07;
    if (!both && old->st_uid != geteuid())
      others &= mode >> 6;
    if (!group)
      others &= mode >> 3;
    mode = (mode & (group ? 0770 : 0700)) | others;
  }
  return fchmod(fd, mode) == 0 && fsync(fd) == 0 ? 0 : errno;
}

Folder::~Folder() {
  if (fd_ >= 0)
    close(fd_);
}

int Folder::hold(const std::string &path) {
  fd_ = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd_ < 0 ? errno : 0;
}

bool Folder::find(const char *name, struct stat &out) const {
  return fstatat(fd_, name, &out, AT_SYMLINK_NOFOLLOW) == 0;
}

int Folder::makeFile(const char *name) const {
  return openat(fd_, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

int Folder::moveOver(const char *from, const char *to) const {
  return renameat(fd_, from, fd_, to) == 0 ? 0 : errno;
}

void Folder::erase(const char *name) const { unlinkat(fd_, name, 0); }

// A file system that cannot flush a folder says so with EINVAL; there is
// nothing more to do on it.
int Folder::flushNames() const { return fsync(fd_) == 0 || errno == EINVAL ? 0 : errno; }

void prepareProcess(const char *(*onEnding)(const char **tail)) {
  ending = onEnding;
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  fillStandardStreams();
  catchSignals();
}

void withSignalsHeld(const std::function<void()> &step) {
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &before);
  step();
  const int error = errno;
  sigprocmask(SIG_SETMASK, &before, nullptr);
  errno = error;
}

} // namespace ondrava::platform
