#include "command_line.h"

#include "checked_json.h"
#include "file_io.h"
#include "options_input.h"

#include <CLI/CLI.hpp>

#include <cstring>

namespace ondrava {
namespace {

std::string helpFooter() {
  std::string text =
      "\nWithout --workspace the built-in demo workspace is used and, unless --options or --set\n"
      "is given, the demo's options (p 0.05 as the lower threshold, cluster size 25 applied, maps\n"
      "1,3-4 overlaid). With --workspace the parameter store starts empty, as in a host whose\n"
      "dialog never ran: without --options or --set the plugin says \"No options selected\".\n"
      "\nOption keys (--options FILE holds them as a JSON object, --set KEY=VALUE sets one):\n";
  for (std::size_t i = 0; i < kelvane::kOptionKeyCount; ++i) {
    std::string line = "  " + std::string(kelvane::kOptionKeys[i].name);
    line.resize(20, ' ');
    line += typeName(keyType(kelvane::kOptionKeys[i]));
    line.resize(33, ' ');
    text += line + kOptionMeanings[i] + "\n";
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

} // namespace

bool wantsJson(int argc, char **argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--json") == 0)
      return true;
  return false;
}

Invocation parseCommandLine(int argc, char **argv) {
  Invocation in;
  // Every option that names a file goes through this one check.
  const CLI::Validator path(
      [](const std::string &value) { return value.empty() ? "an empty path names no file" : ""; }, "PATH");
  CLI::App app{
      "Ondrava.exe, the stand-in host: runs the Kelvane plugin once on a workspace, the way the host\n"
      "would (initPlugin, then execute), and prints the log pane, any message box and every map\n"
      "before and after the run."};
  app.add_option("--plugin", in.pluginPath,
                 "the plugin module (default: the one built next to this program); a name without a\n"
                 "slash is a file in the current folder")
      ->type_name("PATH")
      ->check(path);
  app.add_option("--workspace", in.workspacePath,
                 "workspace JSON file (default: the built-in demo workspace)")
      ->type_name("FILE")
      ->check(path);
  app.add_option("--options", in.optionsPath, "JSON file with the plugin's option keys")
      ->type_name("FILE")
      ->check(path);
  app.add_option("--set", in.settings, "one option, checked against the key's type (repeatable)")
      ->type_name("KEY=VALUE");
  app.add_option("--save", in.savePath,
                 "after a successful run, write the workspace to this JSON file (atomically: the old\n"
                 "file stays whole if the write fails)")
      ->type_name("FILE")
      ->check(path);
  app.add_flag("--json", in.json, "machine-readable output, errors included");
  app.footer(helpFooter());
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &) {
    in.help = app.help();
  } catch (const CLI::ParseError &e) {
    throw InputError{{}, "command line", 0, 0, {}, shorten(e.what())};
  }
  return in;
}

} // namespace ondrava
