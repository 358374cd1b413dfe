// What the program prints: the run's report (log pane, message boxes, every
// map before and after, the result) as text or as JSON, and an input error
// either way. Text from the input and the plugin reaches the terminal with
// its control characters escaped.
#pragma once

#include "inputs.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace ondrava {

struct RunReport {
  std::string pluginPath;
  std::string pluginName;
  std::string pluginVersion;
  std::string workspace;             // the file, or "built-in demo"
  std::string noMaps;                // why the plugin is not given the current document's maps, if it is not
  std::vector<std::string> warnings; // what the plugin will not use, or uses as no dialog stores it
  bool initialised = false;
  bool executed = false;
  std::vector<std::string> log;
  std::vector<std::string> messages;
  std::vector<Map> before;
  std::vector<Map> after;

  // The refusal as the plugin gave it (message box or last log line), or
  // nothing when both calls succeeded.
  std::optional<std::string> refusal() const;
};

// Control characters (C0, DEL, C1) and bytes that are not UTF-8 as escapes,
// so that a text shows on one line as what it holds.
std::string escapeText(const std::string &text);

// One float as the table shows it: fixed with the given decimals while that
// stays short and exact enough, else in exponent form.
std::string formatTableFloat(float value, int decimals);

std::string textReport(const RunReport &report);
nlohmann::ordered_json jsonReport(const RunReport &report);

// JSON text that any string survives (bytes that are not UTF-8 are replaced).
std::string dumpJson(const nlohmann::ordered_json &value);

} // namespace ondrava
