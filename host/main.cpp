// Ondrava.exe, the stand-in host as a program: loads the Kelvane module, runs
// it once on a workspace (the built-in demo, or a JSON file) with the options
// the dialog would have stored, and prints the log pane, any message box and
// every map before and after the run.
//
// Exit status: 0 when initPlugin and execute both succeeded, 1 when either
// refused, 2 for bad input (nothing else is printed then).
#include "host_state.h"
#include "map_record.h"
#include "plugin_loader.h"
#include "workspace.h"

#include "kelvane_plugin.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

namespace rec = kelvane::record;

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

// The module built next to this program: in the build tree under plugin/, in
// an installed plugin folder one level up.
std::string defaultPluginPath() {
  const std::string dir = programDirectory();
  const std::string name = ondrava::PluginModule::defaultFileName();
  for (const std::string &candidate : {dir + "/../plugin/" + name, dir + "/../" + name, dir + "/" + name}) {
    if (std::ifstream(candidate).good())
      return candidate;
  }
  return dir + "/" + name;
}

int badInput(const std::string &message) {
  std::cerr << "Ondrava.exe: " << message << "\n";
  return 2;
}

struct Column {
  const char *title;
  int width;
  std::string (*format)(const unsigned char *record);
};

std::string formatInt(std::int32_t value) { return std::to_string(value); }
std::string formatFloat(float value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, static_cast<double>(value));
  return text;
}

const Column kColumns[] = {
    {"type", 4, [](const unsigned char *r) { return formatInt(rec::read<std::int32_t>(r, rec::kMapType)); }},
    {"df", 6,
     [](const unsigned char *r) { return formatInt(rec::read<std::int32_t>(r, rec::kDegreesOfFreedom)); }},
    {"lower", 10,
     [](const unsigned char *r) { return formatFloat(rec::read<float>(r, rec::kLowerThreshold), 4); }},
    {"upper", 10,
     [](const unsigned char *r) { return formatFloat(rec::read<float>(r, rec::kUpperThreshold), 4); }},
    {"cluster", 8,
     [](const unsigned char *r) { return formatInt(rec::read<std::int32_t>(r, rec::kClusterSize)); }},
    {"use", 4,
     [](const unsigned char *r) { return formatInt(rec::read<std::int32_t>(r, rec::kUseCluster)); }},
    {"sign", 5,
     [](const unsigned char *r) { return formatInt(rec::read<std::int32_t>(r, rec::kSignShown)); }},
    {"transp", 7,
     [](const unsigned char *r) { return formatFloat(rec::read<float>(r, rec::kTransparency), 2); }},
    {"overlay", 8,
     [](const unsigned char *r) { return formatInt(rec::read<std::int32_t>(r, rec::kOverlayState)); }},
};

std::string pad(const std::string &text, int width, bool left = false) {
  if (static_cast<int>(text.size()) >= width)
    return text;
  const std::string fill(static_cast<std::size_t>(width) - text.size(), ' ');
  return left ? text + fill : fill + text;
}

