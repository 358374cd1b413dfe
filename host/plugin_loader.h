// Loads a plugin module into the stand-in host and finds its exports, the way
// the host's loader does: by bare name.
#pragma once

#include <string>

class ODZUPluginInterface;

namespace ondrava {

class PluginModule {
public:
  using CreatePlugin = ODZUPluginInterface *(*)();

  PluginModule() = default;
  PluginModule(const PluginModule &) = delete;
  PluginModule &operator=(const PluginModule &) = delete;
  ~PluginModule() { unload(); }

  // False, with error() saying why, when the file is not one the program
  // reads (see readFile), or the module or createPlugin is missing. A path
  // without a folder is a file in the current folder, not a name for the
  // system's library search.
  bool load(const std::string &path);
  void unload();
  const std::string &error() const { return error_; }

  CreatePlugin createPlugin() const { return createPlugin_; }
  // The getter's text, or null when the module lacks the getter.
  const char *text(const char *getterName) const;

  // The module built next to the running program: in the build tree under
  // plugin/, in an installed plugin folder one level up.
  static std::string defaultPath();

private:
  void *handle_ = nullptr;
  CreatePlugin createPlugin_ = nullptr;
  std::string error_;
};

} // namespace ondrava
