// POSIX: every file through a descriptor, every name of a save taken in its
// folder's descriptor, and signal handlers of async-signal-safe calls alone.
#include "platform.h"

#include "host_state.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <vector>

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ondrava::platform {
namespace {

// A crash, one the program's own code (or the plugin's) caused, is named.
const std::pair<int, const char *> kCrashes[] = {
    {SIGSEGV, "SIGSEGV"}, {SIGBUS, "SIGBUS"}, {SIGILL, "SIGILL"},  {SIGFPE, "SIGFPE"},
    {SIGABRT, "SIGABRT"}, {SIGSYS, "SIGSYS"}, {SIGTRAP, "SIGTRAP"}};
// The signals whose default action does not end the program, or that no
// handler can catch; every other the system defines ends it.
const int kNotEnding[] = {SIGCHLD, SIGCONT, SIGURG, SIGWINCH, SIGSTOP, SIGTSTP, SIGTTIN, SIGTTOU, SIGKILL};

int result(int returned) { return returned >= 0 ? 0 : errno; }
int fd(const Handle &handle) { return static_cast<int>(handle.get()); }

FileInfo infoOf(const struct stat &status) {
  FileInfo out;
  const auto type = status.st_mode & S_IFMT;
  out.kind = type == S_IFREG ? FileKind::Regular : type == S_IFDIR ? FileKind::Folder : FileKind::Other;
  out.id = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
  out.size = static_cast<std::uint64_t>(status.st_size);
  out.owner = status.st_uid;
  out.group = status.st_gid;
  out.mode = status.st_mode & 07777;
  out.usersOwn = status.st_uid == geteuid() || geteuid() == 0;
  out.sticky = (status.st_mode & S_ISVTX) != 0;
  return out;
}

// Writes to standard error; with it closed there is no one left to tell.
void say(std::initializer_list<const char *> parts) {
  for (const char *part : parts)
    if (write(STDERR_FILENO, part, std::strlen(part)) < 0)
      return;
}

extern "C" void onSignal(int number) {
  const char *tail = "";
  const char *plugin = process().ending(&tail);
  for (const auto &[signal, name] : kCrashes)
    if (signal == number)
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
  for (int number = 1; number < NSIG; ++number) {
    struct sigaction before {};
    // A signal the program was started to ignore stays ignored; numbers the
    // system keeps for itself refuse a handler.
    if (std::find(std::begin(kNotEnding), std::end(kNotEnding), number) == std::end(kNotEnding) &&
        sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
      sigaction(number, &action, nullptr);
  }
}

// The loader maps a module's segments from the file and touches them: a
// segment past the end of a file cut short would end the process with a
// signal. Empty when every segment the headers name lies within the file.
std::string cutShort(int file) {
  struct stat status {};
  Elf64_Ehdr header{};
  if (fstat(file, &status) != 0 || pread(file, &header, sizeof header, 0) != sizeof header ||
      std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
    return {}; // not a module at all: the loader refuses it by itself
  const auto size = static_cast<std::uint64_t>(status.st_size);
  std::vector<Elf64_Phdr> segments(header.e_phnum);
  const std::size_t bytes = segments.size() * sizeof(Elf64_Phdr);
  bool within = header.e_phoff <= size && bytes <= size - header.e_phoff &&
                pread(file, segments.data(), bytes, static_cast<off_t>(header.e_phoff)) == ssize_t(bytes);
  for (const Elf64_Phdr &segment : segments)
    within = within && segment.p_offset <= size && segment.p_filesz <= size - segment.p_offset;
  return within ? "" : "the file is cut short: a segment its headers name lies past its end";
}

} // namespace

void Handle::reset(std::intptr_t value) {
  if (value_ != -1)
    ::close(static_cast<int>(value_));
  value_ = value;
}

int System::openToRead(const std::string &path, Handle &file, FileInfo &out) {
  file.reset(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  return file.valid() ? info(file, out) : errno;
}

int System::info(const Handle &file, FileInfo &out) {
  struct stat status {};
  const int error = result(fstat(fd(file), &status));
  out = error == 0 ? infoOf(status) : FileInfo{};
  return error;
}

FileInfo System::infoOfPath(const std::string &path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? infoOf(status) : FileInfo{};
}

FileInfo System::infoOfStream(int stream) {
  struct stat status {};
  return fstat(stream, &status) == 0 ? infoOf(status) : FileInfo{};
}

int System::read(const Handle &file, char *buffer, std::size_t size, std::size_t &got) {
  ssize_t done;
  while ((done = ::read(fd(file), buffer, size)) < 0 && errno == EINTR) {
  }
  got = done > 0 ? static_cast<std::size_t>(done) : 0;
  return result(static_cast<int>(done));
}

int System::openFolder(const std::string &path, Folder &out) {
  out.path = path;
  out.handle.reset(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return out.handle.valid() ? 0 : errno;
}

FileInfo System::infoIn(const Folder &folder, const char *name) {
  struct stat status {};
  FileInfo out =
      fstatat(fd(folder.handle), name, &status, AT_SYMLINK_NOFOLLOW) == 0 ? infoOf(status) : FileInfo{};
  out.writable = faccessat(fd(folder.handle), name, W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0;
  return out;
}

int System::create(const Folder &folder, const char *name, Handle &file) {
  file.reset(openat(fd(folder.handle), name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  return file.valid() ? 0 : errno;
}

// The old owner and group where the user may give them (the group alone
// where the owner cannot be given: a new file is its maker's), and the old
// mode. Where either goes to the user's instead, the mode lets in no one the
// old one shut out: no group bits for another group, and other bits that
// grant no more than the old owner's or group's bits did. A new file's mode
// is 0666 less the umask.
int System::writeOut(Handle &file, const std::string &text, const FileInfo *old) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t wrote = ::write(fd(file), text.data() + done, text.size() - done);
    if (wrote < 0 && errno != EINTR)
      return errno;
    done += wrote > 0 ? static_cast<std::size_t>(wrote) : 0;
  }
  const mode_t mask = umask(0);
  umask(mask);
  mode_t mode = 0666 & ~mask;
  if (old != nullptr) {
    const bool both = fchown(fd(file), old->owner, old->group) == 0;
    const bool group = both || fchown(fd(file), static_cast<uid_t>(-1), old->group) == 0;
    mode = old->mode & 0777;
    mode_t others = mode & 07;
    if (!both && old->owner != geteuid())
      others &= mode >> 6;
    if (!group)
      others &= mode >> 3;
    mode = (mode & (group ? 0770 : 0700)) | others;
  }
  int failure = fchmod(fd(file), mode) == 0 && fsync(fd(file)) == 0 ? 0 : errno;
  if (::close(static_cast<int>(file.release())) != 0 && failure == 0)
    failure = errno;
  return failure;
}

int System::rename(const Folder &folder, const char *from, const char *to) {
  return result(renameat(fd(folder.handle), from, fd(folder.handle), to));
}

// A file system that cannot flush a folder says so with EINVAL; there is
// nothing more to do on it.
int System::flushNames(const Folder &folder) {
  return fsync(fd(folder.handle)) == 0 || errno == EINVAL ? 0 : errno;
}

void System::remove(const Folder &folder, const char *name) { unlinkat(fd(folder.handle), name, 0); }

// Loaded through the descriptor that was checked, so that no other file can
// take its place in between.
void *System::loadModule(const Handle &file, const std::string &, std::string &error) {
  const std::string name = "/proc/self/fd/" + std::to_string(fd(file));
  void *module = nullptr;
  error = cutShort(fd(file));
  if (error.empty() && (module = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) == nullptr)
    error = dlerror();
  // The loader's message names the descriptor; the caller names the file.
  if (error.rfind(name + ": ", 0) == 0)
    error.erase(0, name.size() + 2);
  return module;
}

void System::unloadModule(void *module) { dlclose(module); }

std::string System::programPath() {
  std::error_code code;
  return std::filesystem::read_symlink("/proc/self/exe", code).string();
}

void prepareProcess(const char *(*onEnding)(const char **tail)) {
  process().ending = onEnding;
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
