// Ondrava.exe, the stand-in host as a program: loads the Kelvane module, runs
// it once on a workspace (the built-in demo, or a JSON file) with the options
// the dialog would have stored, and prints the log pane, any message box and
// every map before and after the run.
//
// Exit status: 0 when initPlugin and execute both succeeded, 1 when either
// refused, 2 for bad input or a file that cannot be read or written (only the
// error is printed then). --save writes only after exit status 0.
#include "command_line.h"
#include "file_io.h"
#include "host_run.h"
#include "inputs.h"
#include "plugin_loader.h"
#include "report.h"

#include <cstdio>
#include <new>

namespace {

// Prints what the program has to say, as text or as one JSON object, and
// gives the exit status.
class Answer {
public:
  explicit Answer(bool json) : json_(json) {}

  int error(const ondrava::InputError &error, const std::string &savePath) {
    if (json_) {
      nlohmann::ordered_json out = ondrava::errorJson(error);
      if (!savePath.empty())
        out["saved"] = false;
      std::printf("%s\n", ondrava::dumpJson(out).c_str());
    } else {
      std::fprintf(stderr, "Ondrava.exe: %s\n", ondrava::errorText(error).c_str());
      if (!savePath.empty())
        std::fprintf(stderr, "Ondrava.exe: nothing was saved to %s\n", ondrava::escapeText(savePath).c_str());
    }
    std::fflush(stdout);
    return 2;
  }

  int run(const ondrava::RunReport &report, const std::string &savePath,
          const ondrava::Workspace &workspace) {
    const bool succeeded = report.initialised && report.executed;
    ondrava::InputError saveError;
    bool saved = false;
    if (!savePath.empty() && succeeded)
      saved = ondrava::writeFileAtomically(savePath, ondrava::dumpJson(ondrava::toJson(workspace)) + "\n",
                                           saveError);
    const bool saveFailed = !savePath.empty() && succeeded && !saved;
    if (json_) {
      nlohmann::ordered_json out = ondrava::jsonReport(report);
      if (!savePath.empty())
        out["saved"] = saved;
      if (saveFailed)
        out["error"] = saveError.toJson();
      std::printf("%s\n", ondrava::dumpJson(out).c_str());
    } else {
      std::printf("%s", ondrava::textReport(report).c_str());
      const std::string target = ondrava::escapeText(savePath);
      if (saved)
        std::printf("Saved the workspace to %s\n", target.c_str());
      else if (!savePath.empty() && !succeeded)
        std::printf("Nothing was saved to %s: the run was refused.\n", target.c_str());
      std::fflush(stdout);
      if (saveFailed)
        std::fprintf(stderr, "Ondrava.exe: %s\n", ondrava::errorText(saveError).c_str());
    }
    std::fflush(stdout);
    return saveFailed ? 2 : succeeded ? 0 : 1;
  }

private:
  bool json_;
};

} // namespace

int main(int argc, char **argv) {
  ondrava::reportOversizedWrites();
  Answer answer(ondrava::wantsJson(argc, argv));
  std::string savePath;
  try {
    const ondrava::CommandLine commandLine = ondrava::parseCommandLine(argc, argv);
    if (commandLine.helpShown)
      return 0;
    if (commandLine.error)
      return answer.error(*commandLine.error, savePath);
    const ondrava::Invocation &invocation = commandLine.invocation;
    savePath = invocation.savePath;

    // Everything is read and checked before anything is loaded or printed.
    ondrava::Inputs inputs;
    ondrava::InputError error;
    if (!ondrava::readInputs(invocation, inputs, error))
      return answer.error(error, savePath);

    ondrava::RunReport report;
    report.pluginPath =
        invocation.pluginPath.empty() ? ondrava::PluginModule::defaultPath() : invocation.pluginPath;
    ondrava::PluginModule module;
    if (!module.load(report.pluginPath)) {
      error.file = report.pluginPath;
      error.message = ondrava::shorten(module.error());
      return answer.error(error, savePath);
    }
    if (!ondrava::runPlugin(module, inputs, report, error))
      return answer.error(error, savePath);
    return answer.run(report, savePath, inputs.workspace);
  } catch (const std::bad_alloc &) {
    ondrava::InputError error;
    error.message = "out of memory: the input is too large to hold";
    return answer.error(error, savePath);
  } catch (const std::exception &e) {
    ondrava::InputError error;
    error.message = ondrava::shorten(e.what());
    return answer.error(error, savePath);
  }
}
