#include "file_io.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <random>
#include <system_error>

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

namespace ondrava {
namespace {

namespace fs = std::filesystem;

#if defined(_WIN32)
int openNew(const fs::path &path) {
  return _open(path.string().c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
std::FILE *openStream(int fd) { return _fdopen(fd, "wb"); }
int flushToDisk(std::FILE *file) { return _commit(_fileno(file)); }
#else
int openNew(const fs::path &path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
std::FILE *openStream(int fd) { return fdopen(fd, "wb"); }
int flushToDisk(std::FILE *file) { return fsync(fileno(file)); }
#endif

} // namespace

void checkInputFile(const std::string &path) {
  std::error_code code;
  const fs::file_status status = fs::status(path, code);
  if (code || !fs::exists(status))
    failIn(path, "cannot open the file" + (code ? " (" + code.message() + ")" : std::string()));
  if (fs::is_directory(status))
    failIn(path, "is a folder, not a file");
  if (!fs::is_regular_file(status))
    failIn(path, "is not a regular file (a device, pipe or socket); give a file");
  const std::uintmax_t size = fs::file_size(path, code);
  if (!code && size > kMaxInputFileBytes)
    failIn(path, "is " + std::to_string(size) + " bytes, too large; the limit is " +
                     std::to_string(kMaxInputFileBytes >> 20) + " MiB");
}

std::string readFile(const std::string &path) {
  checkInputFile(path);
  std::ifstream in(path, std::ios::binary);
  if (!in)
    failIn(path, "cannot open the file");
  // The file may have grown since it was checked: read one block past the limit at most.
  std::string content;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    content.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (content.size() > kMaxInputFileBytes)
      failIn(path, "is too large; the limit is " + std::to_string(kMaxInputFileBytes >> 20) + " MiB");
  }
  if (in.bad())
    failIn(path, "cannot read the file");
  return content;
}

int writeAll(std::FILE *stream, const std::string &text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0 &&
      !std::ferror(stream))
    return 0;
  return errno != 0 ? errno : EIO;
}

StagedFile::StagedFile(const std::string &path, const std::string &text) : path_(path), target_(path) {
  std::error_code code;
  // A link is followed even when the file it names does not exist yet.
  for (int links = 0; fs::is_symlink(target_, code); ++links) {
    const fs::path next = fs::read_symlink(target_, code);
    if (code || links == 40)
      failIn(path, "cannot write the file: the link it names cannot be followed");
    target_ = next.is_absolute() ? next : target_.parent_path() / next;
  }
  const fs::file_status status = fs::status(target_, code);
  if (fs::is_directory(status))
    failIn(path, "cannot write the file: it is a folder");
  // A device or pipe would be replaced by a file, not written.
  if (fs::exists(status) && !fs::is_regular_file(status))
    failIn(path, "cannot write the file: it is not a regular file (a device, pipe or socket)");
  // A short name of its own in the same folder, so that the rename stays on
  // one file system and any name the folder takes can be saved.
  const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0 && (attempt == 0 || errno == EEXIST); ++attempt)
    fd = openNew(temporary_ = folder / (".Ondrava-saving-" + std::to_string(std::random_device{}())));
  if (fd < 0)
    failIn(path, "cannot write the file: cannot create a file in its folder (" +
                     std::string(std::strerror(errno)) + ")");
  std::FILE *file = openStream(fd);
  if (file == nullptr)
    fail(std::strerror(errno));
  int failure = writeAll(file, text);
  if (failure == 0 && flushToDisk(file) != 0)
    failure = errno;
  if (std::fclose(file) != 0 && failure == 0)
    failure = errno;
  if (failure != 0)
    fail(std::strerror(failure));
  // The saved file keeps the permissions of the one it replaces.
  if (fs::exists(status))
    fs::permissions(temporary_, status.permissions(), code);
}

StagedFile::~StagedFile() {
  std::error_code code;
  if (!temporary_.empty())
    fs::remove(temporary_, code);
}

void StagedFile::fail(const std::string &why) {
  std::error_code code;
  fs::remove(temporary_, code);
  failIn(path_, "cannot write the file (" + why + "); it was left as it was");
}

void StagedFile::commit() {
  std::error_code code;
  fs::rename(temporary_, target_, code);
  if (code)
    fail(code.message());
  temporary_.clear();
}

void prepareOutput() {
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
#endif
}

} // namespace ondrava
