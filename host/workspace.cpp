#include "workspace.h"

#include "map_record.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

namespace ondrava {
namespace {

using nlohmann::json;
namespace rec = kelvane::record;

bool fail(std::string *error, const std::string &where, const std::string &what) {
  if (error != nullptr)
    *error = where + ": " + what;
  return false;
}

std::string at(const std::string &source, const std::string &pointer) {
  return source + " at " + (pointer.empty() ? std::string("/") : pointer);
}

// Line and column (1-based) of a byte offset.
std::string lineAndColumn(const std::string &text, std::size_t offset) {
  std::size_t line = 1;
  std::size_t column = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return std::to_string(line) + ":" + std::to_string(column);
}

bool parseJson(const std::string &text, const std::string &source, json &out, std::string *error) {
  try {
    out = json::parse(text);
    return true;
  } catch (const json::parse_error &e) {
    std::string what = e.what();
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
    const std::size_t colon = what.find(": ");
    if (colon != std::string::npos)
      what = what.substr(colon + 2);
    const std::size_t offset = e.byte > 0 ? e.byte - 1 : 0;
    return fail(error, source + ":" + lineAndColumn(text, offset), "malformed JSON: " + what);
  }
}

bool toInt32(const json &value, const std::string &where, std::int32_t &out, std::string *error,
             bool allowBool = false) {
  if (allowBool && value.is_boolean()) {
    out = value.get<bool>() ? 1 : 0;
    return true;
  }
  if (value.is_number_integer()) {
    const std::int64_t v = value.is_number_unsigned()
                               ? static_cast<std::int64_t>(std::min<std::uint64_t>(value.get<std::uint64_t>(),
                                                                                   std::uint64_t(1) << 40))
                               : value.get<std::int64_t>();
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
      return fail(error, where, value.dump() + " does not fit a 32-bit signed integer");
    out = static_cast<std::int32_t>(v);
    return true;
  }
  return fail(error, where,
              std::string("expected a 32-bit integer") + (allowBool ? " or true/false" : "") + ", got " +
                  value.type_name() + " " + value.dump());
}

bool toFloat(const json &value, const std::string &where, float &out, std::string *error) {
  if (!value.is_number())
    return fail(error, where,
                std::string("expected a number, got ") + value.type_name() + " " + value.dump());
  const double v = value.get<double>();
  if (!std::isfinite(v) || std::fabs(v) > FLT_MAX)
    return fail(error, where, value.dump() + " does not fit a 32-bit float");
  out = static_cast<float>(v);
  return true;
}

bool toText(const json &value, const std::string &where, std::string &out, std::string *error) {
  if (!value.is_string())
    return fail(error, where, std::string("expected text, got ") + value.type_name() + " " + value.dump());
  out = value.get<std::string>();
  return true;
}

bool hexToRecord(const std::string &hex, const std::string &where, MapRecord &out, std::string *error) {
  if (hex.size() != 2 * kRecordSize)
    return fail(error, where,
                "hostBytes must be " + std::to_string(2 * kRecordSize) + " hex digits, got " +
                    std::to_string(hex.size()));
  for (std::size_t i = 0; i < kRecordSize; ++i) {
    unsigned value = 0;
    for (std::size_t j = 0; j < 2; ++j) {
      const char c = hex[2 * i + j];
      unsigned digit;
      if (c >= '0' && c <= '9')
        digit = static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        digit = static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        digit = static_cast<unsigned>(c - 'A' + 10);
      else
        return fail(error, where, std::string("hostBytes holds '") + c + "', not a hex digit");
      value = value * 16 + digit;
    }
    out[i] = static_cast<unsigned char>(value);
  }
  return true;
}

struct IntField {
  const char *key;
  std::size_t offset;
};
const IntField kIntFields[] = {
    {"type", rec::kMapType},          {"df", rec::kDegreesOfFreedom}, {"clusterSize", rec::kClusterSize},
    {"useCluster", rec::kUseCluster}, {"signShown", rec::kSignShown}, {"overlay", rec::kOverlayState}};
struct FloatField {
  const char *key;
  std::size_t offset;
};
const FloatField kFloatFields[] = {{"lowerThreshold", rec::kLowerThreshold},
                                   {"upperThreshold", rec::kUpperThreshold},
                                   {"transparency", rec::kTransparency}};

bool parseMap(const json &value, const std::string &where, Map &out, std::string *error) {
  if (!value.is_object())
    return fail(error, where, std::string("expected a map object, got ") + value.type_name());
  if (const auto bytes = value.find("hostBytes"); bytes != value.end()) {
    std::string hex;
    if (!toText(*bytes, where + "/hostBytes", hex, error) ||
        !hexToRecord(hex, where + "/hostBytes", out.record, error))
      return false;
  }
  for (const auto &[key, field] : value.items()) {
    const std::string here = where + "/" + key;
    bool known = key == "hostBytes";
    if (key == "name") {
      known = true;
      if (!toText(field, here, out.name, error))
        return false;
    }
    for (const IntField &f : kIntFields) {
      if (key == f.key) {
        known = true;
        std::int32_t v;
        if (!toInt32(field, here, v, error))
          return false;
        rec::write(out.record.data(), f.offset, v);
      }
    }
    for (const FloatField &f : kFloatFields) {
      if (key == f.key) {
        known = true;
        float v;
        if (!toFloat(field, here, v, error))
          return false;
        rec::write(out.record.data(), f.offset, v);
      }
    }
    if (!known)
      return fail(error, here,
                  "unknown map field \"" + key +
                      "\" (known: name, type, df, lowerThreshold, upperThreshold, clusterSize, useCluster, "
                      "signShown, transparency, overlay, hostBytes)");
  }
  return true;
}

// An array whose every element parseOne reads into a T appended to out.
template <typename T, typename ParseOne>
bool parseArray(const json &value, const std::string &where, const char *what, ParseOne parseOne,
                std::vector<T> &out, std::string *error) {
  if (!value.is_array())
    return fail(error, where, std::string("expected an array of ") + what + ", got " + value.type_name());
  for (std::size_t i = 0; i < value.size(); ++i) {
    T item;
    if (!parseOne(value[i], where + "/" + std::to_string(i), item, error))
      return false;
    out.push_back(item);
  }
  return true;
}

bool parseDocument(const json &value, const std::string &where, Document &out, std::string *error) {
  if (!value.is_object())
    return fail(error, where, std::string("expected a document object, got ") + value.type_name());
  for (const auto &[key, field] : value.items()) {
    const std::string here = where + "/" + key;
    if (key == "id") {
      if (!toInt32(field, here, out.id, error))
        return false;
    } else if (key == "type") {
      if (!toInt32(field, here, out.type, error))
        return false;
    } else if (key == "name") {
      if (!toText(field, here, out.name, error))
        return false;
    } else if (key == "maps") {
      if (!parseArray(field, here, "maps", parseMap, out.maps, error))
        return false;
    } else {
      return fail(error, here, "unknown document field \"" + key + "\" (known: id, type, name, maps)");
    }
  }
  return true;
}

bool setOption(const std::string &key, const json &value, const std::string &where, Options &out,
               std::string *error) {
  const std::optional<KeyType> type = keyType(key);
  if (!type)
    return fail(error, where,
                "unknown option \"" + key +
                    "\" (known: DoSetMin, Min, DoSetMinP, MinP, DoSetMax, Max, DoClusterSize, ClusterSize, "
                    "DoUseClusterSize, UseCluster, DoShowPosNegBoth, PNB, DoTransparancy, Trans, "
                    "DoOverlayMaps, Overlay)");
  switch (*type) {
  case KeyType::Int: {
    std::int32_t v;
    const bool isSwitch = key.rfind("Do", 0) == 0 || key == "UseCluster";
    if (!toInt32(value, where, v, error, isSwitch))
      return false;
    out.ints[key] = v;
    return true;
  }
  case KeyType::Float: {
    float v;
    if (!toFloat(value, where, v, error))
      return false;
    out.floats[key] = v;
    return true;
  }
  case KeyType::String: {
    std::string v;
    if (!toText(value, where, v, error))
      return false;
    if (v.size() > 511)
      return fail(error, where, "text of " + std::to_string(v.size()) + " bytes; the host holds at most 511");
    out.strings[key] = v;
    return true;
  }
  }
  return false;
}

std::string recordHex(const MapRecord &record) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char byte : record) {
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex;
}

} // namespace

