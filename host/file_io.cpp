#include "file_io.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <new>
#include <random>
#include <system_error>
#include <tuple>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace ondrava {
namespace {

namespace fs = std::filesystem;

std::string limitText() { return std::to_string(kMaxInputFileBytes >> 20) + " MiB"; }
std::string reason(int error) { return std::strerror(error); }
// What a failed save that leaves the old file says last.
const char *const kept = "; it was left as it was";

// What the handlers read, each filled in before the flag that arms it. (No
// signal removes a file on Windows.)
char plugin[4096];
volatile std::sig_atomic_t pluginIsLoaded = 0;
// The one save under way: the target's folder, open while it lasts, and the
// new file in it, by name and as made, so that no other file is ever
// removed under that name.
int folder = -1;
char temporary[32];
struct stat made {};
volatile std::sig_atomic_t saving = 0;

// One file, not two that stand under the same name at different times. (On
// Windows, whose stat gives no inode and no device a descriptor's fstat
// agrees with, any two files are.)
bool sameFile(const struct stat &a, const struct stat &b) {
  return a.st_ino == b.st_ino && (a.st_ino == 0 || a.st_dev == b.st_dev);
}

#if defined(_WIN32)
constexpr int kReading = O_RDONLY | O_BINARY;
constexpr int kCreating = O_WRONLY | O_CREAT | O_EXCL | O_BINARY;
int fsync(int fd) { return _commit(fd); }
// Windows has neither owners nor modes to give.
int takeOver(int, const struct stat *) { return 0; }
// Windows has no descriptor for a folder: a name in the save's folder is
// joined to its path.
std::string in;
#define AT_SYMLINK_NOFOLLOW 0
int openFolder(const std::string &path) { return in = path + "/", 0; }
void closeFolder() { folder = -1; }
int syncFolder() { return 0; }
int openat(int, const char *name, int flags, int mode) { return open((in + name).c_str(), flags, mode); }
#define AT_FDCWD (-100)
// Windows' stat takes no path longer than MAX_PATH, and gives no inode; the
// file system library takes any.
int fstatat(int at, const char *name, struct stat *out, int) {
  std::error_code code;
  const fs::file_status status = fs::status(at == AT_FDCWD ? fs::path(name) : fs::path(in + name), code);
  *out = {};
  out->st_mode = fs::is_regular_file(status) ? S_IFREG : fs::is_directory(status) ? S_IFDIR : S_IFCHR;
  return fs::exists(status) ? 0 : -1;
}
int unlinkat(int, const char *name, int) { return unlink((in + name).c_str()); }
int renameat(int, const char *from, int, const char *to) {
  std::error_code code;
  fs::rename(in + from, in + to, code);
  errno = code.value();
  return code ? -1 : 0;
}
#else
// No open and no read waits; a terminal opened never becomes the program's.
constexpr int kReading = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
constexpr int kCreating = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
// The new file takes the old one's place in full, through its descriptor:
// the old owner, group and mode where the saver may give them; where the
// group cannot be given, the mode shuts out the group the file has instead.
// A new file's mode is 0666 less the umask. 0, or why it failed (errno).
int takeOver(int fd, const struct stat *old) {
  const mode_t mask = umask(0);
  umask(mask);
  mode_t mode = old != nullptr ? old->st_mode & 0777 : 0666 & ~mask;
  if (old != nullptr && fchown(fd, old->st_uid, old->st_gid) != 0 &&
      fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0)
    mode &= ~mode_t(070);
  return fchmod(fd, mode) == 0 ? 0 : errno;
}
int openFolder(const std::string &path) { return open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }
// Closed, or already none.
void closeFolder() { close(std::exchange(folder, -1)); }
// A file system that cannot flush a folder says so with EINVAL; there is
// nothing more to do on it.
int syncFolder() { return fsync(folder) == 0 || errno == EINVAL ? 0 : -1; }
#endif

// Removes the new file, if its name still names it: never a file someone
// else put there. Async-signal-safe.
void removeTemporary() {
  struct stat now {};
  if (saving != 0 && fstatat(folder, temporary, &now, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(now, made))
    unlinkat(folder, temporary, 0);
  saving = 0;
}

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
  removeTemporary();
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

// Creates the new file in the folder, the owner's alone, with every signal
// held: once made, a signal removes it until `saving` is cleared.
int createRemovedOnSignal() {
#if !defined(_WIN32)
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &before);
#endif
  std::snprintf(temporary, sizeof temporary, ".Ondrava-saving-%u", std::random_device{}());
  const int fd = openat(folder, temporary, kCreating, 0600);
  const int error = errno;
  saving = fd >= 0 && fstat(fd, &made) == 0;
#if !defined(_WIN32)
  sigprocmask(SIG_SETMASK, &before, nullptr);
#endif
  errno = error;
  return fd;
}

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

std::string readFile(const std::string &path, const OpenedFile &opened) {
  // Closed however this ends.
  struct Descriptor {
    int fd;
    ~Descriptor() {
      if (fd >= 0)
        close(fd);
    }
  };
  const Descriptor file{open(path.c_str(), kReading)};
  const int openError = errno;
  struct stat status {};
  const bool isOpen = file.fd >= 0 && fstat(file.fd, &status) == 0;
  const auto type = status.st_mode & S_IFMT;
  std::error_code code;
  // Not every system opens a folder.
  if (type == S_IFDIR || (!isOpen && fs::is_directory(path, code)))
    failIn(path, "is a folder, not a file");
  if (!isOpen)
    failIn(path, "cannot open the file (" + reason(file.fd < 0 ? openError : errno) + ")");
  if (type != S_IFREG)
    failIn(path, "is not a regular file (a device, pipe or socket); give a file");
  if (static_cast<std::uintmax_t>(status.st_size) > kMaxInputFileBytes)
    failIn(path, "is " + std::to_string(status.st_size) + " bytes, too large; the limit is " + limitText());
  // The file may have grown since it was opened: one block past the limit at most.
  std::string content;
  char buffer[65536];
  for (auto got = read(file.fd, buffer, sizeof buffer); got != 0;
       got = read(file.fd, buffer, sizeof buffer)) {
    if (got < 0)
      failIn(path, "cannot read the file (" + reason(errno) + ")");
    content.append(buffer, static_cast<std::size_t>(got));
    if (content.size() > kMaxInputFileBytes)
      failIn(path, "is too large; the limit is " + limitText());
  }
#if defined(_WIN32)
  const std::string name = path;
#else
  const std::string name = "/proc/self/fd/" + std::to_string(file.fd);
#endif
  if (opened)
    opened(content, name);
  return content;
}

int writeAll(std::FILE *stream, const std::string &text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0 &&
      !std::ferror(stream))
    return 0;
  return errno != 0 ? errno : EIO;
}

