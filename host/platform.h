// What the program needs of its system that each system does its own way:
// files opened to be read, the folder a save writes in, and the process's
// set-up. One file per platform (platform_posix.cpp, platform_win32.cpp),
// each written in its own terms.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include <sys/stat.h>

namespace ondrava::platform {

// The file at path, opened to be read: neither the opening nor any read
// waits, and a terminal opened never becomes the program's. Null (errno)
// when it cannot be opened.
std::FILE *openToRead(const std::string &path);
// The file the path names, links followed: false when there is none.
bool findPath(const std::string &path, struct stat &out);
// The written file takes the old one's place in all but its name (null: a
// new file's mode), and is flushed to the disk: 0, or why not (errno).
int complete(int fd, const struct stat *old);

// A folder opened once, in which every name is taken: no one who renames it,
// or a file in it, makes the program touch another file. A name is a file's
// own, without a folder.
class Folder {
public:
  Folder() = default;
  Folder(const Folder &) = delete;
  Folder &operator=(const Folder &) = delete;
  ~Folder();

  // 0, or why the folder cannot be opened (errno). Once only.
  int hold(const std::string &path);
  // The file under that name (a link, not what it names): false when there
  // is none. Async-signal-safe.
  bool find(const char *name, struct stat &out) const;
  // A new file under that name, the owner's alone, open to write: its
  // descriptor, or -1 (errno).
  int makeFile(const char *name) const;
  // 0, or why not (errno).
  int moveOver(const char *from, const char *to) const;
  // Async-signal-safe.
  void erase(const char *name) const;
  // The folder's names as they now stand, flushed to the disk: 0, or why not.
  int flushNames() const;

private:
  int fd_ = -1;      // where the system opens a folder
  std::string path_; // where it does not: each name is joined to the path
};

// A failed write is then an error, never a signal (a file size limit, a
// closed pipe), and a standard stream the program was started without stays
// closed to writes, so that no file the program opens takes its place. A
// signal that ends the program (but one it was started to ignore) calls
// `ending` first, by async-signal-safe calls alone: it gives the plugin to
// blame for a crash, which a line on standard error then names (null: none),
// and what that line ends with.
void prepareProcess(const char *(*ending)(const char **tail));
// Runs the step with every signal held, errno as the step left it.
void withSignalsHeld(const std::function<void()> &step);

} // namespace ondrava::platform
