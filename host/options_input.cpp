#include "options_input.h"

#include <utility>

namespace ondrava {
namespace {

using nlohmann::json;

bool setOption(const std::string &key, const json &value, const Source &source, const std::string &pointer,
               Options &out, InputError &error) {
  const std::optional<KeyType> type = keyType(key);
  if (!type) {
    std::string known;
    for (const OptionKey &k : kOptionHelp)
      known += std::string(known.empty() ? "" : ", ") + k.key;
    error = source.at(pointer, "unknown option \"" + shorten(key) + "\" (known: " + known + ")");
    return false;
  }
  switch (*type) {
  case KeyType::Switch:
  case KeyType::Int: {
    std::int32_t v;
    if (!toInt32(value, source, pointer, v, error, *type == KeyType::Switch))
      return false;
    out.ints[key] = v;
    return true;
  }
  case KeyType::Float: {
    float v;
    if (!toFloat(value, source, pointer, v, error))
      return false;
    out.floats[key] = v;
    return true;
  }
  case KeyType::String: {
    std::string v;
    if (!toText(value, source, pointer, v, error))
      return false;
    if (v.size() > 511) {
      error =
          source.at(pointer, "text of " + std::to_string(v.size()) + " bytes; the host holds at most 511");
      return false;
    }
    out.strings[key] = v;
    return true;
  }
  }
  return false;
}

} // namespace

namespace {

constexpr KeyType keyTypeOf(const kelvane::OptionKey &key) {
  switch (key.type) {
  case kelvane::OptionType::Int:
    return key.role == kelvane::OptionRole::Switch ? KeyType::Switch : KeyType::Int;
  case kelvane::OptionType::Float:
    return KeyType::Float;
  case kelvane::OptionType::Text:
    return KeyType::String;
  }
  return KeyType::String;
}

// In the order of the plugin's table.
constexpr const char *kMeanings[kelvane::kOptionKeyCount] = {
    "set the lower threshold (to Min, or from MinP with DoSetMinP)",
    "the lower threshold",
    "with DoSetMin: take the lower threshold of t maps from MinP",
    "two-tailed p value, between 0 and 1",
    "set the upper threshold",
    "the upper threshold",
    "set the cluster-size threshold",
    "the cluster-size threshold, in voxels",
    "change whether the cluster-size threshold is applied",
    "apply it (1) or not (0)",
    "change which sign is shown",
    "0 positive, 1 negative, 2 both",
    "set the transparency",
    "the transparency factor, 0 to 1",
    "choose the overlaid maps",
    "map list such as 1,3-5 or 4- or All (at most 511 characters)",
};

template <std::size_t... I>
constexpr std::array<OptionKey, kelvane::kOptionKeyCount> makeOptionHelp(std::index_sequence<I...>) {
  return {{{kelvane::kOptionKeys[I].name, keyTypeOf(kelvane::kOptionKeys[I]), kMeanings[I]}...}};
}

} // namespace

const std::array<OptionKey, kelvane::kOptionKeyCount> kOptionHelp =
    makeOptionHelp(std::make_index_sequence<kelvane::kOptionKeyCount>{});

std::optional<KeyType> keyType(const std::string &key) {
  for (const OptionKey &k : kOptionHelp)
    if (key == k.key)
      return k.type;
  return std::nullopt;
}

const char *typeName(KeyType type) {
  switch (type) {
  case KeyType::Switch:
    return "switch 0/1";
  case KeyType::Int:
    return "integer";
  case KeyType::Float:
    return "float";
  case KeyType::String:
    return "text";
  }
  return "";
}

bool parseOptions(const std::string &text, const Source &source, Options &out, InputError &error) {
  json root;
  if (!readJsonObject(text, source, kOptionsLimits, "an object of options", root, error))
    return false;
  for (const auto &[key, value] : root.items())
    if (!setOption(key, value, source, memberPointer("", key), out, error))
      return false;
  return true;
}

bool parseSetting(const std::string &setting, Options &out, InputError &error) {
  Source source;
  source.argument = "--set " + shorten(setting);
  const std::size_t equals = setting.find('=');
  if (equals == std::string::npos || equals == 0) {
    error = source.at(0, 0, "expected KEY=VALUE");
    return false;
  }
  const std::string key = setting.substr(0, equals);
  const std::string text = setting.substr(equals + 1);
  json value = text;
  if (keyType(key) != KeyType::String) {
    // A number as JSON writes it, or true/false for a switch; anything else
    // stays text and fails the type check below. A number too large for any
    // type is an error of its own.
    json parsed;
    InputError parseError;
    if (readJson(text, source, JsonLimits{0, 1}, parsed, parseError)) {
      value = std::move(parsed);
    } else if (parseError.message.rfind("the number ", 0) == 0) {
      error = source.at(0, 0, parseError.message);
      return false;
    }
  }
  return setOption(key, value, source, "", out, error);
}

Options demoOptions() {
  Options options;
  options.ints = {{"DoSetMin", 1},         {"DoSetMinP", 1},  {"DoClusterSize", 1}, {"ClusterSize", 25},
                  {"DoUseClusterSize", 1}, {"UseCluster", 1}, {"DoOverlayMaps", 1}};
  options.floats = {{"MinP", 0.05f}};
  options.strings = {{"Overlay", "1,3-4"}};
  return options;
}

} // namespace ondrava
