#include "file_io.h"

#include "checked_json.h"
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace ondrava {
namespace {

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
      failIn(path, "is too large; the limit is " + limitText());
  }
  if (std::ferror(file))
    failIn(path, "cannot read the file (" + reason(errno) + ")");
  return content;
}

} // namespace

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
    failIn(path, "is a folder, not a file");
  if (!isOpen)
    failIn(path, "cannot open the file (" + reason(file == nullptr ? openError : errno) + ")");
  if (type != S_IFREG)
    failIn(path, "is not a regular file (a device, pipe or socket); give a file");
  if (static_cast<std::uintmax_t>(status.st_size) > kMaxInputFileBytes)
    failIn(path, "is " + std::to_string(status.st_size) + " bytes, too large; the limit is " + limitText());
  std::string content = readAll(file.get(), path);
  if (opened)
    opened(content, platform::nameOfOpened(file.get(), path));
  return content;
}

int writeAll(std::FILE *stream, const std::string &text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0 &&
      !std::ferror(stream))
    return 0;
  return errno != 0 ? errno : EIO;
}

} // namespace ondrava
