// The plugin's options as the program takes them: a JSON file of the sixteen
// parameter-store keys, and --set KEY=VALUE on the command line, each value
// checked against its key's type.
#pragma once

#include "checked_json.h"
#include "host_state.h"
#include "option_keys.h"

#include <array>

#include <optional>
#include <string>

namespace ondrava {

// The parameter store the host hands the plugin.
struct Options {
  decltype(HostState::ints) ints;
  decltype(HostState::floats) floats;
  decltype(HostState::strings) strings;
};

enum class KeyType { Switch, Int, Float, String };

struct OptionKey {
  const char *key;
  KeyType type;
  const char *meaning;
};
// The sixteen keys of the plugin's table (option_keys.h), in the order the
// plugin reads them, with what --help says of each.
extern const std::array<OptionKey, kelvane::kOptionKeyCount> kOptionHelp;

// The type of one of the sixteen keys, or nothing for any other key.
std::optional<KeyType> keyType(const std::string &key);
// "switch 0/1", "integer", "float" or "text" (32-bit numbers all)
const char *typeName(KeyType type);

// One object of keys; nothing in an options file lies deeper.
constexpr JsonLimits kOptionsLimits{1, 1000};

// False with *error naming the file with a line and column of malformed JSON,
// or the JSON pointer of the offending key.
bool parseOptions(const std::string &text, const Source &source, Options &out, InputError &error);
// One "KEY=VALUE" of the command line, checked against the key's type.
bool parseSetting(const std::string &setting, Options &out, InputError &error);

// The options the built-in demo runs with: p 0.05 as the lower threshold,
// cluster size 25 applied, maps 1, 3 and 4 overlaid.
Options demoOptions();

} // namespace ondrava
