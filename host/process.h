// What happens when something other than the program ends its process: a
// signal, or a plugin that ends the process itself. The save's new file is
// removed and a line on standard error says what happened, by
// async-signal-safe calls alone; a signal then ends the program as it asks,
// and an exit the plugin called ends it with exit status 2. And the memory
// held in reserve for when the rest runs out.
#pragma once

namespace ondrava {

// First thing in main: installs the handlers (platform.h: prepareProcess).
void prepareProcess();

// Sets memory aside for when the rest runs out, or false when it cannot:
// what follows a failed allocation needs some (a JSON document allocates as
// it is destroyed), and has it once the failure has given it back.
bool reserveMemory();

// The plugin module loaded (its path as the user gave it), to which an end
// of the process is put down; null once none is.
void setLoadedPlugin(const char *path);

} // namespace ondrava
