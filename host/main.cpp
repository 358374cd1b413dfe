// Ondrava.exe, the stand-in host as a program: loads the Kelvane module, runs
// it once on a workspace (the built-in demo, or a JSON file) with the options
// the dialog would have stored, and prints the log pane, any message box and
// every map before and after the run. Its exit statuses are stated once, in
// the help (helpFooter). --save writes only after a successful run, and what
// the program says of it is what happened.
#include "files.h"
#include "inputs.h"
#include "kelvane_plugin.h"
#include "plugin_loader.h"
#include "process.h"
#include "report.h"

#include <CLI/CLI.hpp>

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <tuple>

namespace {

using namespace ondrava;

// The help's end: what no table of the program's gives.
constexpr const char *kHelpEnd =
    "off at 0 and on at any other value (true/false also do). --set takes a number as a dialog's field\n"
    "does: 7, -7, +7, .5, 5., 1e3 (whole for an integer); not 0x1F, inf, nan, 1,5 or 1_000.\n"
    "\nExit status:\n"
    "  0  initPlugin and execute succeeded, --save (if given) saved its file, the report is out (a\n"
    "     folder that cannot be flushed to the disk after the save is a warning)\n"
    "  1  the plugin refused: initPlugin or execute returned false (nothing is saved)\n"
    "  2  bad input, a file or output that cannot be read or written, out of memory, or a plugin that\n"
    "     threw or called exit: the error says what happened and whether the file was saved\n"
    "A plugin that crashes ends the program with its signal, after a line on standard error; one that\n"
    "calls _exit or quick_exit ends it at once with its own status, and says nothing.\n";

std::string helpFooter() {
  std::string demo;
  const nlohmann::ordered_json demoOptions = nlohmann::ordered_json::parse(kDemoOptions);
  for (auto option = demoOptions.begin(); option != demoOptions.end(); ++option)
    demo += " " + option.key() + "=" + (option->is_string() ? option->get<std::string>() : option->dump());
  std::string text =
      "The parameter store starts as the host's dialog leaves it, each key at its default (KEY=default\n"
      "below). Without --workspace the demo workspace is used, with the demo's options:\n " +
      demo +
      "\n--options, then each --set, change only the keys they name. The run goes on after a warning for\n"
      "a key of --set the plugin will not use; a value the dialog never stores, or that a 32-bit float\n"
      "makes 0 (or a p 1); and Min above Max.\n"
      "\nOption keys (--options FILE holds them as a JSON object, --set KEY=VALUE sets one):\n";
  // Each key with what it means and the switches it needs, root first; on
  // a line of its own where the line would grow past 100 characters.
  for (const kelvane::OptionKey &key : kelvane::kOptionKeys) {
    std::string needs;
    for (auto id = key.needs; id != kelvane::kNoSwitch; id = kelvane::optionKey(id).needs)
      needs = std::string(kelvane::optionKey(id).name) + (needs.empty() ? "" : " and " + needs);
    char line[200];
    const int used = std::snprintf(line, sizeof line, "  %-20s%-12s%s",
                                   (std::string(key.name) + "=" + key.initial).c_str(),
                                   kelvane::typeName(key), key.meaning);
    const bool wrap = used + needs.size() + 8 > 100;
    text +=
        line + (needs.empty() ? "" : (wrap ? ";\n" + std::string(34, ' ') : "; ") + "needs " + needs) + "\n";
  }
  return text + "Numbers are 32-bit; a text holds at most " + std::to_string(kMaxTextBytes) +
         " bytes, an input file " + std::to_string(kMaxInputFileBytes >> 20) + " MiB. A switch is\n" +
         kHelpEnd;
}

// What the program writes cannot be written: the answer is lost, so exit
// status 2 and a line on standard error are all that is left to say.
struct OutputFailure {
  int reason;
};

void print(std::FILE *stream, const std::string &text) {
  if (const int reason = writeAll(stream, text); reason != 0 && stream == stdout)
    throw OutputFailure{reason};
}

struct Invocation {
  // Empty when not given: the plugin built next to the program, the demo
  // workspace, no options file, nothing saved.
  std::string pluginPath;
  std::string workspacePath;
  std::string optionsPath;
  std::string savePath;
  std::vector<std::string> settings;
};

// The options that name a file: name, where its value goes, type and help.
const std::tuple<const char *, std::string Invocation::*, const char *, const char *> kPathOptions[] = {
    {"--plugin", &Invocation::pluginPath, "PATH",
     "the plugin module (default: the one built next to this program)"},
    {"--workspace", &Invocation::workspacePath, "FILE", "workspace JSON file (default: the built-in demo)"},
    {"--options", &Invocation::optionsPath, "FILE", "JSON file with the plugin's option keys"},
    {"--save", &Invocation::savePath, "FILE",
     "after a successful run, write the workspace to this JSON file"},
};

// Every option that names a file goes through this one check.
std::string pathProblem(const std::string &value) {
  return value.empty() ? std::string("an empty path names no file")
         : value.front() == '-'
             ? shorten(value) + " would be read as an option; name such a file ./" + shorten(value)
             : std::string();
}

// What the library refused, in the program's words: "--option: what is
// wrong", as the path check says it, or a value missing.
[[noreturn]] void refuse(const CLI::ParseError &error) {
  const std::string what = error.what();
  const std::size_t colon = what.find(": ");
  Source{{}, colon == what.npos ? "command line" : what.substr(0, colon)}.fail(
      "", dynamic_cast<const CLI::ArgumentMismatch *>(&error) != nullptr
              ? "needs a value"
              : shorten(what.substr(colon + 2 * (colon != what.npos))));
}

// What the library would refuse in its own words, refused in the program's:
// a path option given twice, an unknown option, a stray word.
void refuseLeftovers(const CLI::App &app) {
  for (const auto &[name, value, type, help] : kPathOptions)
    if (app.count(name) > 1)
      Source{{}, name}.fail("", "given more than once; give it once");
  if (const std::vector<std::string> extra = app.remaining(); !extra.empty())
    Source{{}, extra.front().empty() ? "\"\"" : shorten(extra.front())}.fail(
        "", extra.front().rfind('-', 0) == 0 ? "not an option of this program (see --help)"
                                             : "neither an option nor an option's value (see --help)");
}

// Nothing when --help was asked for and answered. Whether the answer is JSON
// is known even when the command line is bad: as the parser read it, so that
// --json counts only where it is the switch, never an option's value.
std::optional<Invocation> parseCommandLine(int argc, char **argv, bool &json) {
  Invocation in;
  CLI::App app{
      "Ondrava.exe, the stand-in host: runs the Kelvane plugin once on a workspace (initPlugin, then\n"
      "execute) and prints the log pane, any message box and every map before and after the run.\n"};
  for (const auto &[name, value, type, help] : kPathOptions)
    app.add_option(name, in.*value, help)
        ->type_name(type)
        ->check(pathProblem)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option("--set", in.settings, "one option, checked against the key's type (repeatable)")
      ->type_name("KEY=VALUE")
      ->allow_extra_args(false);
  const CLI::Option *jsonFlag = app.add_flag("--json", "machine-readable output, errors included");
  app.footer(helpFooter());
  // What the library would refuse in its own words is refused after it, in the program's.
  app.allow_extras();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &) {
    print(stdout, app.help());
    return std::nullopt;
  } catch (const CLI::ParseError &e) {
    json = jsonFlag->count() > 0;
    refuse(e);
  }
  json = jsonFlag->count() > 0;
  refuseLeftovers(app);
  return in;
}

