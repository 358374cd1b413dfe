#include "inputs.h"

#include "file_io.h"

namespace ondrava {

bool readInputs(const Invocation &invocation, Inputs &out, InputError &error) {
  std::string text;
  if (invocation.workspacePath.empty()) {
    Source demo;
    demo.file = "demo workspace";
    if (!parseWorkspace(demoWorkspaceJson(), demo, out.workspace, error))
      return false;
    out.workspaceLabel = "built-in demo";
    if (invocation.optionsPath.empty() && invocation.settings.empty())
      out.options = demoOptions();
  } else {
    Source file;
    file.file = invocation.workspacePath;
    if (!readFile(invocation.workspacePath, text, error) || !parseWorkspace(text, file, out.workspace, error))
      return false;
    out.workspaceLabel = invocation.workspacePath;
  }
  if (!invocation.optionsPath.empty()) {
    Source file;
    file.file = invocation.optionsPath;
    if (!readFile(invocation.optionsPath, text, error) || !parseOptions(text, file, out.options, error))
      return false;
  }
  for (const std::string &setting : invocation.settings)
    if (!parseSetting(setting, out.options, error))
      return false;
  return true;
}

} // namespace ondrava
