// Ondrava.exe, the stand-in host as a program: loads the Kelvane module, runs
// it once on a workspace (the built-in demo, or a JSON file) with the options
// the dialog would have stored, and prints the log pane, any message box and
// every map before and after the run.
//
// Exit status: 0 when initPlugin and execute both succeeded, 1 when either
// refused, 2 for bad input or a file or output that cannot be read or written
// (only the error is printed then). --save writes only after exit status 0.
#include "file_io.h"
#include "inputs.h"
#include "kelvane_plugin.h"
#include "plugin_loader.h"
#include "report.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <tuple>

namespace {

using namespace ondrava;

std::string helpFooter() {
  std::string text =
      "\nWithout --workspace the built-in demo workspace is used and, unless --options or --set\n"
      "is given, the demo's options (p 0.05 as the lower threshold, cluster size 25 applied, maps\n"
      "1,3-4 overlaid). With --workspace the parameter store starts empty, as in a host whose\n"
      "dialog never ran: without --options or --set the plugin says \"No options selected\".\n"
      "\nOption keys (--options FILE holds them as a JSON object, --set KEY=VALUE sets one):\n";
  for (std::size_t i = 0; i < kelvane::kOptionKeyCount; ++i) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-18s%-13s%s\n", kelvane::kOptionKeys[i].name,
                  typeName(kelvane::kOptionKeys[i]), kOptionMeanings[i]);
    text += line;
  }
  text += "Numbers are 32-bit; a text holds at most " + std::to_string(kMaxTextBytes) +
          " bytes. A switch is off at 0 and on at any other value (true/false also do).\n"
          "Each value takes effect only with its Do... switch on; DoSetMinP needs DoSetMin too.\n"
          "\nExit status:\n"
          "  0  initPlugin and execute both succeeded (and --save wrote its file)\n"
          "  1  the plugin refused: initPlugin or execute returned false (nothing is saved)\n"
          "  2  bad input or a file that could not be read or written (nothing is saved); input files\n"
          "     are limited to " +
          std::to_string(kMaxInputFileBytes >> 20) + " MiB\n";
  return text;
}

// What the program writes cannot be written: the answer is lost, so exit
// status 2 and a line on standard error are all that is left to say.
struct OutputFailure {
  int reason;
};

void put(std::FILE *stream, const std::string &text) {
  if (const int reason = writeAll(stream, text); reason != 0 && stream == stdout)
    throw OutputFailure{reason};
}

struct Invocation {
  // Empty when not given: the plugin built next to the program, the demo
  // workspace, no options file, nothing saved.
  std::string pluginPath, workspacePath, optionsPath, savePath;
  std::vector<std::string> settings;
};

// Nothing when --help was asked for and answered.
std::optional<Invocation> parseCommandLine(int argc, char **argv) {
  Invocation in;
  CLI::App app{
      "Ondrava.exe, the stand-in host: runs the Kelvane plugin once on a workspace, the way the host\n"
      "would (initPlugin, then execute), and prints the log pane, any message box and every map\n"
      "before and after the run."};
  // Every option that names a file goes through this one check.
  const CLI::Validator path(
      [](const std::string &value) { return value.empty() ? "an empty path names no file" : ""; }, "PATH");
  const std::tuple<const char *, std::string *, const char *, const char *> paths[] = {
      {"--plugin", &in.pluginPath, "PATH",
       "the plugin module (default: the one built next to this program); a name without a\n"
       "slash is a file in the current folder"},
      {"--workspace", &in.workspacePath, "FILE",
       "workspace JSON file (default: the built-in demo workspace)"},
      {"--options", &in.optionsPath, "FILE", "JSON file with the plugin's option keys"},
      {"--save", &in.savePath, "FILE",
       "after a successful run, write the workspace to this JSON file (atomically: the old\n"
       "file stays whole if the write fails)"},
  };
  for (const auto &[name, value, type, help] : paths)
    app.add_option(name, *value, help)->type_name(type)->check(path);
  app.add_option("--set", in.settings, "one option, checked against the key's type (repeatable)")
      ->type_name("KEY=VALUE");
  app.add_flag("--json", "machine-readable output, errors included");
  app.footer(helpFooter());
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &) {
    put(stdout, app.help());
    return std::nullopt;
  } catch (const CLI::ParseError &e) {
    throw InputError{{}, "command line", 0, 0, {}, shorten(e.what())};
  }
  return in;
}

// One run in the stand-in host: the workspace and the options become the
// host's state, the host calls initPlugin and execute, and the maps the
// plugin changed go back into the workspace.
void runPlugin(const PluginModule &module, Workspace &workspace, RunReport &report) {
  const auto text = [&](const char *getter) {
    const char *value = module.text(getter);
    return value != nullptr ? std::string(value) : std::string("(no ") + getter + ")";
  };
  report.pluginName = text("getPluginName");
  report.pluginVersion = text("getPluginVersion");
  HostState &host = state();
  std::copy(std::begin(workspace.version), std::end(workspace.version), host.version);
  Document *document = workspace.current();
  host.currentDocument = document != nullptr ? document->id : -1;
  host.documentType = document != nullptr ? document->type : 0;
  // Only a VMR's maps are the plugin's to see.
  const std::string id = std::to_string(workspace.currentDocument);
  if (document == nullptr)
    report.noMaps = "There is no current document: no document has the id " + id + ".";
  else if (document->type != kelvane::kVmrDocumentType)
    report.noMaps = "The current document (id " + id + ") is of type " + std::to_string(document->type) +
                    ", not a VMR (type " + std::to_string(kelvane::kVmrDocumentType) +
                    "): the plugin is not given its maps.";
  else
    report.before = document->maps;
  for (const Map &map : report.before)
    host.maps.push_back(map.record);

  const std::unique_ptr<ODZUPluginInterface> plugin(module.createPlugin()());
  if (plugin == nullptr)
    failIn(report.pluginPath, "the plugin could not be created (createPlugin returned null)");
  report.initialised = plugin->initPlugin();
  report.executed = report.initialised && plugin->execute();
  // The run's log as the user sees it when the run ends; ending the plugin
  // object afterwards adds one blank line.
  report.log = host.log;
  report.messages = host.messages;
  report.after = report.before;
  for (std::size_t i = 0; i < report.after.size(); ++i)
    report.after[i].record = host.maps[i];
  if (report.noMaps.empty())
    document->maps = report.after;
}

