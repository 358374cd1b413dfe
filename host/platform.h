// What the program needs of its system that each system does its own way:
// files and folders, a save's names, plugin modules and the process's set-up.
// One file per platform (platform_posix.cpp, platform_win32.cpp), and no
// other file includes a system header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace ondrava::platform {

// A file's or folder's descriptor (a handle on Windows), owned alone and
// closed however its owner ends.
class Handle {
public:
  Handle() = default;
  Handle(Handle &&other) noexcept : value_(other.release()) {}
  ~Handle() { reset(); }

  std::intptr_t get() const { return value_; }
  bool valid() const { return value_ != -1; }
  std::intptr_t release() { return std::exchange(value_, -1); }
  void reset(std::intptr_t value = -1); // closes the one held

private:
  std::intptr_t value_ = -1;
};

enum class FileKind { Missing, Regular, Folder, Other };

// Which file it is: two equal ids are one file. Where the system gives no
// number, it is 0 and no two files are told apart.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t number = 0;
  bool operator==(const FileId &other) const { return device == other.device && number == other.number; }
};

// What a file is, as far as the program asks.
struct FileInfo {
  FileKind kind = FileKind::Missing;
  FileId id;
  std::uint64_t size = 0;
  std::uint32_t owner = 0; // owner, group and mode where the system has them
  std::uint32_t group = 0;
  std::uint32_t mode = 0;
  bool usersOwn = false; // the user's, or the user may act as its owner
  bool writable = false; // the user may write it
  bool sticky = false;   // a folder where only a file's owner, or the folder's, renames it
};

// A folder opened once, in which every name of a save is taken, so that no
// one who renames it, or a file in it, makes the program touch another file:
// its path, and its handle where the system opens folders.
struct Folder {
  std::string path;
  Handle handle;
};

// A test's own system overrides any of these to make that step fail. Each
// returns 0, or why not (an errno value); one that answers what a name is
// answers Missing, as for no file, when it cannot tell.
class System {
public:
  virtual ~System() = default;
  // The file open to read, and what it is. Neither the opening nor any read
  // waits, and a terminal opened never becomes the program's.
  virtual int openToRead(const std::string &path, Handle &file, FileInfo &out);
  virtual int info(const Handle &file, FileInfo &out);
  // Links followed.
  virtual FileInfo infoOfPath(const std::string &path);
  // The program's standard output (1) or error (2).
  virtual FileInfo infoOfStream(int stream);
  virtual int read(const Handle &file, char *buffer, std::size_t size, std::size_t &got);
  virtual int openFolder(const std::string &path, Folder &out);
  // The name in the folder, a link not followed.
  virtual FileInfo infoIn(const Folder &folder, const char *name);
  // A new file, the user's alone, open to write.
  virtual int create(const Folder &folder, const char *name, Handle &file);
  // Writes all of the text, gives the file the old one's owner, group and
  // mode, as far as the user may give them (null: a new file's), flushes it
  // to the disk and closes it.
  virtual int writeOut(Handle &file, const std::string &text, const FileInfo *old);
  virtual int rename(const Folder &folder, const char *from, const char *to);
  // The folder's names as they now stand, on the disk.
  virtual int flushNames(const Folder &folder);
  // Async-signal-safe.
  virtual void remove(const Folder &folder, const char *name);

  // The module in the open file (path names it to the user): its handle,
  // or null with error saying why.
  virtual void *loadModule(const Handle &file, const std::string &path, std::string &error);
  virtual void unloadModule(void *module);
  // The running program's file.
  virtual std::string programPath();
};

// The system the program uses: the real one, unless a test gave its own
// (Process::system).
System &system();

// A failed write is then an error, never a signal (a file size limit, a
// closed pipe), and a standard stream the program was started without stays
// closed to writes, so that no file the program opens takes its place. Every
// signal whose default action ends the program (but one it was started to
// ignore) calls `ending` first, by async-signal-safe calls alone: it gives
// the plugin to blame for a crash, which a line on standard error then names
// (null: none), and what that line ends with.
void prepareProcess(const char *(*ending)(const char **tail));
// Runs the step with every signal held, errno as the step left it.
void withSignalsHeld(const std::function<void()> &step);

} // namespace ondrava::platform
