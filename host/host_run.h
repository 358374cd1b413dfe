// One run of the plugin in the stand-in host: the workspace and the options
// become the host's state, the host calls initPlugin and execute, and the
// maps the plugin changed go back into the workspace.
#pragma once

#include "inputs.h"
#include "plugin_loader.h"
#include "report.h"

namespace ondrava {

// False with *error when the module cannot create its plugin object.
bool runPlugin(const PluginModule &module, Inputs &inputs, RunReport &report, InputError &error);

} // namespace ondrava
