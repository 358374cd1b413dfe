// Ondrava.exe, the stand-in host: loads the Kelvane module, runs it once on a
// small demo workspace and prints the log pane and the maps before and after.
#include "host_state.h"
#include "map_record.h"
#include "plugin_loader.h"

#include "../plugin/kelvane_plugin.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

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
  std::string full(path);
  const std::size_t slash = full.find_last_of("/\\");
  return slash == std::string::npos ? "." : full.substr(0, slash);
}

std::string defaultPluginPath() {
  const std::string dir = programDirectory();
  const std::string name = ondrava::PluginModule::defaultFileName();
  for (const std::string &candidate : {dir + "/../plugin/" + name, dir + "/../" + name, dir + "/" + name}) {
    if (std::FILE *file = std::fopen(candidate.c_str(), "rb")) {
      std::fclose(file);
      return candidate;
    }
  }
  return dir + "/" + name;
}

struct DemoMap {
  std::int32_t type;
  std::int32_t df;
  float lower;
  float upper;
  std::int32_t clusterSize;
  std::int32_t useCluster;
  std::int32_t sign;
  float transparency;
  std::int32_t overlay;
};

ondrava::MapRecord makeRecord(const DemoMap &m) {
  using namespace kelvane::record;
  ondrava::MapRecord rec{};
  unsigned char *r = rec.data();
  write(r, kMapType, m.type);
  write(r, kLowerThreshold, m.lower);
  write(r, kUpperThreshold, m.upper);
  write(r, kClusterSize, m.clusterSize);
  write(r, kUseCluster, m.useCluster);
  write(r, kDegreesOfFreedom, m.df);
  write(r, kSignShown, m.sign);
  write(r, kTransparency, m.transparency);
  write(r, kOverlayState, m.overlay);
  return rec;
}

void printMaps(const char *title, const std::vector<ondrava::MapRecord> &maps) {
  using namespace kelvane::record;
  std::printf("%s\n", title);
  std::printf("  map  type     df    lower    upper  cluster  use  sign  transp  overlay\n");
  for (std::size_t i = 0; i < maps.size(); ++i) {
    const unsigned char *r = maps[i].data();
    std::printf("  %3zu  %4d  %5d  %7.4f  %7.4f  %7d  %3d  %4d  %6.2f  %7d\n", i + 1,
                read<std::int32_t>(r, kMapType), read<std::int32_t>(r, kDegreesOfFreedom),
                static_cast<double>(read<float>(r, kLowerThreshold)),
                static_cast<double>(read<float>(r, kUpperThreshold)), read<std::int32_t>(r, kClusterSize),
                read<std::int32_t>(r, kUseCluster), read<std::int32_t>(r, kSignShown),
                static_cast<double>(read<float>(r, kTransparency)), read<std::int32_t>(r, kOverlayState));
  }
}

} // namespace

int main(int argc, char **argv) {
  std::string pluginPath = defaultPluginPath();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--plugin") == 0 && i + 1 < argc) {
      pluginPath = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--plugin PATH]\n", argv[0]);
      return 2;
    }
  }

  auto &host = ondrava::state();
  // t maps with different degrees of freedom, one correlation map (type 2).
  host.maps = {
      makeRecord({1, 10, 3.0f, 8.0f, 4, 0, 3, 1.0f, 1}), makeRecord({1, 30, 3.0f, 8.0f, 4, 0, 3, 1.0f, 0}),
      makeRecord({2, 0, 0.2f, 1.0f, 4, 0, 3, 1.0f, 1}), makeRecord({1, 100, 3.0f, 8.0f, 4, 0, 3, 1.0f, 0})};
  host.ints = {{"DoSetMin", 1},         {"DoSetMinP", 1},  {"DoClusterSize", 1}, {"ClusterSize", 25},
               {"DoUseClusterSize", 1}, {"UseCluster", 1}, {"DoOverlayMaps", 1}};
  host.floats = {{"MinP", 0.05f}};
  host.strings = {{"Overlay", "1,3-4"}};
  const std::vector<ondrava::MapRecord> before = host.maps;

  ondrava::PluginModule module;
  if (!module.load(pluginPath)) {
    std::fprintf(stderr, "Ondrava.exe: %s\n", module.error().c_str());
    return 2;
  }
  std::printf("Plugin: %s %s (%s)\n", module.text("getPluginName"), module.text("getPluginVersion"),
              pluginPath.c_str());
  ODZUPluginInterface *plugin = module.createPlugin()();
  if (plugin == nullptr) {
    std::fprintf(stderr, "Ondrava.exe: the plugin could not be created\n");
    return 1;
  }
  const bool initialised = plugin->initPlugin();
  const bool executed = initialised && plugin->execute();
  delete plugin;

  std::printf("\nLog pane:\n");
  for (const std::string &line : host.log)
    std::printf("  |%s\n", line.c_str());
  for (const std::string &message : host.messages)
    std::printf("\nMessage box: %s\n", message.c_str());
  std::printf("\n");
  printMaps("Maps before the run:", before);
  printMaps("Maps after the run:", host.maps);
  return initialised && executed ? 0 : 1;
}