void printMapTable(const std::vector<ondrava::Map> &before, const std::vector<ondrava::Map> &after) {
  std::printf("Maps before and after the run (* marks a changed value):\n");
  std::string header = "  map  " + pad("name", 18, true);
  for (const Column &column : kColumns)
    header += " " + pad(column.title, column.width);
  std::printf("%s\n", header.c_str());
  for (std::size_t i = 0; i < before.size(); ++i) {
    std::string name = before[i].name.substr(0, 18);
    std::string first = "  " + pad(std::to_string(i + 1), 3) + "  " + pad(name, 18, true);
    std::string second = "  " + pad("", 3) + "  " + pad("", 18, true);
    for (const Column &column : kColumns) {
      const std::string old = column.format(before[i].record.data());
      const std::string now = column.format(after[i].record.data());
      first += " " + pad(old, column.width);
      second += " " + pad((old == now ? "" : "*") + now, column.width);
    }
    std::printf("%s  before\n%s  after\n", first.c_str(), second.c_str());
  }
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"Ondrava.exe, the stand-in host: runs the Kelvane plugin once on a workspace."};
  std::string pluginPath = defaultPluginPath();
  std::string workspacePath;
  std::string optionsPath;
  std::vector<std::string> settings;
  std::string savePath;
  bool jsonOutput = false;
  app.add_option("--plugin", pluginPath, "the plugin module (default: the one built next to this program)");
  app.add_option("--workspace", workspacePath, "workspace JSON file (default: a built-in demo workspace)");
  app.add_option("--options", optionsPath, "JSON file with the plugin's option keys");
  app.add_option("--set", settings, "one option as KEY=VALUE, checked against the key's type (repeatable)");
  app.add_option("--save", savePath, "write the workspace after the run to this JSON file");
  app.add_flag("--json", jsonOutput, "machine-readable output");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    return badInput(e.what());
  }

  // Everything is read and checked before anything is printed.
  std::string error;
  ondrava::Workspace workspace;
  std::string text;
  if (workspacePath.empty()) {
    if (!ondrava::parseWorkspace(ondrava::demoWorkspaceJson(), "demo workspace", workspace, &error))
      return badInput(error);
  } else if (!ondrava::readFile(workspacePath, text, &error) ||
             !ondrava::parseWorkspace(text, workspacePath, workspace, &error)) {
    return badInput(error);
  }
  ondrava::Options options;
  if (optionsPath.empty() && settings.empty()) {
    // The demo's choices: p 0.05 as threshold, cluster size 25 applied, maps 1, 3 and 4 overlaid.
    options.ints = {{"DoSetMin", 1},         {"DoSetMinP", 1},  {"DoClusterSize", 1}, {"ClusterSize", 25},
                    {"DoUseClusterSize", 1}, {"UseCluster", 1}, {"DoOverlayMaps", 1}};
    options.floats = {{"MinP", 0.05f}};
    options.strings = {{"Overlay", "1,3-4"}};
  }
  if (!optionsPath.empty() && (!ondrava::readFile(optionsPath, text, &error) ||
                               !ondrava::parseOptions(text, optionsPath, options, &error)))
    return badInput(error);
  for (const std::string &setting : settings)
    if (!ondrava::parseSetting(setting, options, &error))
      return badInput(error);

  ondrava::PluginModule module;
  if (!module.load(pluginPath))
    return badInput(module.error());

  auto &host = ondrava::state();
  host.version[0] = workspace.version[0];
  host.version[1] = workspace.version[1];
  host.version[2] = workspace.version[2];
  ondrava::Document *document = workspace.current();
  host.currentDocument = document != nullptr ? document->id : -1;
  host.documentType = document != nullptr ? document->type : 0;
  std::vector<ondrava::Map> before;
  if (document != nullptr && document->type == 3) {
    before = document->maps;
    for (const ondrava::Map &map : document->maps)
      host.maps.push_back(map.record);
  }
  host.ints = options.ints;
  host.floats = options.floats;
  host.strings = options.strings;

  ODZUPluginInterface *plugin = module.createPlugin()();
  if (plugin == nullptr)
    return badInput("the plugin could not be created");
  const bool initialised = plugin->initPlugin();
  const bool executed = initialised && plugin->execute();
  // The run's log as the user sees it when the run ends; ending the plugin
  // object afterwards adds one blank line.
  const std::vector<std::string> log = host.log;
  delete plugin;

  std::vector<ondrava::Map> after = before;
  for (std::size_t i = 0; i < after.size(); ++i)
    after[i].record = host.maps[i];
  if (document != nullptr && document->type == 3)
    document->maps = after;

  if (!savePath.empty()) {
    std::ofstream out(savePath, std::ios::binary);
    out << ondrava::toJson(workspace).dump(2) << "\n";
    if (!out)
      return badInput(savePath + ": cannot write the file");
  }

  if (jsonOutput) {
    nlohmann::ordered_json result;
    result["plugin"] = pluginPath;
    result["initialised"] = initialised;
    result["executed"] = executed;
    result["log"] = log;
    result["messages"] = host.messages;
    result["maps"] = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < before.size(); ++i)
      result["maps"].push_back(
          {{"before", ondrava::mapToJson(before[i])}, {"after", ondrava::mapToJson(after[i])}});
    std::printf("%s\n", result.dump(2).c_str());
  } else {
    std::printf("Plugin: %s %s (%s)\n", module.text("getPluginName"), module.text("getPluginVersion"),
                pluginPath.c_str());
    std::printf("Workspace: %s\n\nLog pane:\n",
                workspacePath.empty() ? "built-in demo" : workspacePath.c_str());
    for (const std::string &line : log)
      std::printf("  %s\n", line.c_str());
    for (const std::string &message : host.messages)
      std::printf("\nMessage box: %s\n", message.c_str());
    std::printf("\n");
    if (before.empty())
      std::printf("No maps are loaded on the current document.\n");
    else
      printMapTable(before, after);
    std::printf("\nResult: initPlugin %s, execute %s\n", initialised ? "true" : "false",
                initialised ? (executed ? "true" : "false") : "not called");
  }
  return initialised && executed ? 0 : 1;
}
