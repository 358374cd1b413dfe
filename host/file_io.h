// The program's files and streams: one check for every input file, and one
// writer for every output, a stream or a file, for which a failed write is
// an error. A file is written beside its target and renamed over it, so that
// a failed write never leaves it damaged.
//
// And what happens when something other than the program ends its process:
// a signal, or a plugin that ends the process itself. The file being saved
// is removed and a line on standard error says what happened, by
// async-signal-safe calls alone; a signal then ends the program as it asks,
// and an exit the plugin called ends it with exit status 2.
#pragma once

#include "checked_json.h"

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

// The plugin module loaded (as shown to the user), to which an end of the
// process is put down; null once none is.
void pluginLoaded(const char *shownName);

// No input file may be larger: far above any workspace, far below what the
// machine holds once parsed.
constexpr std::uintmax_t kMaxInputFileBytes = std::uintmax_t(256) << 20;

// The whole of the file at path, checked as it was opened, not by its path,
// which may name another file by then: a regular file of at most
// kMaxInputFileBytes (not missing, a folder, a device or a pipe), else an
// error naming it. Neither the opening nor any read waits: a file that would
// block is an error. While the file is still open, `opened` (if given) sees
// its text and a name for this very file, for what must open it again.
using OpenedFile = std::function<void(const std::string &text, const std::string &name)>;
std::string readFile(const std::string &path, const OpenedFile &opened = {});

// Writes all of the text and flushes the stream: 0, or why it failed (errno).
int writeAll(std::FILE *stream, const std::string &text);

// A new file in the target's folder, written and flushed to the disk, that
// commit() renames over the target; until then the target is as it was, and
// the new file is removed if commit() is never reached or a signal ends the
// program (signals are held while it is made, so that a handler finds it
// either not yet made or known). Through a link, the file the link names is
// written and the link stays. The folder is opened once and every name is
// taken in it, so that no one who renames the folder or a file in it makes
// the program touch any file but the one it made. The new file is the
// owner's alone until it is complete; then it takes the old one's owner,
// group and mode (see takeOver), and after the rename its folder is flushed
// too. Refused: a target that is not a regular file, or that is the
// program's own standard output or error.
class StagedFile {
public:
  StagedFile(const std::string &path, const std::string &text);
  StagedFile(const StagedFile &) = delete;
  StagedFile &operator=(const StagedFile &) = delete;
  ~StagedFile();
  // An error, unless the file written is the one that stands at the target's
  // name afterwards.
  void commit();

private:
  // Ends the save, removing what it made, with an error naming the file:
  // "cannot write the file" and why.
  [[noreturn]] void fail(const std::string &why);

  std::string path_;
  std::string name_; // the target's, in its folder
};

} // namespace ondrava
