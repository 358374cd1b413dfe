#include "file_io.h"

#include "checked_json.h"
#include "report.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <random>

namespace ondrava {
namespace {

namespace fs = std::filesystem;

// What a failed save that leaves the old file says last.
const char *const kept = "; it was left as it was";

// The one save under way, while its new file exists. Process-wide, because a
// signal that ends the program must reach it to remove that file; so there
// is never more than one.
std::atomic<StagedFile *> underWay{nullptr};

// One file, not two that stand under the same name at different times. (On
// Windows, whose stat gives no inode and no device a descriptor's fstat
// agrees with, any two files are.)
bool sameFile(const struct stat &a, const struct stat &b) {
  return a.st_ino == b.st_ino && (a.st_ino == 0 || a.st_dev == b.st_dev);
}

std::string limitText() { return std::to_string(kMaxInputFileBytes >> 20) + " MiB"; }
std::string reason(int error) { return std::strerror(error); }

// The file may have grown since it was opened: one block past the limit at
// most.
std::string readAll(std::FILE *file, const std::string &path) {
  std::string content;
  char buffer[65536];
  while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, file)) {
    content.append(buffer, got);
    if (content.size() > kMaxInputFileBytes)
      failOn(path, "is too large; the limit is " + limitText());
  }
  if (std::ferror(file))
    failOn(path, "cannot read the file (" + reason(errno) + ")");
  return content;
}

// The plugin as shown to the user, filled in before the flag that arms it.
char plugin[4096];
volatile std::sig_atomic_t pluginIsLoaded = 0;
// What a plugin that ends the program leaves unsaved: a save only where one
// was asked for (its target checked).
const char *unsaved = "";

std::unique_ptr<char[]> reserve;

void onOutOfMemory() {
  reserve.reset();
  std::set_new_handler(nullptr);
  throw std::bad_alloc();
}

extern "C" void onExit() {
  if (pluginIsLoaded == 0)
    return;
  std::fprintf(stderr, "Ondrava.exe: the plugin %s ended the program while it ran%s\n", plugin, unsaved);
  std::_Exit(2);
}

const char *onEnding(const char **tail) {
  if (StagedFile *save = underWay)
    save->abandon();
  *tail = unsaved;
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

std::string readFile(const std::string &path, const OpenedFile &opened) {
  // Closed however this ends.
  const std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(platform::openToRead(path), std::fclose);
  const int openError = errno;
  struct stat status {};
  const bool isOpen = file != nullptr && fstat(fileno(file.get()), &status) == 0;
  const auto type = status.st_mode & S_IFMT;
  std::error_code code;
  // Not every system opens a folder.
  if (type == S_IFDIR || (!isOpen && std::filesystem::is_directory(path, code)))
    failOn(path, "is a folder, not a file");
  if (!isOpen)
    failOn(path, "cannot open the file (" + reason(file == nullptr ? openError : errno) + ")");
  if (type != S_IFREG)
    failOn(path, "is not a regular file (a device, pipe or socket); give a file");
  if (static_cast<std::uintmax_t>(status.st_size) > kMaxInputFileBytes)
    failOn(path, "is " + std::to_string(status.st_size) + " bytes, too large; the limit is " + limitText());
  std::string content = readAll(file.get(), path);
  if (opened)
    opened(content, file.get());
  return content;
}

int writeAll(std::FILE *stream, const std::string &text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0 &&
      !std::ferror(stream))
    return 0;
  return errno != 0 ? errno : EIO;
}

namespace {

// The program's own output, however it is named (/dev/stdout, say), that
// is this file: 1 or 2, else 0. Where the system gives no inode, it cannot
// be told.
int streamOf(const struct stat &file) {
  struct stat stream {};
  for (const int fd : {1, 2})
    if (fstat(fd, &stream) == 0 && stream.st_ino != 0 && sameFile(file, stream))
      return fd;
  return 0;
}

} // namespace

int ownStream(const std::string &path) {
  struct stat given {};
  return platform::findPath(path, given) ? streamOf(given) : 0;
}

