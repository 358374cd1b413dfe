#include "file_io.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace ondrava {
namespace {

namespace fs = std::filesystem;

InputError fileError(const std::string &path, const std::string &message) {
  InputError error;
  error.file = path;
  error.message = message;
  return error;
}

std::string reason(int number) { return std::strerror(number); }

#if defined(_WIN32)
int openNew(const std::string &path) {
  return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int writeSome(int fd, const char *data, std::size_t size) {
  return _write(fd, data, static_cast<unsigned>(size > 0x40000000 ? 0x40000000 : size));
}
int flushToDisk(int fd) { return _commit(fd); }
int closeFile(int fd) { return _close(fd); }
int processId() { return _getpid(); }
#else
int openNew(const std::string &path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
long writeSome(int fd, const char *data, std::size_t size) { return write(fd, data, size); }
int flushToDisk(int fd) { return fsync(fd); }
int closeFile(int fd) { return close(fd); }
int processId() { return getpid(); }
#endif

} // namespace

bool readFile(const std::string &path, std::string &text, InputError &error) {
  std::error_code code;
  const fs::file_status status = fs::status(path, code);
  if (code || !fs::exists(status)) {
    error = fileError(path, "cannot open the file" + (code ? " (" + code.message() + ")" : std::string()));
    return false;
  }
  if (fs::is_directory(status)) {
    error = fileError(path, "is a folder, not a file");
    return false;
  }
  if (!fs::is_regular_file(status)) {
    error = fileError(path, "is not a regular file (a device, pipe or socket); give a file");
    return false;
  }
  const std::uintmax_t size = fs::file_size(path, code);
  const std::string limit = "the limit is " + std::to_string(kMaxInputFileBytes >> 20) + " MiB";
  if (!code && size > kMaxInputFileBytes) {
    error = fileError(path, "is " + std::to_string(size) + " bytes, too large; " + limit);
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = fileError(path, "cannot open the file");
    return false;
  }
  // The file may have grown since it was measured: read one byte past the
  // limit at most.
  std::string content;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    content.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (content.size() > kMaxInputFileBytes) {
      error = fileError(path, "is too large; " + limit);
      return false;
    }
  }
  if (in.bad()) {
    error = fileError(path, "cannot read the file");
    return false;
  }
  text = std::move(content);
  return true;
}

bool writeFileAtomically(const std::string &path, const std::string &text, InputError &error) {
  fs::path target(path);
  std::error_code code;
  // Through a link the file it names is replaced, and the link stays.
  if (fs::is_symlink(target, code)) {
    target = fs::weakly_canonical(target, code);
    if (code) {
      error = fileError(path, "cannot write the file: the link it names cannot be followed (" +
                                  code.message() + ")");
      return false;
    }
  }
  const fs::file_status status = fs::status(target, code);
  if (fs::is_directory(status)) {
    error = fileError(path, "cannot write the file: it is a folder");
    return false;
  }
  // A device or pipe would be replaced by a file, not written.
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    error = fileError(path, "cannot write the file: it is not a regular file (a device, pipe or socket)");
    return false;
  }
  // A name of its own in the same folder, so that the rename stays on one
  // file system and cannot meet another writer's file.
  static std::atomic<unsigned> counter{0};
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = (folder / ("." + target.filename().string() + ".saving-" + std::to_string(processId()) + "-" +
                           std::to_string(counter++)))
                    .string();
    fd = openNew(temporary);
    if (fd < 0 && errno != EEXIST)
      break;
  }
  if (fd < 0) {
    error =
        fileError(path, "cannot write the file: cannot create a file in its folder (" + reason(errno) + ")");
    return false;
  }
#if !defined(_WIN32)
  // The saved file keeps the permissions of the one it replaces.
  struct stat old;
  if (stat(target.c_str(), &old) == 0)
    (void)fchmod(fd, old.st_mode & 07777);
#endif
  std::size_t written = 0;
  int failure = 0;
  while (written < text.size()) {
    const auto n = writeSome(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      failure = n < 0 ? errno : ENOSPC;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  if (failure == 0 && flushToDisk(fd) != 0)
    failure = errno;
  if (closeFile(fd) != 0 && failure == 0)
    failure = errno;
  if (failure == 0) {
    fs::rename(temporary, target, code);
    if (code) {
      const std::string why = code.message();
      fs::remove(temporary, code);
      error = fileError(path, "cannot write the file (" + why + "); it was left as it was");
      return false;
    }
    return true;
  }
  fs::remove(temporary, code);
  error = fileError(path, "cannot write the file (" + reason(failure) + "); it was left as it was");
  return false;
}

void reportOversizedWrites() {
#if defined(SIGXFSZ)
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace ondrava
