#include "file_io.h"

#include "process_end.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

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

#if defined(_WIN32)
constexpr int kReading = O_RDONLY | O_BINARY;
int fsync(int fd) { return _commit(fd); }
#else
// No open and no read waits; a terminal opened never becomes the program's.
constexpr int kReading = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
#endif

std::string limitText() { return std::to_string(kMaxInputFileBytes >> 20) + " MiB"; }

} // namespace

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
    failIn(path,
           "cannot open the file (" + std::string(std::strerror(file.fd < 0 ? openError : errno)) + ")");
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
      failIn(path, "cannot read the file (" + std::string(std::strerror(errno)) + ")");
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

StagedFile::StagedFile(const std::string &path, const std::string &text) : path_(path), target_(path) {
  std::error_code code;
  // A link is followed even when the file it names does not exist yet.
  for (int links = 0; fs::is_symlink(target_, code); ++links) {
    const fs::path next = fs::read_symlink(target_, code);
    if (code || links == 40)
      failIn(path, "cannot write the file: the link it names cannot be followed");
    // An absolute target replaces the folder.
    target_ = target_.parent_path() / next;
  }
  const fs::file_status status = fs::status(target_, code);
  if (fs::is_directory(status))
    failIn(path, "cannot write the file: it is a folder");
  // A device or pipe would be replaced by a file, not written.
  if (fs::exists(status) && !fs::is_regular_file(status))
    failIn(path, "cannot write the file: it is not a regular file (a device, pipe or socket)");
  // A short name of its own in the same folder, so that the rename stays on
  // one file system and any name the folder takes can be saved.
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0 && (attempt == 0 || errno == EEXIST); ++attempt) {
    temporary_ = target_.parent_path() / (".Ondrava-saving-" + std::to_string(std::random_device{}()));
    // The owner's alone until it is complete.
    fd = createRemovedOnSignal(temporary_.string());
  }
  if (fd < 0)
    failIn(path, "cannot write the file: cannot create a file in its folder (" +
                     std::string(std::strerror(errno)) + ")");
  std::FILE *file = fdopen(fd, "wb");
  if (file == nullptr)
    fail(std::strerror(errno));
  int failure = writeAll(file, text);
  if (failure == 0 && fsync(fileno(file)) != 0)
    failure = errno;
  if (std::fclose(file) != 0 && failure == 0)
    failure = errno;
  if (failure != 0)
    fail(std::strerror(failure));
  const auto mask = umask(0);
  umask(mask);
  fs::permissions(temporary_, fs::exists(status) ? status.permissions() : fs::perms(0666 & ~mask), code);
}

StagedFile::~StagedFile() {
  std::error_code code;
  fs::remove(temporary_, code); // nothing, once committed
  forgetOnSignal();
}

void StagedFile::fail(const std::string &why) {
  std::error_code code;
  fs::remove(temporary_, code);
  forgetOnSignal();
  failIn(path_, "cannot write the file (" + why + "); it was left as it was");
}

void StagedFile::commit() {
  std::error_code code;
  fs::rename(temporary_, target_, code);
  if (code)
    fail(code.message());
  forgetOnSignal();
  temporary_.clear();
}

} // namespace ondrava