void checkSaveTarget(const std::string &path) {
  StagedFile{path};
  unsaved = "; nothing was saved";
}

StagedFile::StagedFile(const std::string &path) : path_(path) {
  fs::path target(path);
  std::error_code code;
  // A link is followed even when the file it names does not exist yet.
  for (int links = 0; fs::is_symlink(target, code); ++links) {
    const fs::path next = fs::read_symlink(target, code);
    if (code || links == 40)
      fail(": the link it names cannot be followed");
    // An absolute target replaces the folder.
    target = target.parent_path() / next;
  }
  // Every name below is in that very folder, and no longer than the name.
  if (const int error = folder_.hold(target.parent_path().empty() ? "." : target.parent_path().string()))
    fail(": cannot open its folder (" + reason(error) + ")");
  name_ = target.filename().string();
  struct stat given {};
  const bool givenExists = platform::findPath(path, given);
  exists_ = folder_.find(name_.c_str(), old_);
  if (const int stream = givenExists ? streamOf(given) : 0)
    fail(std::string(": it is the program's own standard ") + (stream == 1 ? "output" : "error"));
  // A folder, device or pipe would be replaced by a file, not written.
  if (givenExists && !S_ISREG(given.st_mode))
    fail(": it is not a regular file (a folder, device, pipe or socket)");
  // What the path names must be what the links led to: a link the kernel
  // made (to a deleted file, say) leads to a name that is no file's.
  if (givenExists != exists_ || (exists_ && !sameFile(given, old_)))
    fail(": the link it names cannot be followed");
}

// The new file has a short name of its own in the same folder, so that the
// rename stays on one file system. Signals are held while it is made, so
// that a handler finds it either not yet made or known. Once the target is
// checked, the object stands: anything that ends this removes the new file.
StagedFile::StagedFile(const std::string &path, const std::string &text) : StagedFile(path) {
  if (underWay != nullptr)
    fail(": another save is under way");
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0 && (attempt == 0 || errno == EEXIST); ++attempt) {
    std::snprintf(newName_, sizeof newName_, ".Ondrava-saving-%u", std::random_device{}());
    platform::withSignalsHeld([&] {
      if ((fd = folder_.makeFile(newName_)) >= 0 && fstat(fd, &made_) == 0)
        underWay = this;
    });
  }
  if (fd < 0)
    fail(": cannot create a file in its folder (" + reason(errno) + ")");
  std::FILE *file = fdopen(fd, "wb");
  int failure = file != nullptr ? writeAll(file, text) : errno;
  if (failure == 0)
    failure = platform::complete(fileno(file), exists_ ? &old_ : nullptr);
  if (file != nullptr && std::fclose(file) != 0 && failure == 0)
    failure = errno;
  if (failure != 0)
    fail(" (" + reason(failure) + ")" + kept);
}

void StagedFile::abandon() {
  struct stat now {};
  if (underWay != this)
    return;
  if (folder_.find(newName_, now) && sameFile(now, made_))
    folder_.erase(newName_);
  underWay = nullptr;
}

void StagedFile::fail(const std::string &why) {
  abandon();
  failOn(path_, "cannot write the file" + why);
}

void StagedFile::commit() {
  struct stat now {};
  // Another may have put a file of its own under the new file's name.
  if (!folder_.find(newName_, now) || !sameFile(now, made_))
    fail(std::string(": the new file was taken away while it was written") + kept);
  if (const int error = folder_.moveOver(newName_, name_.c_str()))
    fail(" (" + reason(error) + ")" + kept);
  underWay = nullptr;
  if (!folder_.find(name_.c_str(), now) || !sameFile(now, made_))
    fail(": another file took its place as it was saved (its folder was changed meanwhile); the workspace "
         "was not saved");
  // The rename itself lasts only once the folder is on the disk.
  if (const int error = folder_.flushNames())
    fail(": its folder cannot be flushed to the disk (" + reason(error) + "), so the save may not last");
}

} // namespace ondrava
