// The plugin's options as the program takes them: a JSON file of the sixteen
// parameter-store keys, and --set KEY=VALUE on the command line, each value
// checked against its key's type in the plugin's table (option_keys.h).
#pragma once

#include "checked_json.h"
#include "host_state.h"
#include "option_keys.h"

#include <string>

namespace ondrava {

// The parameter store the host hands the plugin.
struct Options {
  decltype(HostState::ints) ints;
  decltype(HostState::floats) floats;
  decltype(HostState::strings) strings;
};

// The key of that name in the plugin's table, or null.
const kelvane::OptionKey *findKey(const std::string &name);
// "switch 0/1", "integer", "float" or "text" (32-bit numbers all)
const char *typeName(const kelvane::OptionKey &key);
// What --help says of each key, in the order of the plugin's table.
extern const char *const kOptionMeanings[kelvane::kOptionKeyCount];

// The longest text the host's string parameter holds, its terminator aside.
constexpr std::size_t kMaxTextBytes = kelvane::kStringParameterSize - 1;

// One object of keys; nothing in an options file lies deeper.
constexpr JsonLimits kOptionsLimits{1, 1000};

// Errors name the file with a line and column of malformed JSON, or the JSON
// pointer of the offending key.
void parseOptions(const std::string &text, const Source &source, Options &out);
// One "KEY=VALUE" of the command line, checked against the key's type.
void parseSetting(const std::string &setting, Options &out);

// The options the built-in demo runs with: p 0.05 as the lower threshold,
// cluster size 25 applied, maps 1, 3 and 4 overlaid.
Options demoOptions();

} // namespace ondrava
