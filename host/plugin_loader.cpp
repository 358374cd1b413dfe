#include "plugin_loader.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <elf.h>
#endif

namespace ondrava {

namespace fs = std::filesystem;

namespace {

// The module's export of that name as a function of type F, or null.
template <typename F> F exported(void *handle, const char *name) {
#if defined(_WIN32)
  const FARPROC address = handle != nullptr ? GetProcAddress(static_cast<HMODULE>(handle), name) : nullptr;
#else
  void *address = handle != nullptr ? dlsym(handle, name) : nullptr;
#endif
  F function = nullptr;
  std::memcpy(&function, &address, sizeof function);
  return function;
}

#if !defined(_WIN32)
// The loader maps a module's segments from the file and touches them: a
// segment past the end of a file cut short would end the process with a
// signal. Empty when every segment the headers name lies within the file,
// else why not.
std::string cutShort(const std::string &path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const auto size = static_cast<std::uint64_t>(in.tellg());
  Elf64_Ehdr header;
  if (!in.seekg(0).read(reinterpret_cast<char *>(&header), sizeof header) ||
      std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
    return {}; // not a 64-bit ELF module: the loader refuses it by itself
  in.seekg(static_cast<std::streamoff>(header.e_phoff));
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment;
    if (!in.read(reinterpret_cast<char *>(&segment), sizeof segment) || segment.p_offset > size ||
        segment.p_filesz > size - segment.p_offset)
      return "the file is cut short: a segment its headers name lies past its end";
  }
  return {};
}
#endif

} // namespace

bool PluginModule::load(const std::string &given) {
  unload();
  const std::string path = fs::path(given).has_parent_path() ? given : "./" + given;
#if defined(_WIN32)
  handle_ = reinterpret_cast<void *>(LoadLibraryA(path.c_str()));
  error_ =
      handle_ == nullptr ? "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")" : "";
#else
  error_ = cutShort(path);
  if (error_.empty() && (handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) == nullptr)
    error_ = dlerror();
#endif
  if (handle_ != nullptr && (createPlugin_ = exported<CreatePlugin>(handle_, "createPlugin")) == nullptr)
    error_ = path + " does not export createPlugin";
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
  const char *name = "Kelvane.dll";
#else
  const fs::path self = fs::read_symlink("/proc/self/exe", code);
  const char *name = "Kelvane.so";
#endif
  const fs::path folder = fs::path(self).parent_path();
  for (const fs::path &candidate : {folder / ".." / "plugin" / name, folder / ".." / name})
    if (fs::exists(candidate, code))
      return candidate.string();
  return (folder / name).string();
}

} // namespace ondrava
