#include "host_run.h"

#include "kelvane_plugin.h"

namespace ondrava {

bool runPlugin(const PluginModule &module, Inputs &inputs, RunReport &report, InputError &error) {
  const auto text = [&](const char *getter) {
    const char *value = module.text(getter);
    return value != nullptr ? std::string(value) : std::string("(no ") + getter + ")";
  };
  report.pluginName = text("getPluginName");
  report.pluginVersion = text("getPluginVersion");
  report.workspace = inputs.workspaceLabel;

  Workspace &workspace = inputs.workspace;
  HostState &host = state();
  for (int i = 0; i < 3; ++i)
    host.version[i] = workspace.version[i];
  Document *document = workspace.current();
  host.currentDocument = document != nullptr ? document->id : -1;
  host.documentType = document != nullptr ? document->type : 0;
  report.documentId = workspace.currentDocument;
  report.documentType = host.documentType;
  // Only a VMR's maps are the plugin's to see.
  report.document = document == nullptr   ? DocumentState::None
                    : document->type != 3 ? DocumentState::NotVmr
                                          : DocumentState::Vmr;
  if (report.document == DocumentState::Vmr) {
    report.before = document->maps;
    for (const Map &map : document->maps)
      host.maps.push_back(map.record);
  }
  host.ints = inputs.options.ints;
  host.floats = inputs.options.floats;
  host.strings = inputs.options.strings;

  ODZUPluginInterface *plugin = module.createPlugin()();
  if (plugin == nullptr) {
    error.file = report.pluginPath;
    error.message = "the plugin could not be created (createPlugin returned null)";
    return false;
  }
  report.initialised = plugin->initPlugin();
  report.executed = report.initialised && plugin->execute();
  // The run's log as the user sees it when the run ends; ending the plugin
  // object afterwards adds one blank line.
  report.log = host.log;
  report.messages = host.messages;
  delete plugin;

  report.after = report.before;
  for (std::size_t i = 0; i < report.after.size(); ++i)
    report.after[i].record = host.maps[i];
  if (report.document == DocumentState::Vmr)
    document->maps = report.after;
  return true;
}

} // namespace ondrava
