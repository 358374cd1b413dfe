// The file --save writes: beside its target, renamed over it once complete,
// so that a save that fails never leaves the target damaged.
#pragma once

#include "platform.h"

#include <string>

namespace ondrava {

// The checks a save makes of its target before it writes, made on their own
// so that a save they refuse is refused before anything runs: its folder
// opens; it is a regular file, or none yet, and not the program's own
// standard output or error; a link that leads to it can be followed. An
// error naming it otherwise.
void checkSaveTarget(const std::string &path);

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
// under way.
class StagedFile {
public:
  StagedFile(const std::string &path, const std::string &text);
  ~StagedFile();
  // An error, unless the file written is the one that stands at the target's
  // name afterwards.
  void commit();
  // What a signal that ends the program does: removes the new file of the
  // save under way, if any. Async-signal-safe.
  static void abandon();

private:
  // The target checked, in its folder opened; nothing written yet.
  explicit StagedFile(const std::string &path);
  friend void checkSaveTarget(const std::string &path);
  // Removes the new file, if its name still names it: never a file someone
  // else put there. Async-signal-safe.
  void removeNew();
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
