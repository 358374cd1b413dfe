#include "plugin_loader.h"

#include "checked_json.h"
#include "files.h"
#include "module_services.h"
#include "process.h"

#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#include <filesystem>

namespace ondrava {

namespace fs = std::filesystem;

namespace {

// The module's own export of that name as a function of type F, or null.
template <typename F> F exported(void *handle, const char *name) {
  return reinterpret_cast<F>(kelvane::platform::findExport(handle, name));
}

// The loader maps a module's segments from the file and touches them: a
// segment past the end of a file cut short would end the process with a
// signal. Empty when every segment the headers name lies within the file.
std::string cutShort(const std::string &image) {
  Elf64_Ehdr header{};
  if (image.size() < sizeof header)
    return {}; // not a module at all: the loader refuses it by itself
  std::memcpy(&header, image.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
    return {};
  const std::uint64_t size = image.size();
  bool within = header.e_phoff <= size && header.e_phnum * sizeof(Elf64_Phdr) <= size - header.e_phoff;
  for (std::size_t i = 0; within && i < header.e_phnum; ++i) {
    Elf64_Phdr segment{};
    std::memcpy(&segment, image.data() + header.e_phoff + i * sizeof segment, sizeof segment);
    within = segment.p_offset <= size && segment.p_filesz <= size - segment.p_offset;
  }
  return within ? "" : "the file is cut short: a segment its headers name lies past its end";
}

} // namespace

bool PluginModule::load(const std::string &given) {
  unload();
  const std::string path = fs::path(given).has_parent_path() ? given : "./" + given;
  setLoadedPlugin(path.c_str());
  try {
    Descriptor file;
    error_ = cutShort(readFile(path, &file));
    // Loaded through the descriptor that was read to its end and checked, so
    // that no other file can take its place in between, and none that would
    // make the loader wait (one that never ends, say) reaches it.
    const std::string name = "/proc/self/fd/" + std::to_string(file.get());
    if (error_.empty() && (handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) == nullptr)
      error_ = dlerror();
    // The loader's message names the descriptor; the caller names the file.
    if (error_.rfind(name + ": ", 0) == 0)
      error_.erase(0, name.size() + 2);
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
    dlclose(handle_);
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
  const fs::path folder = fs::read_symlink("/proc/self/exe", code).parent_path();
  const char *name = ONDRAVA_PLUGIN_FILE_NAME; // as the build names it
  // Shown without "bin/..": the program's own path holds no link, so the
  // shorter path names the same file.
  for (const fs::path &candidate : {folder / ".." / "plugin" / name, folder / ".." / name})
    if (fs::exists(candidate, code))
      return candidate.lexically_normal().string();
  return (folder / name).string();
}

} // namespace ondrava
