// What happens when something other than the program ends its process: a
// signal, or a plugin that ends the process itself. The save's new file is
// removed and a line on standard error says what happened, by
// async-signal-safe calls alone; a signal then ends the program as it asks,
// and an exit the plugin called ends it with exit status 2. And the memory
// held in reserve for when the rest runs out.
#pragma once

#include <sys/types.h>

namespace ondrava {

// First thing in main: a failed write is then an error, never a signal (a
// file size limit, a closed pipe), and a standard stream the program was
// started without stays closed to writes, so that no file the program opens
// takes its place. Every signal whose default action ends the program (but
// one it was started to ignore), and an exit the plugin calls, first removes
// the file on the list (Process::removeOnSignal, host_state.h).
void prepareProcess();

// What a signal must remove, kept apart from the object that made it: the
// save's new file, by its folder's descriptor and its name there, removed
// only while that name still names the file made (device and number; 0
// until it is made). The list holds one: its maker puts it on, unless
// another is on it, and takes it off once it is kept or removed.
struct FileToRemove {
  int folder = -1;
  char name[32] = {};
  dev_t device = 0;
  ino_t number = 0;

  // Whether the name in the folder names the file made. Async-signal-safe.
  bool namesFileMade(const char *inFolder) const;
  // Removes the file, if its name still names it. Async-signal-safe.
  void remove() const;
};

// Sets memory aside for when the rest runs out, or false when it cannot:
// what follows a failed allocation needs some (a JSON document allocates as
// it is destroyed).
bool reserveMemory();
// Whether memory ran short since then: the reserve was given back.
bool memoryRanShort();

// The plugin module loaded (its path as the user gave it), to which an end
// of the process is put down; null once none is.
void setLoadedPlugin(const char *path);

} // namespace ondrava
