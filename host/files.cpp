#include "files.h"

#include "checked_json.h"
#include "host_state.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <unistd.h>

namespace ondrava {
namespace {

namespace fs = std::filesystem;

// What a failed save that leaves the old file says last.
const char *const kLeftAsItWas = "; it was left as it was";

std::string limitText() { return std::to_string(kMaxInputFileBytes >> 20) + " MiB"; }

// Why a call failed, as a message ends: " (" the errno value's text ")".
std::string because(int error) { return std::string(" (") + std::strerror(error) + ")"; }

// The user's, or the user may act as its owner.
bool usersOwn(const struct stat &status) { return status.st_uid == geteuid() || geteuid() == 0; }

bool sameFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// 1 or 2 where the file is the program's own standard output or error, else 0.
int streamOf(const struct stat &given) {
  struct stat stream {};
  for (const int number : {1, 2})
    if (fstat(number, &stream) == 0 && sameFile(stream, given))
      return number;
  return 0;
}

} // namespace

void Descriptor::reset(int value) {
  if (value_ >= 0)
    close(value_);
  value_ = value;
}

// Opened so that the opening never waits, nor does any read, and a terminal
// opened never becomes the program's. The file may have grown since it was
// opened: one block past the limit at most.
std::string readFile(const std::string &path, Descriptor *opened) {
  Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat status {};
  const int error = file.valid() && fstat(file.get(), &status) == 0 ? 0 : errno;
  if (error == EISDIR || S_ISDIR(status.st_mode))
    failOn(path, "is a folder, not a file");
  if (error != 0)
    failOn(path, "cannot open the file" + because(error));
  if (!S_ISREG(status.st_mode))
    failOn(path, "is not a regular file (a device, pipe or socket); give a file");
  if (static_cast<std::uintmax_t>(status.st_size) > kMaxInputFileBytes)
    failOn(path, "is " + std::to_string(status.st_size) + " bytes, too large; the limit is " + limitText());
  std::string content;
  char buffer[65536];
  for (ssize_t got; (got = read(file.get(), buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno != EINTR)
      failOn(path, "cannot read the file" + because(errno));
    content.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    if (content.size() > kMaxInputFileBytes)
      failOn(path, "is too large; the limit is " + limitText());
  }
  if (opened != nullptr)
    opened->reset(file.release());
  return content;
}

int writeAll(std::FILE *stream, const std::string &text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0 &&
      !std::ferror(stream))
    return 0;
  return errno != 0 ? errno : EIO;
}

int standardStreamOf(const std::string &path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? streamOf(status) : 0;
}

TempFile::TempFile(const std::string &target) : path_(target) {
  fs::path resolved(target);
  std::error_code code;
  // A link is followed even when the file it names does not exist yet.
  for (int links = 0; fs::is_symlink(resolved, code); ++links) {
    const fs::path next = fs::read_symlink(resolved, code);
    if (code || links == 40)
      fail(": the link it names cannot be followed");
    resolved = resolved.parent_path() / next; // an absolute target replaces the folder
  }
  if (const FileToRemove *none = nullptr; !process().removeOnSignal.compare_exchange_strong(none, &made_))
    fail(": another save is under way");
  const std::string folder = resolved.has_parent_path() ? resolved.parent_path().string() : ".";
  folder_.reset(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder_.valid())
    fail(": cannot open its folder" + because(errno));
  name_ = resolved.filename().string();
  oldExists_ = fstatat(folder_.get(), name_.c_str(), &old_, AT_SYMLINK_NOFOLLOW) == 0;
  checkTarget(target);
  create();
}

void TempFile::checkTarget(const std::string &target) {
  struct stat given {};
  const bool exists = stat(target.c_str(), &given) == 0;
  if (const int stream = exists ? streamOf(given) : 0)
    fail(std::string(": it is the program's own standard ") + (stream == 1 ? "output" : "error"));
  // A folder, device or pipe would be replaced by a file, not written.
  if (exists && !S_ISREG(given.st_mode))
    fail(": it is not a regular file (a folder, device, pipe or socket)");
  // What the path names must be what the links led to: a link the kernel
  // made (to a deleted file, say) leads to a name that is no file's.
  if (exists != oldExists_ || (exists && !sameFile(given, old_)))
    fail(": the link it names cannot be followed");
  const int unwritable =
      exists && faccessat(folder_.get(), name_.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0 ? errno
                                                                                                     : 0;
  if (unwritable == EACCES)
    fail(usersOwn(old_) ? ": it is read-only" : ": it is another user's file, not yours to write");
  if (unwritable != 0) // a read-only file system, say, in the system's words
    fail(because(unwritable));
  struct stat folder {};
  if (exists && fstat(folder_.get(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 && !usersOwn(folder) &&
      !usersOwn(old_))
    fail(": it is another user's file in a folder whose sticky bit lets only its owner replace it");
}

// The new file has a short name of its own in the same folder, so that the
// rename stays on one file system. Every signal is held while it is made, so
// that a handler finds it either not yet made or known by its number; one
// that cannot be looked at is removed at once.
void TempFile::create() {
  made_.folder = folder_.get();
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    std::snprintf(made_.name, sizeof made_.name, ".Ondrava-saving-%u", std::random_device{}());
    struct stat made {};
    sigprocmask(SIG_BLOCK, &all, &before);
    file_.reset(openat(folder_.get(), made_.name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    error = !file_.valid() || fstat(file_.get(), &made) != 0 ? errno : 0;
    if (file_.valid() && error != 0) {
      unlinkat(folder_.get(), made_.name, 0);
      file_.reset();
    }
    made_.device = made.st_dev;
    made_.number = made.st_ino;
    sigprocmask(SIG_SETMASK, &before, nullptr);
  }
  if (error != 0)
    fail(": cannot create a file in its folder" + because(error));
}

// The old owner and group where the user may give them (the group alone
// where the owner cannot be given: a new file is its maker's), and the old
// mode. Where either goes to the user's instead, the mode lets in no one the
// old one shut out: no group bits for another group, and other bits that
// grant no more than the old owner's or group's bits did. A new file's mode
// is 0666 less the umask.
int TempFile::giveOldOwnerAndMode() {
  const mode_t mask = umask(0);
  umask(mask);
  mode_t mode = 0666 & ~mask;
  if (oldExists_) {
    const bool both = fchown(file_.get(), old_.st_uid, old_.st_gid) == 0;
    const bool group = both || fchown(file_.get(), static_cast<uid_t>(-1), old_.st_gid) == 0;
    mode = old_.st_mode & 0777;
    mode_t others = mode & 07;
    if (!both && old_.st_uid != geteuid())
      others &= mode >> 6;
    if (!group)
      others &= mode >> 3;
    mode = (mode & (group ? 0770 : 0700)) | others;
  }
  return fchmod(file_.get(), mode) == 0 ? 0 : errno;
}

void TempFile::write(const std::string &text) {
  int failure = 0;
  for (std::size_t done = 0; failure == 0 && done < text.size();) {
    const ssize_t wrote = ::write(file_.get(), text.data() + done, text.size() - done);
    failure = wrote < 0 && errno != EINTR ? errno : 0;
    done += wrote > 0 ? static_cast<std::size_t>(wrote) : 0;
  }
  if (failure == 0)
    failure = giveOldOwnerAndMode();
  if (failure == 0 && fsync(file_.get()) != 0)
    failure = errno;
  if (close(file_.release()) != 0 && failure == 0)
    failure = errno;
  if (failure != 0)
    fail(because(failure) + kLeftAsItWas);
}

// Removed before it leaves the list, so that a signal in between finds it
// still listed.
void TempFile::discard() {
  file_.reset();
  if (process().removeOnSignal == &made_) {
    made_.remove();
    process().removeOnSignal = nullptr;
  }
}

void TempFile::fail(const std::string &why) {
  discard();
  failOn(path_, "cannot write the file" + why);
}

int TempFile::keep() {
  // Another may have put a file of their own under the new file's name.
  if (!made_.namesFileMade(made_.name))
    fail(std::string(": the new file was taken away while it was written") + kLeftAsItWas);
  if (renameat(folder_.get(), made_.name, folder_.get(), name_.c_str()) != 0)
    fail(because(errno) + kLeftAsItWas);
  process().removeOnSignal = nullptr;
  if (!made_.namesFileMade(name_.c_str()))
    fail(": another file took its place as it was saved (its folder was changed meanwhile); the workspace "
         "was not saved");
  // The rename itself lasts only once the folder is on the disk. A file
  // system that cannot flush a folder says so with EINVAL; there is nothing
  // more to do on it.
  return fsync(folder_.get()) == 0 || errno == EINVAL ? 0 : errno;
}

} // namespace ondrava
