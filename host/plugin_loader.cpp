#include "plugin_loader.h"

#include "checked_json.h"
#include "files.h"
#include "module_services.h"
#include "process.h"

#include <filesystem>

namespace ondrava {

namespace fs = std::filesystem;

namespace {

// The module's own export of that name as a function of type F, or null.
template <typename F> F exported(void *handle, const char *name) {
  return reinterpret_cast<F>(kelvane::platform::findExport(handle, name));
}

} // namespace

bool PluginModule::load(const std::string &given) {
  unload();
  const std::string path = fs::path(given).has_parent_path() ? given : "./" + given;
  setLoadedPlugin(path.c_str());
  try {
    handle_ = platform::system().loadModule(openInput(path), path, error_);
  } catch (const FatalError &error) {
    error_ = error.message;
  }
  if (handle_ != nullptr && (createPlugin_ = exported<CreatePlugin>(handle_, "createPlugin")) == nullptr)
    error_ = "it does not export createPlugin";
  if (!error_.empty())
    unload();
  return error_.empty();
}

void PluginModule::unload() {
  if (handle_ != nullptr)
    platform::system().unloadModule(handle_);
  handle_ = nullptr;
  createPlugin_ = nullptr;
  setLoadedPlugin(nullptr);
}

const char *PluginModule::text(const char *getterName) const {
  const auto getter = exported<const char *(*)()>(handle_, getterName);
  return getter != nullptr ? getter() : nullptr;
}

std::string PluginModule::defaultPath() {
  std::error_code code;
  const fs::path folder = fs::path(platform::system().programPath()).parent_path();
  const char *name = ONDRAVA_PLUGIN_FILE_NAME; // as the build names it
  // Shown without "bin/..": the program's own path holds no link, so the
  // shorter path names the same file.
  for (const fs::path &candidate : {folder / ".." / "plugin" / name, folder / ".." / name})
    if (fs::exists(candidate, code))
      return candidate.lexically_normal().string();
  return (folder / name).string();
}

} // namespace ondrava
