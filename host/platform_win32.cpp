// Windows: no descriptor for a folder, so a save's names are joined to its
// folder's path; no owners or modes to give; no number to tell two files
// apart; no signals to answer.
#include "platform.h"

#include "host_state.h"

#include <cerrno>
#include <filesystem>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace ondrava::platform {
namespace {

namespace fs = std::filesystem;

int fd(const Handle &handle) { return static_cast<int>(handle.get()); }
// A file system error as an errno value, where it has one.
int errnoOf(const std::error_code &code) {
  return !code ? 0
         : code.default_error_condition().category() == std::generic_category()
             ? code.default_error_condition().value()
             : EIO;
}

// The file system library takes a path of any length, where Windows' stat
// takes none beyond MAX_PATH.
FileInfo infoOf(const fs::file_status &status) {
  FileInfo out;
  out.kind = fs::is_regular_file(status) ? FileKind::Regular
             : fs::is_directory(status)  ? FileKind::Folder
             : fs::exists(status)        ? FileKind::Other
                                         : FileKind::Missing;
  out.usersOwn = true;
  out.writable = (status.permissions() & fs::perms::owner_write) != fs::perms::none;
  return out;
}

} // namespace

void Handle::reset(std::intptr_t value) {
  if (value_ != -1)
    _close(static_cast<int>(value_));
  value_ = value;
}

int System::openToRead(const std::string &path, Handle &file, FileInfo &out) {
  std::error_code code;
  if (fs::is_directory(path, code)) // which Windows does not open
    return EISDIR;
  file.reset(_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT));
  return file.valid() ? info(file, out) : errno;
}

int System::info(const Handle &file, FileInfo &out) {
  struct _stat64 status {};
  if (_fstat64(fd(file), &status) != 0)
    return errno;
  out = {};
  out.kind = (status.st_mode & _S_IFMT) == _S_IFREG ? FileKind::Regular : FileKind::Other;
  out.size = static_cast<std::uint64_t>(status.st_size);
  return 0;
}

FileInfo System::infoOfPath(const std::string &path) {
  std::error_code code;
  return infoOf(fs::status(path, code));
}

// No number tells two files apart.
FileInfo System::infoOfStream(int) { return {}; }

int System::read(const Handle &file, char *buffer, std::size_t size, std::size_t &got) {
  const int done = _read(fd(file), buffer, static_cast<unsigned>(size));
  got = done > 0 ? static_cast<std::size_t>(done) : 0;
  return done < 0 ? errno : 0;
}

int System::openFolder(const std::string &path, Folder &out) {
  std::error_code code;
  out.path = path;
  return fs::is_directory(path, code) ? 0 : fs::exists(path, code) ? ENOTDIR : ENOENT;
}

FileInfo System::infoIn(const Folder &folder, const char *name) {
  std::error_code code;
  return infoOf(fs::symlink_status(fs::path(folder.path) / name, code));
}

int System::create(const Folder &folder, const char *name, Handle &file) {
  const std::string path = (fs::path(folder.path) / name).string();
  file.reset(
      _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE));
  return file.valid() ? 0 : errno;
}

// No owners or modes to give.
int System::writeOut(Handle &file, const std::string &text, const FileInfo *) {
  for (std::size_t done = 0; done < text.size();) {
    const int wrote = _write(fd(file), text.data() + done, static_cast<unsigned>(text.size() - done));
    if (wrote < 0)
      return errno;
    done += static_cast<std::size_t>(wrote);
  }
  int failure = _commit(fd(file)) == 0 ? 0 : errno;
  if (_close(static_cast<int>(file.release())) != 0 && failure == 0)
    failure = errno;
  return failure;
}

int System::rename(const Folder &folder, const char *from, const char *to) {
  std::error_code code;
  fs::rename(fs::path(folder.path) / from, fs::path(folder.path) / to, code);
  return errnoOf(code);
}

int System::flushNames(const Folder &) { return 0; }

void System::remove(const Folder &folder, const char *name) {
  std::error_code code;
  fs::remove(fs::path(folder.path) / name, code);
}

void *System::loadModule(const Handle &, const std::string &path, std::string &error) {
  void *module = reinterpret_cast<void *>(LoadLibraryA(path.c_str()));
  error = module == nullptr ? "cannot load it (error " + std::to_string(GetLastError()) + ")" : "";
  return module;
}

void System::unloadModule(void *module) { FreeLibrary(static_cast<HMODULE>(module)); }

std::string System::programPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
  return path;
}

void prepareProcess(const char *(*onEnding)(const char **tail)) { process().ending = onEnding; }

void withSignalsHeld(const std::function<void()> &step) { step(); }

} // namespace ondrava::platform