Document *Workspace::current() {
  for (Document &document : documents)
    if (document.id == currentDocument)
      return &document;
  return nullptr;
}

std::optional<KeyType> keyType(const std::string &key) {
  static const char *const ints[] = {"DoSetMin",    "DoSetMinP",        "DoSetMax",     "DoClusterSize",
                                     "ClusterSize", "DoUseClusterSize", "UseCluster",   "DoShowPosNegBoth",
                                     "PNB",         "DoTransparancy",   "DoOverlayMaps"};
  static const char *const floats[] = {"Min", "MinP", "Max", "Trans"};
  for (const char *k : ints)
    if (key == k)
      return KeyType::Int;
  for (const char *k : floats)
    if (key == k)
      return KeyType::Float;
  if (key == "Overlay")
    return KeyType::String;
  return std::nullopt;
}

bool parseWorkspace(const std::string &text, const std::string &source, Workspace &out, std::string *error) {
  json root;
  if (!parseJson(text, source, root, error))
    return false;
  if (!root.is_object())
    return fail(error, at(source, ""), std::string("expected a workspace object, got ") + root.type_name());
  Workspace workspace;
  bool haveCurrent = false;
  for (const auto &[key, field] : root.items()) {
    const std::string here = at(source, "/" + key);
    if (key == "currentDocument") {
      haveCurrent = true;
      if (!toInt32(field, here, workspace.currentDocument, error))
        return false;
    } else if (key == "version") {
      if (!field.is_array() || field.size() != 3)
        return fail(error, here, "expected [major, minor, third]");
      for (std::size_t i = 0; i < 3; ++i)
        if (!toInt32(field[i], here + "/" + std::to_string(i), workspace.version[i], error))
          return false;
    } else if (key == "documents") {
      if (!parseArray(field, here, "documents", parseDocument, workspace.documents, error))
        return false;
    } else {
      return fail(error, here,
                  "unknown workspace field \"" + key + "\" (known: currentDocument, version, documents)");
    }
  }
  if (!haveCurrent && !workspace.documents.empty())
    workspace.currentDocument = workspace.documents.front().id;
  out = workspace;
  return true;
}

