// Ondrava.exe, the stand-in host as a program: loads the Kelvane module, runs
// it once on a workspace (the built-in demo, or a JSON file) with the options
// the dialog would have stored, and prints the log pane, any message box and
// every map before and after the run.
//
// Exit status: 0 when initPlugin and execute both succeeded, 1 when either
// refused, 2 for bad input or a file or output that cannot be read or written
// (only the error is printed then). --save writes only after exit status 0.
#include "command_line.h"
#include "file_io.h"
#include "kelvane_plugin.h"
#include "options_input.h"
#include "plugin_loader.h"
#include "report.h"
#include "workspace.h"

#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace {

using namespace ondrava;

// What the program writes cannot be written: the answer is lost, so exit
// status 2 and a line on standard error are all that is left to say.
struct OutputFailure {
  int reason;
};

void put(std::FILE *stream, const std::string &text) {
  if (const int reason = writeAll(stream, text); reason != 0 && stream == stdout)
    throw OutputFailure{reason};
}

// Everything is read and checked before anything is loaded or printed. The
// demo's options apply only to the demo workspace with neither --options nor
// --set; a user's workspace starts with an empty parameter store.
struct Inputs {
  Workspace workspace;
  Options options;
  std::string label; // the file, or "built-in demo"
};

Inputs readInputs(const Invocation &invocation) {
  Inputs in;
  if (invocation.workspacePath.empty()) {
    in.workspace = parseWorkspace(demoWorkspaceJson(), Source{"demo workspace", {}});
    in.label = "built-in demo";
    if (invocation.optionsPath.empty() && invocation.settings.empty())
      in.options = demoOptions();
  } else {
    in.workspace = parseWorkspace(readFile(invocation.workspacePath), Source{invocation.workspacePath, {}});
    in.label = invocation.workspacePath;
  }
  if (!invocation.optionsPath.empty())
    parseOptions(readFile(invocation.optionsPath), Source{invocation.optionsPath, {}}, in.options);
  for (const std::string &setting : invocation.settings)
    parseSetting(setting, in.options);
  return in;
}

// One run in the stand-in host: the workspace and the options become the
// host's state, the host calls initPlugin and execute, and the maps the
// plugin changed go back into the workspace.
RunReport runPlugin(const PluginModule &module, const std::string &pluginPath, Inputs &inputs) {
  RunReport report;
  report.pluginPath = pluginPath;
  const auto text = [&](const char *getter) {
    const char *value = module.text(getter);
    return value != nullptr ? std::string(value) : std::string("(no ") + getter + ")";
  };
  report.pluginName = text("getPluginName");
  report.pluginVersion = text("getPluginVersion");
  report.workspace = inputs.label;

  HostState &host = state();
  std::copy(std::begin(inputs.workspace.version), std::end(inputs.workspace.version), host.version);
  Document *document = inputs.workspace.current();
  host.currentDocument = document != nullptr ? document->id : -1;
  host.documentType = document != nullptr ? document->type : 0;
  report.documentId = inputs.workspace.currentDocument;
  report.documentType = host.documentType;
  // Only a VMR's maps are the plugin's to see.
  report.document = document == nullptr                           ? DocumentState::None
                    : document->type != kelvane::kVmrDocumentType ? DocumentState::NotVmr
                                                                  : DocumentState::Vmr;
  if (report.document == DocumentState::Vmr) {
    report.before = document->maps;
    for (const Map &map : document->maps)
      host.maps.push_back(map.record);
  }
  host.ints = inputs.options.ints;
  host.floats = inputs.options.floats;
  host.strings = inputs.options.strings;

  const std::unique_ptr<ODZUPluginInterface> plugin(module.createPlugin()());
  if (plugin == nullptr)
    throw InputError{pluginPath, {}, 0,
                     0,          {}, "the plugin could not be created (createPlugin returned null)"};
  report.initialised = plugin->initPlugin();
  report.executed = report.initialised && plugin->execute();
  // The run's log as the user sees it when the run ends; ending the plugin
  // object afterwards adds one blank line.
  report.log = host.log;
  report.messages = host.messages;

  report.after = report.before;
  for (std::size_t i = 0; i < report.after.size(); ++i)
    report.after[i].record = host.maps[i];
  if (report.document == DocumentState::Vmr)
    document->maps = report.after;
  return report;
}

