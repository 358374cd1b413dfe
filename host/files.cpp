#include "files.h"

#include "checked_json.h"
#include "host_state.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace ondrava {
namespace {

namespace fs = std::filesystem;
using platform::FileKind;

// What a failed save that leaves the old file says last.
const char *const kLeftAsItWas = "; it was left as it was";

// One file, not two that stand under the same name at different times. Where
// the system gives no number, any two are.
bool same(const platform::FileId &a, const platform::FileId &b) {
  return a.number == 0 || b.number == 0 || a == b;
}

// 1 or 2 where the file is the program's own standard output or error, else 0.
int streamOf(const platform::FileInfo &given) {
  for (const int number : {1, 2})
    if (given.kind != FileKind::Missing && given.id.number != 0 &&
        platform::system().infoOfStream(number).id == given.id)
      return number;
  return 0;
}

std::string limitText() { return std::to_string(kMaxInputFileBytes >> 20) + " MiB"; }

// Why a call failed, as a message ends: " (" the errno value's text ")".
std::string because(int error) { return std::string(" (") + std::strerror(error) + ")"; }

} // namespace

platform::Handle openInput(const std::string &path) {
  platform::Handle file;
  platform::FileInfo info;
  const int error = platform::system().openToRead(path, file, info);
  if (error == EISDIR || info.kind == FileKind::Folder)
    failOn(path, "is a folder, not a file");
  if (error != 0)
    failOn(path, "cannot open the file" + because(error));
  if (info.kind != FileKind::Regular)
    failOn(path, "is not a regular file (a device, pipe or socket); give a file");
  if (info.size > kMaxInputFileBytes)
    failOn(path, "is " + std::to_string(info.size) + " bytes, too large; the limit is " + limitText());
  return file;
}

// The file may have grown since it was opened: one block past the limit at
// most.
std::string readFile(const std::string &path) {
  const platform::Handle file = openInput(path);
  std::string content;
  char buffer[65536];
  std::size_t got = 0;
  int error;
  while ((error = platform::system().read(file, buffer, sizeof buffer, got)) == 0 && got > 0) {
    content.append(buffer, got);
    if (content.size() > kMaxInputFileBytes)
      failOn(path, "is too large; the limit is " + limitText());
  }
  if (error != 0)
    failOn(path, "cannot read the file" + because(error));
  return content;
}

int writeAll(std::FILE *stream, const std::string &text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0 &&
      !std::ferror(stream))
    return 0;
  return errno != 0 ? errno : EIO;
}

int standardStreamOf(const std::string &path) { return streamOf(platform::system().infoOfPath(path)); }

// The new file has a short name of its own in the same folder, so that the
// rename stays on one file system. Signals are held while it is made, so that
// a handler finds it either not yet made or on the list.
TempFile::TempFile(const std::string &target) : path_(target) {
  platform::System &system = platform::system();
  fs::path resolved(target);
  std::error_code code;
  // A link is followed even when the file it names does not exist yet.
  for (int links = 0; fs::is_symlink(resolved, code); ++links) {
    const fs::path next = fs::read_symlink(resolved, code);
    if (code || links == 40)
      fail(": the link it names cannot be followed");
    resolved = resolved.parent_path() / next; // an absolute target replaces the folder
  }
  if (process().removeOnSignal != nullptr)
    fail(": another save is under way");
  if (const int error =
          system.openFolder(resolved.has_parent_path() ? resolved.parent_path().string() : ".", folder_))
    fail(": cannot open its folder" + because(error));
  name_ = resolved.filename().string();
  old_ = system.infoIn(folder_, name_.c_str());
  checkTarget(system.infoOfPath(target), system.infoIn(folder_, "."));
  int error = EEXIST;
  for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    std::snprintf(newName_, sizeof newName_, ".Ondrava-saving-%u", std::random_device{}());
    platform::withSignalsHeld([&] {
      if ((error = system.create(folder_, newName_, file_)) != 0)
        return;
      process().removeOnSignal = this;
      platform::FileInfo made;
      error = system.info(file_, made);
      made_ = made.id;
    });
  }
  if (error != 0)
    fail(": cannot create a file in its folder" + because(error));
  process().saveLeftUndone = "; nothing was saved";
}

void TempFile::checkTarget(const platform::FileInfo &given, const platform::FileInfo &folder) {
  if (const int stream = streamOf(given))
    fail(std::string(": it is the program's own standard ") + (stream == 1 ? "output" : "error"));
  // A folder, device or pipe would be replaced by a file, not written.
  if (given.kind != FileKind::Missing && given.kind != FileKind::Regular)
    fail(": it is not a regular file (a folder, device, pipe or socket)");
  // What the path names must be what the links led to: a link the kernel
  // made (to a deleted file, say) leads to a name that is no file's.
  const bool exists = old_.kind != FileKind::Missing;
  if ((given.kind != FileKind::Missing) != exists || (exists && !same(given.id, old_.id)))
    fail(": the link it names cannot be followed");
  if (exists && !old_.writable)
    fail(old_.usersOwn ? ": it is read-only" : ": it is another user's file, not yours to write");
  if (exists && folder.sticky && !folder.usersOwn && !old_.usersOwn)
    fail(": it is another user's file in a folder whose sticky bit lets only its owner replace it");
}

void TempFile::write(const std::string &text) {
  if (const int failure =
          platform::system().writeOut(file_, text, old_.kind != FileKind::Missing ? &old_ : nullptr))
    fail(because(failure) + kLeftAsItWas);
}

bool TempFile::holdsNewFile(const char *name) const {
  const platform::FileInfo now = platform::system().infoIn(folder_, name);
  return now.kind != FileKind::Missing && same(now.id, made_);
}

void TempFile::discard() const {
  if (process().removeOnSignal != this)
    return;
  if (holdsNewFile(newName_))
    platform::system().remove(folder_, newName_);
  process().removeOnSignal = nullptr;
}

void TempFile::fail(const std::string &why) {
  close();
  failOn(path_, "cannot write the file" + why);
}

int TempFile::keep() {
  // Another may have put a file of their own under the new file's name.
  if (!holdsNewFile(newName_))
    fail(std::string(": the new file was taken away while it was written") + kLeftAsItWas);
  if (const int error = platform::system().rename(folder_, newName_, name_.c_str()))
    fail(because(error) + kLeftAsItWas);
  process().removeOnSignal = nullptr;
  if (!holdsNewFile(name_.c_str()))
    fail(": another file took its place as it was saved (its folder was changed meanwhile); the workspace "
         "was not saved");
  // The rename itself lasts only once the folder is on the disk.
  return platform::system().flushNames(folder_);
}

} // namespace ondrava

namespace ondrava::platform {

System &system() {
  static System native;
  return process().system != nullptr ? *process().system : native;
}

} // namespace ondrava::platform