// The report of the run, if there was one, and the error, if there was one:
// as text, or as one JSON object.
void answer(bool json, const RunReport *report, const std::optional<InputError> &error,
            const std::string &savePath, bool saved) {
  if (json) {
    nlohmann::ordered_json out = report != nullptr ? jsonReport(*report) : nlohmann::ordered_json::object();
    if (error)
      out["error"] = error->toJson();
    if (!savePath.empty())
      out["saved"] = saved;
    return put(stdout, dumpJson(out) + "\n");
  }
  const std::string target = escapeText(savePath);
  std::string text = report != nullptr ? textReport(*report) : "";
  if (saved)
    text += "Saved the workspace to " + target + "\n";
  else if (report != nullptr && !savePath.empty() && !error)
    text += "Nothing was saved to " + target + ": the run was refused.\n";
  put(stdout, text);
  if (error)
    put(stderr,
        "Ondrava.exe: " + errorText(*error) + "\n" +
            (report == nullptr && !savePath.empty() ? "Ondrava.exe: nothing was saved to " + target + "\n"
                                                    : ""));
}

} // namespace

int main(int argc, char **argv) {
  prepareOutput();
  // Known before anything else is read, so that even a bad command line is answered in JSON.
  const bool json =
      std::any_of(argv + 1, argv + argc, [](const char *arg) { return std::strcmp(arg, "--json") == 0; });
  std::string savePath;
  try {
    try {
      const std::optional<Invocation> invocation = parseCommandLine(argc, argv);
      if (!invocation)
        return 0;
      savePath = invocation->savePath;
      // Everything is read and checked before anything is loaded or printed.
      // The demo's options apply only to the demo workspace with neither
      // --options nor --set; a user's workspace starts with an empty
      // parameter store.
      const std::string &workspacePath = invocation->workspacePath;
      RunReport report;
      report.workspace = workspacePath.empty() ? "built-in demo" : workspacePath;
      Workspace workspace = workspacePath.empty()
                                ? parseWorkspace(demoWorkspaceJson(), Source{"demo workspace", {}})
                                : parseWorkspace(readFile(workspacePath), Source{workspacePath, {}});
      // The options go straight into the host's parameter store.
      Options &options = state();
      if (workspacePath.empty() && invocation->optionsPath.empty() && invocation->settings.empty())
        parseOptions(demoOptionsJson(), Source{"demo options", {}}, options);
      if (!invocation->optionsPath.empty())
        parseOptions(readFile(invocation->optionsPath), Source{invocation->optionsPath, {}}, options);
      for (const std::string &setting : invocation->settings)
        parseSetting(setting, options);
      report.pluginPath =
          invocation->pluginPath.empty() ? PluginModule::defaultPath() : invocation->pluginPath;
      checkInputFile(report.pluginPath);
      PluginModule module;
      if (!module.load(report.pluginPath))
        failIn(report.pluginPath, shorten(module.error()));
      runPlugin(module, workspace, report);
      // The new file is written and flushed before the report, and takes the
      // old one's place only once the report is out: a report that cannot be
      // written leaves the old file as it was.
      const bool succeeded = report.initialised && report.executed;
      std::optional<InputError> saveError;
      std::optional<StagedFile> file;
      try {
        if (!savePath.empty() && succeeded)
          file.emplace(savePath, savedText(workspace, savePath, kMaxInputFileBytes));
      } catch (const InputError &error) {
        saveError = error;
      }
      answer(json, &report, saveError, savePath, file.has_value());
      try {
        if (file)
          file->commit();
      } catch (const InputError &error) {
        put(stderr, "Ondrava.exe: " + errorText(error) + "\n");
        return 2;
      }
      return saveError ? 2 : succeeded ? 0 : 1;
    } catch (const InputError &error) {
      answer(json, nullptr, error, savePath, false);
    } catch (const std::exception &e) {
      const bool memory = dynamic_cast<const std::bad_alloc *>(&e) != nullptr;
      const std::string why = memory ? "out of memory: the input is too large to hold" : shorten(e.what());
      answer(json, nullptr, InputError{{}, {}, 0, 0, {}, why}, savePath, false);
    }
    return 2;
  } catch (const OutputFailure &failure) {
    std::fprintf(stderr, "Ondrava.exe: cannot write the output (%s)%s\n", std::strerror(failure.reason),
                 savePath.empty() ? "" : "; nothing was saved");
    return 2;
  }
}
