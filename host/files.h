// The program's files and streams: one check for every input file, one
// writer for every output, a stream or a file, for which a failed write is an
// error, and the save: a temporary file beside its target, created, written,
// then kept (renamed over the target) or discarded, so that a failed save
// never leaves the target damaged.
#pragma once

#include "process.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

namespace ondrava {

// No input file may be larger: far above any workspace, far below what the
// machine holds once parsed.
constexpr std::uintmax_t kMaxInputFileBytes = std::uintmax_t(256) << 20;

// A file's or folder's descriptor, owned alone and closed however its owner
// ends.
class Descriptor {
public:
  explicit Descriptor(int value = -1) : value_(value) {}
  Descriptor(Descriptor &&other) noexcept : value_(other.release()) {}
  ~Descriptor() { reset(); }

  int get() const { return value_; }
  bool valid() const { return value_ >= 0; }
  int release() { return std::exchange(value_, -1); }
  void reset(int value = -1); // closes the one held

private:
  int value_;
};

// The whole of the file at path, checked as it was opened, not by its path,
// which may name another file by then: a regular file of at most
// kMaxInputFileBytes (not missing, a folder, a device or a pipe), else an
// error naming it. Neither the opening nor any read waits: a file that would
// block is an error, and so is a read that fails. The file stays open in
// opened, when given.
std::string readFile(const std::string &path, Descriptor *opened = nullptr);

// Writes all of the text and flushes the stream: 0, or why it failed (errno).
int writeAll(std::FILE *stream, const std::string &text);

// 1 or 2 where path names the program's own standard output or error, else 0.
int standardStreamOf(const std::string &path);

// The new file of a save, made beside its target when the object is made,
// before anything runs, so that a save that cannot succeed is refused first:
// an error naming the target when it is not a regular file or none yet, is
// the program's own standard output or error, is read-only or not the user's
// to write, lies in a folder the user cannot write in, or is another user's
// in a folder whose sticky bit keeps it theirs. Through a link, the file the
// link names is written and the link stays. The folder is opened once and
// every name is taken in it. The new file is the user's alone until written;
// then it takes the old one's owner, group and mode (as far as the user may
// give them). It is on the remove-on-signal list (process.h) from the moment
// it exists until it is kept, and removed if it is never kept. At most one
// exists.
class TempFile {
public:
  explicit TempFile(const std::string &target);
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;
  ~TempFile() { discard(); }

  // Writes the text and flushes it to the disk, or fails, discarding it.
  void write(const std::string &text);
  // An error, unless the file written stands at the target's name afterwards.
  // Once it does, the target is saved, and nothing is allocated: a folder
  // that cannot then be flushed to the disk is a warning, its errno value
  // returned (else 0), for the save may not survive a power loss.
  int keep();

private:
  // Ends the save, discarding what it made, with an error naming the target:
  // "cannot write the file" and why.
  [[noreturn]] void fail(const std::string &why);
  // Closes the new file and removes it, unless it was kept.
  void discard();
  void checkTarget(const std::string &target);
  void create();
  // The old owner, group and mode, as far as the user may give them.
  int giveOldOwnerAndMode();

  std::string path_;
  Descriptor folder_;
  std::string name_; // the target's, in its folder
  struct stat old_ {};
  bool oldExists_ = false;
  FileToRemove made_; // the new file, in the folder
  Descriptor file_;
};

} // namespace ondrava
