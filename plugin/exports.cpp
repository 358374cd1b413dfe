// The module layer: the exported classes and functions, each a thin call into
// the core. Nothing here runs when the module is loaded.
#include "kelvane_plugin.h"

#include "host_calls.h"
#include "run.h"
#include "startup.h"

#include <new>

ODZUPluginInterface::ODZUPluginInterface() = default;
ODZUPluginInterface::ODZUPluginInterface(const ODZUPluginInterface &) = default;
ODZUPluginInterface::~ODZUPluginInterface() = default;
ODZUPluginInterface &ODZUPluginInterface::operator=(const ODZUPluginInterface &) = default;

Kelvane::Kelvane() = default;

Kelvane::~Kelvane() { kelvane::host::zuLogText(" "); }

bool Kelvane::execute() { return kelvane::runEditor(); }

bool Kelvane::initPlugin() { return kelvane::startPlugin(); }

extern "C" {

ODZUPluginInterface *createPlugin() { return new (std::nothrow) Kelvane(); }

const char *getPluginName() { return "Kelvane"; }
const char *getPluginDescription() {
  return "Can change certain properties for all VMP files currently loaded.";
}
const char *getAuthor() { return "<i>TQ</i>"; }
const char *getHelpFile() { return "HelpFolder/index.html"; }
const char *getGUIScript() { return "Kelvane.js"; }
const char *getPluginVersion() { return "1.0"; }
}
