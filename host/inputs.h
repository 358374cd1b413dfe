// What the command line names, read and checked before anything runs: the
// workspace (a file or the built-in demo) and the parameter store.
#pragma once

#include "command_line.h"
#include "options_input.h"
#include "workspace.h"

namespace ondrava {

struct Inputs {
  Workspace workspace;
  Options options;
  std::string workspaceLabel; // the file, or "built-in demo"
};

// False with *error at the first bad input. The demo's options apply only to
// the demo workspace with neither --options nor --set; a user's workspace
// starts with an empty parameter store.
bool readInputs(const Invocation &invocation, Inputs &out, InputError &error);

} // namespace ondrava