bool parseOptions(const std::string &text, const std::string &source, Options &out, std::string *error) {
  json root;
  if (!parseJson(text, source, root, error))
    return false;
  if (!root.is_object())
    return fail(error, at(source, ""), std::string("expected an object of options, got ") + root.type_name());
  for (const auto &[key, value] : root.items())
    if (!setOption(key, value, at(source, "/" + key), out, error))
      return false;
  return true;
}

bool parseSetting(const std::string &setting, Options &out, std::string *error) {
  const std::string where = "--set " + setting;
  const std::size_t equals = setting.find('=');
  if (equals == std::string::npos || equals == 0)
    return fail(error, where, "expected KEY=VALUE");
  const std::string key = setting.substr(0, equals);
  const std::string text = setting.substr(equals + 1);
  const std::optional<KeyType> type = keyType(key);
  json value;
  if (type == KeyType::String) {
    value = text;
  } else {
    // A number as JSON writes it, or true/false for a switch.
    try {
      value = json::parse(text);
    } catch (const json::parse_error &) {
      value = text;
    }
  }
  return setOption(key, value, where, out, error);
}

bool readFile(const std::string &path, std::string &text, std::string *error) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return fail(error, path, "cannot open the file");
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad())
    return fail(error, path, "cannot read the file");
  text = buffer.str();
  return true;
}

