// Runs the real Kelvane module inside this test program, which is itself the
// stand-in host (its file is named Ondrava.exe and it exports the host
// functions). The module is loaded afresh for every test, so each test starts
// with an unbound host table.
#pragma once

#include "host_state.h"
#include "map_record.h"
#include "module_services.h"

#include "kelvane_plugin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace testing_support {

// The module at a path, through the system's loader, and its exports.
class Module {
public:
  ~Module() { unload(); }
  bool load(const char *path) {
#if defined(_WIN32)
    handle_ = reinterpret_cast<void *>(LoadLibraryA(path));
#else
    handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
    return handle_ != nullptr;
  }
  void unload() {
#if defined(_WIN32)
    if (handle_ != nullptr)
      FreeLibrary(static_cast<HMODULE>(handle_));
#else
    if (handle_ != nullptr)
      dlclose(handle_);
#endif
    handle_ = nullptr;
  }
  // The getter's text, or null when the module lacks the getter.
  const char *text(const char *getterName) const {
    const auto getter =
        reinterpret_cast<const char *(*)()>(kelvane::platform::findExport(handle_, getterName));
    return getter != nullptr ? getter() : nullptr;
  }
  ODZUPluginInterface *create() const {
    using CreatePlugin = ODZUPluginInterface *(*)();
    return reinterpret_cast<CreatePlugin>(kelvane::platform::findExport(handle_, "createPlugin"))();
  }

private:
  void *handle_ = nullptr;
};

// A map record whose host bytes are random and whose plugin fields are given.
struct MapFields {
  std::int32_t type = 1;
  std::int32_t df = 10;
  std::int32_t overlay = 0;
};

inline ondrava::MapRecord randomRecord(std::mt19937 &random, const MapFields &fields) {
  ondrava::MapRecord rec;
  for (auto &byte : rec)
    byte = static_cast<unsigned char>(random());
  kelvane::record::write(rec.data(), kelvane::record::kMapType, fields.type);
  kelvane::record::write(rec.data(), kelvane::record::kDegreesOfFreedom, fields.df);
  kelvane::record::write(rec.data(), kelvane::record::kOverlayState, fields.overlay);
  return rec;
}

using Strings = std::vector<std::string>;

// The host calls of a passing initPlugin, in order, for document id 0.
inline const Strings kPassingInitCalls = {
    "zuGetVersionOfOndravaZU()",
    "zuShowLogTab()",
    "zuLogText( )",
    "zuLogText(Kelvane>  Running Kelvane Plugin...)",
    "zuLogText(Kelvane>)",
    "zuGetIDOfCurrentDocument()",
    "zuGetDocumentType(0)",
    "zuGetNRVMPsOfCurrentVMR()",
};

// The parameter reads that open every run, one per key, in order.
inline const Strings kOptionReads = {
    "zuGetIntParameter(DoSetMin)",         "zuGetFloatParameter(Min)",
    "zuGetIntParameter(DoSetMinP)",        "zuGetFloatParameter(MinP)",
    "zuGetIntParameter(DoSetMax)",         "zuGetFloatParameter(Max)",
    "zuGetIntParameter(DoClusterSize)",    "zuGetIntParameter(ClusterSize)",
    "zuGetIntParameter(DoUseClusterSize)", "zuGetIntParameter(UseCluster)",
    "zuGetIntParameter(DoShowPosNegBoth)", "zuGetIntParameter(PNB)",
    "zuGetIntParameter(DoTransparancy)",   "zuGetFloatParameter(Trans)",
    "zuGetIntParameter(DoOverlayMaps)",    "zuGetStringParameter(Overlay)",
};

inline Strings concat(std::initializer_list<Strings> parts) {
  Strings all;
  for (const Strings &part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

template <typename T> T field(const ondrava::MapRecord &rec, std::size_t offset) {
  return kelvane::record::read<T>(rec.data(), offset);
}

class PluginTest : public ::testing::Test {
protected:
  void SetUp() override {
    ondrava::resetState();
    ASSERT_TRUE(module_.load(KELVANE_MODULE_PATH)) << KELVANE_MODULE_PATH;
  }
  void TearDown() override { module_.unload(); }

  ondrava::HostState &host() { return ondrava::state(); }

  ODZUPluginInterface *create() { return module_.create(); }

  // n maps of the given fields, with random host bytes.
  void loadMaps(const std::vector<MapFields> &maps) {
    host().maps.clear();
    for (const MapFields &fields : maps)
      host().maps.push_back(randomRecord(random_, fields));
  }
  void loadMaps(int n) { loadMaps(std::vector<MapFields>(static_cast<std::size_t>(n))); }

  // initPlugin on a fresh object, then forgets what it logged and called.
  bool initQuietly() {
    ODZUPluginInterface *plugin = create();
    const bool ok = plugin->initPlugin();
    delete plugin;
    host().log.clear();
    host().calls.clear();
    return ok;
  }

  // One object: initPlugin, and execute when that passes. The object is kept
  // until the end so its destructor's line comes last.
  struct Outcome {
    bool initialised = false;
    bool executed = false;
  };
  Outcome run() {
    Outcome outcome;
    ODZUPluginInterface *plugin = create();
    outcome.initialised = plugin->initPlugin();
    if (outcome.initialised)
      outcome.executed = plugin->execute();
    delete plugin;
    return outcome;
  }

  // execute alone on an object that passed initPlugin; log and calls then
  // hold only what execute did.
  bool execute() {
    ODZUPluginInterface *plugin = create();
    EXPECT_TRUE(plugin->initPlugin());
    host().log.clear();
    host().calls.clear();
    const bool result = plugin->execute();
    // The destructor's blank line is not part of the run.
    const auto logSize = host().log.size();
    const auto callSize = host().calls.size();
    delete plugin;
    host().log.resize(logSize);
    host().calls.resize(callSize);
    return result;
  }

  Module module_;
  std::mt19937 random_{20261207};
};

} // namespace testing_support