// The workspace, and the host's parameter store as the dialog leaves it:
// each key at its default, then the demo's options (without --workspace),
// --options and each --set over it. Warnings of what they name go into the
// report, which also learns the names of the plugin and the workspace.
Workspace readInputs(const Invocation &invocation, RunReport &report) {
  const std::string &path = invocation.workspacePath;
  Workspace workspace = path.empty() ? parseWorkspace(kDemoWorkspace, Source{"demo workspace", {}})
                                     : parseWorkspace(readFile(path), Source{path, {}});
  Options named;
  if (path.empty())
    parseOptions(kDemoOptions, Source{"demo options", {}}, named);
  if (!invocation.optionsPath.empty())
    parseOptions(readFile(invocation.optionsPath), Source{invocation.optionsPath, {}}, named);
  for (const std::string &setting : invocation.settings)
    parseSetting(setting, named);
  report.warnings = startStore(named, state().parameters);
  report.workspace = path.empty() ? "built-in demo" : path;
  report.pluginPath = invocation.pluginPath.empty() ? PluginModule::defaultPath() : invocation.pluginPath;
  return workspace;
}

// The host's calls: the plugin's name and version, createPlugin, initPlugin
// and execute. Whatever the plugin throws is an error naming it. The run's
// log is what the user sees when the run ends; ending the plugin object
// afterwards adds one blank line.
void callPlugin(const PluginModule &module, RunReport &report) {
  std::size_t logLines = 0;
  const char *name = nullptr;
  const char *version = nullptr;
  bool created = false;
  try {
    name = module.text("getPluginName");
    version = module.text("getPluginVersion");
    const std::unique_ptr<ODZUPluginInterface> plugin(module.createPlugin()());
    created = plugin != nullptr;
    report.initialised = created && plugin->initPlugin();
    report.executed = report.initialised && plugin->execute();
    logLines = state().log.size();
  } catch (const std::exception &e) {
    failOn(report.pluginPath, "the plugin threw an exception: " + shorten(e.what()));
  } catch (...) {
    failOn(report.pluginPath, "the plugin threw an exception that is not a std::exception");
  }
  if (!created)
    failOn(report.pluginPath, "the plugin could not be created (createPlugin returned null)");
  report.pluginName = name != nullptr ? name : "(no getPluginName)";
  report.pluginVersion = version != nullptr ? version : "(no getPluginVersion)";
  report.log.assign(state().log.begin(), state().log.begin() + static_cast<std::ptrdiff_t>(logLines));
  report.messages = state().messages;
}