nlohmann::ordered_json mapToJson(const Map &map) {
  nlohmann::ordered_json out;
  if (!map.name.empty())
    out["name"] = map.name;
  const unsigned char *r = map.record.data();
  out["type"] = rec::read<std::int32_t>(r, rec::kMapType);
  out["df"] = rec::read<std::int32_t>(r, rec::kDegreesOfFreedom);
  out["lowerThreshold"] = rec::read<float>(r, rec::kLowerThreshold);
  out["upperThreshold"] = rec::read<float>(r, rec::kUpperThreshold);
  out["clusterSize"] = rec::read<std::int32_t>(r, rec::kClusterSize);
  out["useCluster"] = rec::read<std::int32_t>(r, rec::kUseCluster);
  out["signShown"] = rec::read<std::int32_t>(r, rec::kSignShown);
  out["transparency"] = rec::read<float>(r, rec::kTransparency);
  out["overlay"] = rec::read<std::int32_t>(r, rec::kOverlayState);
  // The host's own bytes are kept only when they hold anything.
  MapRecord rest = map.record;
  for (const IntField &f : kIntFields)
    std::fill_n(rest.begin() + static_cast<std::ptrdiff_t>(f.offset), rec::kFieldWidth, 0);
  for (const FloatField &f : kFloatFields)
    std::fill_n(rest.begin() + static_cast<std::ptrdiff_t>(f.offset), rec::kFieldWidth, 0);
  for (const unsigned char byte : rest) {
    if (byte != 0) {
      out["hostBytes"] = recordHex(map.record);
      break;
    }
  }
  return out;
}

nlohmann::ordered_json toJson(const Workspace &workspace) {
  nlohmann::ordered_json out;
  out["currentDocument"] = workspace.currentDocument;
  out["version"] = {workspace.version[0], workspace.version[1], workspace.version[2]};
  out["documents"] = nlohmann::ordered_json::array();
  for (const Document &document : workspace.documents) {
    nlohmann::ordered_json doc;
    doc["id"] = document.id;
    doc["type"] = document.type;
    if (!document.name.empty())
      doc["name"] = document.name;
    doc["maps"] = nlohmann::ordered_json::array();
    for (const Map &map : document.maps)
      doc["maps"].push_back(mapToJson(map));
    out["documents"].push_back(doc);
  }
  return out;
}

const char *demoWorkspaceJson() {
  return R"({
  "currentDocument": 1,
  "documents": [
    {
      "id": 1, "type": 3, "name": "subject01_anatomy.vmr",
      "maps": [
        {"name": "faces > houses", "type": 1, "df": 10, "lowerThreshold": 3.0, "upperThreshold": 8.0,
         "clusterSize": 4, "useCluster": 0, "signShown": 3, "transparency": 1.0, "overlay": 1},
        {"name": "motion > static", "type": 1, "df": 30, "lowerThreshold": 3.0, "upperThreshold": 8.0,
         "clusterSize": 4, "useCluster": 0, "signShown": 3, "transparency": 1.0, "overlay": 0},
        {"name": "seed correlation", "type": 2, "df": 0, "lowerThreshold": 0.2, "upperThreshold": 1.0,
         "clusterSize": 4, "useCluster": 0, "signShown": 3, "transparency": 1.0, "overlay": 1},
        {"name": "group effect", "type": 1, "df": 100, "lowerThreshold": 3.0, "upperThreshold": 8.0,
         "clusterSize": 4, "useCluster": 0, "signShown": 3, "transparency": 1.0, "overlay": 0}
      ]
    }
  ]
})";
}

} // namespace ondrava
