// The program's files and streams: one check for every input file, and one
// writer for every output, a stream or a file, for which a failed write is
// an error. A file is saved beside its target and renamed over it, so that a
// failed save never leaves it damaged.
//
// And what happens when something other than the program ends its process:
// a signal, or a plugin that ends the process itself. The file being saved
// is removed and a line on standard error says what happened, by
// async-signal-safe calls alone; a signal then ends the program as it asks,
// and an exit the plugin called ends it with exit status 2.
#pragma once

#include "platform.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace ondrava {

// First thing in main: installs the handlers. Every failed write is then an
// error the program reports, never a signal (a file size limit, a closed
// pipe), and a standard stream the program was started without stays closed
// to writes, so that no file the program opens can take its place.
void prepareProcess();

// Sets memory aside for when the rest runs out, or false when it cannot:
// what follows a failed allocation needs some (a JSON document allocates as
// it is destroyed), and has it once the failure has given it back.
bool reserveMemory();

// The plugin module loaded (its path as the user gave it), to which an end
// of the process is put down; null once none is.
void pluginLoaded(const char *path);

// No input file may be larger: far above any workspace, far below what the
// machine holds once parsed.
constexpr std::uintmax_t kMaxInputFileBytes = std::uintmax_t(256) << 20;

// The whole of the file at path, checked as it was opened, not by its path,
// which may name another file by then: a regular file of at most
// kMaxInputFileBytes (not missing, a folder, a device or a pipe), else an
// error naming it. Neither the opening nor any read waits: a file that would
// block is an error. While the file is still open, `opened` (if given) sees
// its text and the open file, for what must open this very file again.
using OpenedFile = std::function<void(const std::string &text, std::FILE *file)>;
std::string readFile(const std::string &path, const OpenedFile &opened = {});

// Writes all of the text and flushes the stream: 0, or why it failed (errno).
int writeAll(std::FILE *stream, const std::string &text);

// The checks a save makes of its target before it writes, made on their own
// so that a save they refuse is refused before anything runs: its folder
// opens; it is a regular file, or none yet, and not the program's own
// standard output or error; a link that leads to it can be followed. An
// error naming it otherwise. Once it passes, a plugin that ends the program
// is said to leave the save undone.
void checkSaveTarget(const std::string &path);
// 1 or 2 where path names the program's own standard output or error, else 0.
int ownStream(const std::string &path);

// A new file in the target's folder, written and flushed to the disk, that
// commit() renames over the target; until then the target is as it was, and
// the new file is removed if commit() is never reached or a signal ends the
// program. Through a link, the file the link names is written and the link
// stays. The folder is opened once and every name is taken in it, so that no
// one who renames the folder or a file in it makes the program touch any file
// but the one it made. The new file is the owner's alone until it is
// complete; then it takes the old one's owner, group and mode (as far as the
// saver may give them), and after the rename its folder is flushed too.
// Refused: whatever checkSaveTarget refuses, and a second save while one is
// under way. A save's state is all in this object; the one under way is
// known process-wide, because a signal handler must reach it.
class StagedFile {
public:
  StagedFile(const std::string &path, const std::string &text);
  ~StagedFile() { abandon(); } // nothing, once committed
  // An error, unless the file written is the one that stands at the target's
  // name afterwards.
  void commit();
  // Removes the new file, if its name still names it: never a file someone
  // else put there. Async-signal-safe, for a signal that ends the program.
  void abandon();

private:
  // The target checked, in its folder opened; nothing written yet.
  explicit StagedFile(const std::string &path);
  friend void checkSaveTarget(const std::string &path);
  // Ends the save, removing what it made, with an error naming the file:
  // "cannot write the file" and why.
  [[noreturn]] void fail(const std::string &why);

  std::string path_;
  platform::Folder folder_; // never copied
  std::string name_;        // the target's, in its folder
  bool exists_ = false;     // a file stands under that name: old_
  struct stat old_ {};
  char newName_[32] = {};
  struct stat made_ {}; // the new file as made
};

} // namespace ondrava