// One run in the stand-in host: the module loaded, the warnings said (in
// text; JSON has them in the report), the workspace made the host's state,
// the plugin called, and the maps it changed back into the workspace. The
// module is gone before anything is saved.
void runPlugin(Workspace &workspace, RunReport &report, bool json) {
  PluginModule module;
  if (!module.load(report.pluginPath))
    failOn(report.pluginPath, shorten(module.error()));
  for (const std::string &warning : json ? std::vector<std::string>() : report.warnings)
    print(stderr, "Ondrava.exe: warning: " + warning + "\n");
  HostState &host = state();
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
  callPlugin(module, report);
  report.after = report.before;
  for (std::size_t i = 0; i < report.after.size(); ++i)
    report.after[i].record = host.maps[i];
  if (report.noMaps.empty())
    document->maps = report.after;
}

// The --json answer is one object, printed in two parts: the report's
// members before the save takes effect, the rest after it, so that "saved"
// says what happened. Each part is the members of an object of its own, as
// dumpJson writes them between the braces.
std::string membersOf(const nlohmann::ordered_json &object) {
  const std::string text = dumpJson(object);
  return object.empty() ? "" : text.substr(2, text.size() - 4);
}

// What the program answers, as text (an error on standard error) or as one
// JSON object: the run's report, if it ran; then the error, if there was one,
// and with --save whether the workspace was saved.
struct Answer {
  bool json = false;
  std::string savePath;
  std::string shownPath; // escaped, made before the save takes effect
  bool ran = false;
  std::optional<FatalError> error;
  bool saved = false;

  // What follows the report: in text, the line on the save; in JSON, the
  // object's last members and its end (without a report, the whole object).
  std::string tail() const {
    if (json) {
      nlohmann::ordered_json rest = nlohmann::ordered_json::object();
      if (error)
        rest["error"] = error->toJson();
      if (!savePath.empty())
        rest["saved"] = saved;
      return (!ran ? "{\n" : rest.empty() ? "" : ",\n") + membersOf(rest) + "\n}\n";
    }
    if (saved)
      return "Saved the workspace to " + shownPath + "\n";
    return ran && !savePath.empty() && !error
               ? "Nothing was saved to " + shownPath + ": the run was refused.\n"
               : "";
  }
};