StagedFile::StagedFile(const std::string &path, const std::string &text) : path_(path) {
  fs::path target(path);
  std::error_code code;
  // A link is followed even when the file it names does not exist yet.
  for (int links = 0; fs::is_symlink(target, code); ++links) {
    const fs::path next = fs::read_symlink(target, code);
    if (code || links == 40)
      failIn(path, "cannot write the file: the link it names cannot be followed");
    // An absolute target replaces the folder.
    target = target.parent_path() / next;
  }
  // The folder is opened once: every name below is in that very folder, and
  // no longer than the name itself.
  if ((folder = openFolder(target.parent_path().empty() ? "." : target.parent_path().string())) < 0)
    fail(": cannot open its folder (" + reason(errno) + ")");
  name_ = target.filename().string();
  struct stat given {};
  struct stat old {};
  const bool givenExists = fstatat(AT_FDCWD, path.c_str(), &given, 0) == 0;
  const bool exists = fstatat(folder, name_.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
#if !defined(_WIN32)
  // The program's own output, however it is named (/dev/stdout, say), is
  // never replaced.
  struct stat output {};
  for (const int stream : {STDOUT_FILENO, STDERR_FILENO})
    if (givenExists && fstat(stream, &output) == 0 && sameFile(given, output))
      fail(std::string(": it is the program's own standard ") +
           (stream == STDOUT_FILENO ? "output" : "error"));
#endif
  // A folder, device or pipe would be replaced by a file, not written.
  if (givenExists && !S_ISREG(given.st_mode))
    fail(": it is not a regular file (a folder, device, pipe or socket)");
  // What the path names must be what the links led to: a link the kernel
  // made (to a deleted file, say) leads to a name that is no file's.
  if (givenExists != exists || (exists && !sameFile(given, old)))
    fail(": the link it names cannot be followed");
  // A short name of its own in the same folder, so that the rename stays on
  // one file system.
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0 && (attempt == 0 || errno == EEXIST); ++attempt)
    fd = createRemovedOnSignal();
  if (fd < 0)
    fail(": cannot create a file in its folder (" + reason(errno) + ")");
  std::FILE *file = fdopen(fd, "wb");
  int failure = file != nullptr ? writeAll(file, text) : errno;
  if (failure == 0)
    failure = takeOver(fileno(file), exists ? &old : nullptr);
  if (failure == 0 && fsync(fileno(file)) != 0)
    failure = errno;
  if (file != nullptr && std::fclose(file) != 0 && failure == 0)
    failure = errno;
  if (failure != 0)
    fail(" (" + reason(failure) + ")" + kept);
}

StagedFile::~StagedFile() {
  removeTemporary(); // nothing, once committed
  closeFolder();
}

void StagedFile::fail(const std::string &why) {
  removeTemporary();
  closeFolder();
  failIn(path_, "cannot write the file" + why);
}

void StagedFile::commit() {
  struct stat now {};
  // Another may have put a file of its own under the new file's name.
  if (fstatat(folder, temporary, &now, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(now, made))
    fail(std::string(": the new file was taken away while it was written") + kept);
  if (renameat(folder, temporary, folder, name_.c_str()) != 0)
    fail(" (" + reason(errno) + ")" + kept);
  saving = 0;
  if (fstatat(folder, name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(now, made))
    fail(": another file took its place as it was saved (its folder was changed meanwhile); the workspace "
         "was not saved");
  // The rename itself lasts only once the folder is on the disk.
  if (syncFolder() != 0)
    fail(": its folder cannot be flushed to the disk (" + reason(errno) + "), so the save may not last");
}

} // namespace ondrava
