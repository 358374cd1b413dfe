// The program's command line: what to run, on what, and how to answer.
#pragma once

#include <string>
#include <vector>

namespace ondrava {

struct Invocation {
  std::string pluginPath; // empty: the module built next to the program
  std::string workspacePath;
  std::string optionsPath;
  std::vector<std::string> settings;
  std::string savePath;
  bool json = false;
  std::string help; // what --help asked for
};

// Throws an InputError for a bad command line.
Invocation parseCommandLine(int argc, char **argv);

// Whether --json is among the arguments, known before anything else is read so
// that even a bad command line is answered in JSON.
bool wantsJson(int argc, char **argv);

} // namespace ondrava
