// Windows: no descriptor for a folder, so a save's names are joined to its
// folder's path; no owners or modes to give; no inode to tell two files apart;
// no signals to answer.
#include "platform.h"

#include <cerrno>
#include <filesystem>

#include <fcntl.h>
#include <io.h>

namespace ondrava::platform {

namespace fs = std::filesystem;

// Windows' stat takes no path longer than MAX_PATH; the file system library
// takes any, but gives no more than the kind of file.
bool findPath(const std::string &path, struct stat &out) {
  std::error_code code;
  const fs::file_status status = fs::status(path, code);
  out = {};
  out.st_mode = fs::is_regular_file(status) ? S_IFREG : fs::is_directory(status) ? S_IFDIR : S_IFCHR;
  return fs::exists(status);
}

std::FILE *openToRead(const std::string &path) { return std::fopen(path.c_str(), "rb"); }

int complete(int fd, const struct stat *) { return _commit(fd) == 0 ? 0 : errno; }

int Folder::hold(const std::string &path) {
  std::error_code code;
  path_ = path + "/";
  return fs::is_directory(path, code) ? 0 : fs::exists(path, code) ? ENOTDIR : ENOENT;
}

Folder::~Folder() = default;

bool Folder::find(const char *name, struct stat &out) const { return findPath(path_ + name, out); }

int Folder::makeFile(const char *name) const {
  return open((path_ + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0600);
}

int Folder::moveOver(const char *from, const char *to) const {
  std::error_code code;
  fs::rename(path_ + from, path_ + to, code);
  return code.value();
}

void Folder::erase(const char *name) const { std::remove((path_ + name).c_str()); }

int Folder::flushNames() const { return 0; }

void prepareProcess(const char *(*)(const char **)) {}

void withSignalsHeld(const std::function<void()> &step) { step(); }

} // namespace ondrava::platform
