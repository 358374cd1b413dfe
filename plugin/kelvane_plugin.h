// The module's face to the host: the factory, six metadata getters and the
// plugin classes. Every name here, the classes' virtual slot order and the
// getters' texts are fixed by the host and stay exactly as they are.
//
// Threads: every function here runs on the host thread that calls it; the
// module starts no threads of its own and takes no locks.
#pragma once

#include "export.h"

// What a host drives a plugin through. The class has no data, so copying it
// copies nothing; it exists so that the host can hold any plugin by one type.
class KELVANE_EXPORT ODZUPluginInterface {
public:
  ODZUPluginInterface();
  ODZUPluginInterface(const ODZUPluginInterface &other);
  virtual ~ODZUPluginInterface();
  ODZUPluginInterface &operator=(const ODZUPluginInterface &other);

  // Runs the plugin once. Only valid after initPlugin() returned true.
  // Returns false when the user selected nothing (or memory ran out).
  virtual bool execute() = 0;
  // Binds the host and checks that a run can go ahead. Returns false, after
  // telling the user why where the host lets us, when it cannot.
  virtual bool initPlugin() = 0;
};

// Only the members listed in the export table are marked, so that the class's
// own vtable and type information stay inside the module.
class Kelvane final : public ODZUPluginInterface {
public:
  KELVANE_EXPORT Kelvane();
  // Writes one blank line to the log pane when the host's log is bound.
  KELVANE_EXPORT ~Kelvane() override;
  KELVANE_EXPORT bool execute() override;
  KELVANE_EXPORT bool initPlugin() override;
};

extern "C" {
// Returns a new plugin object that the caller ends through its virtual
// destructor (which frees it inside the module), or null when out of memory.
KELVANE_EXPORT ODZUPluginInterface *createPlugin();

// Constant NUL-terminated texts with static storage: the same pointer on every
// call, valid before any object exists and for the module's lifetime.
KELVANE_EXPORT const char *getPluginName();
KELVANE_EXPORT const char *getPluginDescription();
KELVANE_EXPORT const char *getAuthor();
KELVANE_EXPORT const char *getHelpFile();
KELVANE_EXPORT const char *getGUIScript();
KELVANE_EXPORT const char *getPluginVersion();
}
