#include "plugin_loader.h"

#include "checked_json.h"
#include "file_io.h"
#include "module_services.h"

#include <cstring>
#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <elf.h>
#endif

namespace ondrava {

namespace fs = std::filesystem;

namespace {

// The module's own export of that name as a function of type F, or null.
template <typename F> F exported(void *handle, const char *name) {
  return reinterpret_cast<F>(kelvane::platform::findExport(handle, name));
}

#if !defined(_WIN32)
// The loader maps a module's segments from the file and touches them: a
// segment past the end of a file cut short would end the process with a
// signal. Empty when every segment the headers name lies within the file,
// else why not.
std::string cutShort(const std::string &image) {
  Elf64_Ehdr header;
  if (image.size() < sizeof header)
    return {}; // not a module at all: the loader refuses it by itself
  std::memcpy(&header, image.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
    return {};
  const std::string cut = "the file is cut short: a segment its headers name lies past its end";
  Elf64_Phdr segment;
  if (header.e_phoff > image.size() || (image.size() - header.e_phoff) / sizeof segment < header.e_phnum)
    return cut;
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    std::memcpy(&segment, image.data() + header.e_phoff + i * sizeof segment, sizeof segment);
    if (segment.p_offset > image.size() || segment.p_filesz > image.size() - segment.p_offset)
      return cut;
  }
  return {};
}
#endif

} // namespace

bool PluginModule::load(const std::string &given) {
  unload();
  const std::string path = fs::path(given).has_parent_path() ? given : "./" + given;
  pluginLoaded(path.c_str());
  // Loaded through the descriptor that was checked, so that no other file
  // can take its place in between.
  const auto loadOpened = [&]([[maybe_unused]] const std::string &image, [[maybe_unused]] std::FILE *file) {
#if defined(_WIN32)
    handle_ = reinterpret_cast<void *>(LoadLibraryA(path.c_str()));
    error_ = handle_ == nullptr ? "cannot load it (error " + std::to_string(GetLastError()) + ")" : "";
#else
    const std::string name = "/proc/self/fd/" + std::to_string(fileno(file));
    error_ = cutShort(image);
    if (error_.empty() && (handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) == nullptr)
      error_ = dlerror();
    // The loader's message names the descriptor; the caller names the file.
    if (error_.rfind(name + ": ", 0) == 0)
      error_.erase(0, name.size() + 2);
#endif
  };
  try {
    readFile(path, loadOpened);
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
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
  handle_ = nullptr;
  createPlugin_ = nullptr;
  pluginLoaded(nullptr);
}

const char *PluginModule::text(const char *getterName) const {
  const auto getter = exported<const char *(*)()>(handle_, getterName);
  return getter != nullptr ? getter() : nullptr;
}

std::string PluginModule::defaultPath() {
  std::error_code code;
#if defined(_WIN32)
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH - 1);
#else
  const fs::path self = fs::read_symlink("/proc/self/exe", code);
#endif
  const fs::path folder = fs::path(self).parent_path();
  const char *name = ONDRAVA_PLUGIN_FILE_NAME; // as the build names it
  // Shown without "bin/..": the program's own path holds no link, so the
  // shorter path names the same file.
  for (const fs::path &candidate : {folder / ".." / "plugin" / name, folder / ".." / name})
    if (fs::exists(candidate, code))
      return candidate.lexically_normal().string();
  return (folder / name).string();
}

} // namespace ondrava
