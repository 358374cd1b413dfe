#include "plugin_loader.h"

#include <cstring>
#include <fstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <elf.h>
#include <unistd.h>

#include <filesystem>
#endif

namespace ondrava {

namespace {

bool hasFolder(const std::string &path) {
#if defined(_WIN32)
  return path.find_first_of("/\\:") != std::string::npos;
#else
  return path.find('/') != std::string::npos;
#endif
}

std::string programDirectory() {
  char path[4096] = {};
#if defined(_WIN32)
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path - 1);
  if (length == 0)
    return ".";
#else
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0)
    return ".";
#endif
  const std::string full(path);
  const std::size_t slash = full.find_last_of("/\\");
  return slash == std::string::npos ? "." : full.substr(0, slash);
}

#if !defined(_WIN32)
// The loader maps a module's segments from the file and touches them: a
// segment past the end of a file cut short would end the process with a
// signal. Empty when every segment and header the headers name lies within
// the file, else why not.
std::string cutShort(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  Elf64_Ehdr header;
  if (!in.read(reinterpret_cast<char *>(&header), sizeof header) ||
      std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
    return {}; // not a 64-bit ELF module: the loader refuses it by itself
  std::error_code code;
  const std::uint64_t size = std::filesystem::file_size(path, code);
  const auto within = [size](std::uint64_t offset, std::uint64_t length) {
    return offset <= size && length <= size - offset;
  };
  if (code || !within(header.e_phoff, std::uint64_t(header.e_phnum) * sizeof(Elf64_Phdr)) ||
      !within(header.e_shoff, std::uint64_t(header.e_shnum) * header.e_shentsize))
    return "the file is cut short: its headers lie past its end";
  in.seekg(static_cast<std::streamoff>(header.e_phoff));
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment;
    if (!in.read(reinterpret_cast<char *>(&segment), sizeof segment) ||
        !within(segment.p_offset, segment.p_filesz))
      return "the file is cut short: a segment its headers name lies past its end";
  }
  return {};
}
#endif

} // namespace

bool PluginModule::load(const std::string &given) {
  unload();
  const std::string path = hasFolder(given) ? given : "./" + given;
#if defined(_WIN32)
  handle_ = reinterpret_cast<void *>(LoadLibraryA(path.c_str()));
  if (handle_ == nullptr) {
    error_ = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
#else
  error_ = cutShort(path);
  if (!error_.empty())
    return false;
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char *why = dlerror();
    error_ = why != nullptr ? why : ("cannot load " + path);
    return false;
  }
#endif
  void *create = symbol("createPlugin");
  if (create == nullptr) {
    error_ = path + " does not export createPlugin";
    unload();
    return false;
  }
  std::memcpy(&createPlugin_, &create, sizeof create);
  error_.clear();
  return true;
}

void PluginModule::unload() {
  if (handle_ == nullptr)
    return;
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(handle_));
#else
  dlclose(handle_);
#endif
  handle_ = nullptr;
  createPlugin_ = nullptr;
}

void *PluginModule::symbol(const char *name) const {
  if (handle_ == nullptr)
    return nullptr;
#if defined(_WIN32)
  const FARPROC proc = GetProcAddress(static_cast<HMODULE>(handle_), name);
  void *address = nullptr;
  std::memcpy(&address, &proc, sizeof address);
  return address;
#else
  return dlsym(handle_, name);
#endif
}

const char *PluginModule::text(const char *getterName) const {
  void *address = symbol(getterName);
  if (address == nullptr)
    return nullptr;
  TextGetter getter;
  std::memcpy(&getter, &address, sizeof getter);
  return getter();
}

std::string PluginModule::defaultPath() {
  const std::string dir = programDirectory();
  const std::string name = defaultFileName();
  for (const std::string &candidate : {dir + "/../plugin/" + name, dir + "/../" + name, dir + "/" + name}) {
    if (std::ifstream(candidate).good())
      return candidate;
  }
  return dir + "/" + name;
}

std::string PluginModule::defaultFileName() {
#if defined(_WIN32)
  return "Kelvane.dll";
#else
  return "Kelvane.so";
#endif
}

} // namespace ondrava
