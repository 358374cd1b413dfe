// The program's command line: what to run, on what, and how to answer.
#pragma once

#include "input_error.h"

#include <optional>
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
};

struct CommandLine {
  Invocation invocation;
  bool helpShown = false; // --help was asked for and printed
  std::optional<InputError> error;
};

CommandLine parseCommandLine(int argc, char **argv);

// Whether --json is among the arguments, known before anything else is read so
// that even a bad command line is answered in JSON.
bool wantsJson(int argc, char **argv);

} // namespace ondrava
