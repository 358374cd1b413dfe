// The program's files and streams: one check for every input file, one
// writer for every output, a stream or a file, for which a failed write is an
// error, and the save: a temporary file beside its target, created, written,
// then kept (renamed over the target) or discarded, so that a failed save
// never leaves the target damaged.
#pragma once

#include "platform.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace ondrava {

// No input file may be larger: far above any workspace, far below what the
// machine holds once parsed.
constexpr std::uintmax_t kMaxInputFileBytes = std::uintmax_t(256) << 20;

// The file at path, checked as it was opened, not by its path, which may name
// another file by then: a regular file of at most kMaxInputFileBytes (not
// missing, a folder, a device or a pipe), else an error naming it. Neither
// the opening nor any read waits: a file that would block is an error.
platform::Handle openInput(const std::string &path);
// The whole of such a file.
std::string readFile(const std::string &path);

// Writes all of the text and flushes the stream: 0, or why it failed (errno).
int writeAll(std::FILE *stream, const std::string &text);

// 1 or 2 where path names the program's own standard output or error, else 0
// (always 0 where the system cannot tell two files apart).
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
// give them). It is on the remove-on-signal list from the moment it exists
// until it is kept, and discarded if it is never kept. At most one exists.
class TempFile {
public:
  explicit TempFile(const std::string &target);
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;
  ~TempFile() { close(); }

  // Writes the text and flushes it to the disk, or fails, discarding it.
  void write(const std::string &text);
  // An error, unless the file written stands at the target's name afterwards.
  // Once it does, the target is saved, and nothing is allocated: a folder
  // that cannot then be flushed to the disk is a warning, its errno value
  // returned (else 0), for the save may not survive a power loss.
  int keep();
  // Removes the new file, if its name still names it. Async-signal-safe.
  void discard() const;

private:
  // Ends the save, discarding what it made, with an error naming the target:
  // "cannot write the file" and why.
  [[noreturn]] void fail(const std::string &why);
  // Discards the new file once closed, which Windows removes only then.
  void close() {
    file_.reset();
    discard();
  }
  void checkTarget(const platform::FileInfo &given, const platform::FileInfo &folder);
  // Whether the name in the folder names the new file as made.
  bool holdsNewFile(const char *name) const;

  std::string path_;
  platform::Folder folder_;
  std::string name_; // the target's, in its folder
  platform::FileInfo old_;
  char newName_[32] = {};
  platform::FileId made_; // the new file as made; unknown (0) until known
  platform::Handle file_;
};

} // namespace ondrava