int answerError(bool json, const InputError &error, const std::string &savePath) {
  if (json) {
    nlohmann::ordered_json out;
    out["error"] = error.toJson();
    if (!savePath.empty())
      out["saved"] = false;
    put(stdout, dumpJson(out) + "\n");
  } else {
    std::string text = "Ondrava.exe: " + errorText(error) + "\n";
    if (!savePath.empty())
      text += "Ondrava.exe: nothing was saved to " + escapeText(savePath) + "\n";
    put(stderr, text);
  }
  return 2;
}

// The report, and the save after a successful run. The new file is written
// and flushed before the report, and takes the old one's place only once the
// report is out: a report that cannot be written leaves the old file.
int answerRun(bool json, const RunReport &report, const std::string &savePath, const Workspace &workspace) {
  const bool succeeded = report.initialised && report.executed;
  std::optional<InputError> saveError;
  std::optional<StagedFile> file;
  if (!savePath.empty() && succeeded) {
    try {
      file.emplace(savePath, savedText(workspace, savePath, kMaxInputFileBytes));
    } catch (const InputError &error) {
      saveError = error;
    }
  }
  const std::string target = escapeText(savePath);
  if (json) {
    nlohmann::ordered_json out = jsonReport(report);
    if (!savePath.empty())
      out["saved"] = file.has_value();
    if (saveError)
      out["error"] = saveError->toJson();
    put(stdout, dumpJson(out) + "\n");
  } else {
    std::string text = textReport(report);
    if (file)
      text += "Saved the workspace to " + target + "\n";
    else if (!savePath.empty() && !succeeded)
      text += "Nothing was saved to " + target + ": the run was refused.\n";
    put(stdout, text);
    if (saveError)
      put(stderr, "Ondrava.exe: " + errorText(*saveError) + "\n");
  }
  if (file) {
    try {
      file->commit();
    } catch (const InputError &error) {
      put(stderr, "Ondrava.exe: " + errorText(error) + "\n");
      return 2;
    }
  }
  return saveError ? 2 : succeeded ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
  prepareOutput();
  const bool json = wantsJson(argc, argv);
  std::string savePath;
  try {
    try {
      const Invocation invocation = parseCommandLine(argc, argv);
      if (!invocation.help.empty()) {
        put(stdout, invocation.help);
        return 0;
      }
      savePath = invocation.savePath;
      Inputs inputs = readInputs(invocation);
      const std::string pluginPath =
          invocation.pluginPath.empty() ? PluginModule::defaultPath() : invocation.pluginPath;
      checkInputFile(pluginPath);
      PluginModule module;
      if (!module.load(pluginPath))
        throw InputError{pluginPath, {}, 0, 0, {}, shorten(module.error())};
      const RunReport report = runPlugin(module, pluginPath, inputs);
      return answerRun(json, report, savePath, inputs.workspace);
    } catch (const InputError &error) {
      return answerError(json, error, savePath);
    } catch (const std::bad_alloc &) {
      return answerError(json, InputError{{}, {}, 0, 0, {}, "out of memory: the input is too large to hold"},
                         savePath);
    } catch (const std::exception &e) {
      return answerError(json, InputError{{}, {}, 0, 0, {}, shorten(e.what())}, savePath);
    }
  } catch (const OutputFailure &failure) {
    std::fprintf(stderr, "Ondrava.exe: cannot write the output (%s)%s\n", std::strerror(failure.reason),
                 savePath.empty() ? "" : "; nothing was saved");
    return 2;
  }
}