// Writes the tail, made before the save took effect: once it has, nothing is
// left that could fail for want of memory. Then the warning of a folder not
// flushed (its errno value, or 0) and the error, and the exit status.
int endAnswer(const Answer &answer, std::FILE *out, const std::string &tail, int unflushed, int status) {
  const int reason = writeAll(out, tail);
  if (reason != 0 && answer.saved) {
    std::fprintf(stderr, "Ondrava.exe: saved the workspace to %s, but cannot write the output (%s)\n",
                 answer.shownPath.c_str(), std::strerror(reason));
    return 2;
  }
  if (reason != 0)
    throw OutputFailure{reason};
  if (unflushed != 0)
    std::fprintf(stderr,
                 "Ondrava.exe: warning: saved the workspace to %s, but its folder cannot be flushed to the "
                 "disk (%s): the save may not survive a power loss\n",
                 answer.shownPath.c_str(), std::strerror(unflushed));
  if (answer.error && !answer.json)
    print(stderr, "Ondrava.exe: " + escapeText(answer.error->text()) + "\n" +
                      (!answer.ran && !answer.savePath.empty()
                           ? "Ondrava.exe: nothing was saved to " + answer.shownPath + "\n"
                           : ""));
  return status;
}

// After a run: the workspace saved if the run succeeded, and the answer. The
// new file is written and flushed before the report, and takes the old one's
// place only once the report is out, so that a report that cannot be written
// leaves the old file as it was; what is said of the save follows it.
int answerRun(Answer &answer, const RunReport &report, const Workspace &workspace,
              std::optional<TempFile> &file) {
  answer.ran = true;
  const bool succeeded = report.initialised && report.executed;
  try {
    if (succeeded && file)
      file->write(savedText(workspace, answer.savePath, kMaxInputFileBytes));
    answer.saved = succeeded && file.has_value();
  } catch (const FatalError &e) {
    answer.error = e;
  }
  std::string tail = answer.tail();
  const std::string head = answer.json ? "{\n" + membersOf(jsonReport(report)) : textReport(report);
  // Memory that ran short anywhere on the way, the plugin's run and the
  // host's calls in it among them, is said before anything else.
  if (memoryRanShort() || state().outOfMemory)
    throw std::bad_alloc();
  print(stdout, head);
  int unflushed = 0;
  try {
    unflushed = answer.saved ? file->keep() : 0;
  } catch (const FatalError &e) {
    answer.error = e;
    answer.saved = false;
    tail = answer.tail();
  }
  return endAnswer(answer, stdout, tail, unflushed, answer.error ? 2 : succeeded ? 0 : 1);
}

// An error that ended the program before its answer: nothing is saved. An
// error refusing the program's own output as the save is not written into it.
int answerError(Answer &answer) {
  answer.ran = false;
  answer.saved = false;
  std::FILE *out = !answer.savePath.empty() && standardStreamOf(answer.savePath) == 1 ? stderr : stdout;
  return endAnswer(answer, out, answer.tail(), 0, 2);
}

// Everything is read and checked, and the save's new file made, before
// anything is loaded or printed. Exit status 0 when --help was answered.
int run(int argc, char **argv, Answer &answer, std::optional<TempFile> &file) {
  if (!reserveMemory())
    throw std::bad_alloc();
  const std::optional<Invocation> invocation = parseCommandLine(argc, argv, answer.json);
  if (!invocation)
    return 0;
  answer.savePath = invocation->savePath;
  answer.shownPath = escapeText(answer.savePath);
  RunReport report;
  Workspace workspace = readInputs(*invocation, report);
  if (!answer.savePath.empty())
    file.emplace(answer.savePath);
  runPlugin(workspace, report, answer.json);
  return answerRun(answer, report, workspace, file);
}

} // namespace

int main(int argc, char **argv) {
  prepareProcess();
  Answer answer;
  std::optional<TempFile> file; // made before the run, gone only after the answer
  try {
    try {
      return run(argc, argv, answer, file);
    } catch (const FatalError &e) {
      answer.error = e;
    } catch (const std::bad_alloc &) {
      answer.error = FatalError("out of memory");
    } catch (const std::exception &e) {
      answer.error = FatalError(shorten(e.what()));
    }
    return answerError(answer);
  } catch (const OutputFailure &failure) {
    std::fprintf(stderr, "Ondrava.exe: cannot write the output (%s)%s\n", std::strerror(failure.reason),
                 answer.savePath.empty() ? "" : "; nothing was saved");
  } catch (...) {
    // Out of memory even for the answer: texts that need none. Nothing that
    // can throw is left once the file has been saved.
    if (answer.json)
      std::fputs("{\"error\": {\"message\": \"out of memory\"}}\n", stdout);
    std::fprintf(stderr, "Ondrava.exe: out of memory%s\n",
                 answer.savePath.empty() ? "" : "; nothing was saved");
  }
  return 2;
}
