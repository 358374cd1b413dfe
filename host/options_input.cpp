#include "options_input.h"

namespace ondrava {

using nlohmann::json;

const char *const kOptionMeanings[kelvane::kOptionKeyCount] = {
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
    "map list such as 1,3-5 or 4- or All",
};

const kelvane::OptionKey *findKey(const std::string &name) {
  for (const kelvane::OptionKey &key : kelvane::kOptionKeys)
    if (name == key.name)
      return &key;
  return nullptr;
}

const char *typeName(const kelvane::OptionKey &key) {
  if (key.type == kelvane::OptionType::Int)
    return key.role == kelvane::OptionRole::Switch ? "switch 0/1" : "integer";
  return key.type == kelvane::OptionType::Float ? "float" : "text";
}

namespace {

void setOption(const std::string &key, const json &value, const Source &source, const std::string &pointer,
               Options &out) {
  const kelvane::OptionKey *type = findKey(key);
  if (type == nullptr) {
    std::string known;
    for (const kelvane::OptionKey &k : kelvane::kOptionKeys)
      known += std::string(known.empty() ? "" : ", ") + k.name;
    source.fail(pointer, "unknown option \"" + shorten(key) + "\" (known: " + known + ")");
  }
  if (type->type == kelvane::OptionType::Float) {
    out.floats[key] = toFloat(value, source, pointer);
  } else if (type->type == kelvane::OptionType::Text) {
    std::string text = toText(value, source, pointer);
    if (text.size() > kMaxTextBytes)
      source.fail(pointer, "text of " + std::to_string(text.size()) + " bytes; the host holds at most " +
                               std::to_string(kMaxTextBytes));
    out.strings[key] = std::move(text);
  } else {
    out.ints[key] = toInt32(value, source, pointer, type->role == kelvane::OptionRole::Switch);
  }
}

} // namespace

void parseOptions(const std::string &text, const Source &source, Options &out) {
  const json root = readJsonObject(text, source, kOptionsLimits, "an object of options");
  for (const auto &[key, value] : root.items())
    setOption(key, value, source, memberPointer("", key), out);
}

void parseSetting(const std::string &setting, Options &out) {
  const Source source{{}, "--set " + shorten(setting)};
  const std::size_t equals = setting.find('=');
  if (equals == std::string::npos || equals == 0)
    source.fail("", "expected KEY=VALUE");
  const std::string key = setting.substr(0, equals);
  const std::string text = setting.substr(equals + 1);
  json value = text;
  if (const kelvane::OptionKey *type = findKey(key);
      type == nullptr || type->type != kelvane::OptionType::Text) {
    // A number as JSON writes it, or true/false for a switch; anything else
    // stays text and fails the type check. A number too large for any type
    // is an error of its own.
    try {
      value = readJson(text, source, JsonLimits{0, 1});
    } catch (const InputError &error) {
      if (error.message.rfind("the number ", 0) == 0)
        source.fail("", error.message);
    }
  }
  setOption(key, value, source, "", out);
}

Options demoOptions() {
  Options options;
  parseOptions(R"({"DoSetMin": 1, "DoSetMinP": 1, "MinP": 0.05, "DoClusterSize": 1, "ClusterSize": 25,
                   "DoUseClusterSize": 1, "UseCluster": 1, "DoOverlayMaps": 1, "Overlay": "1,3-4"})",
               Source{"demo options", {}}, options);
  return options;
}

} // namespace ondrava
