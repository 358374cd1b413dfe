#include "workspace.h"

#include "map_record.h"

#include <algorithm>
#include <cmath>

namespace ondrava {
namespace {

using nlohmann::json;
namespace rec = kelvane::record;

bool hexToRecord(const std::string &hex, const Source &source, const std::string &where, MapRecord &out,
                 InputError &error) {
  if (hex.size() != 2 * kRecordSize) {
    error = source.at(where, "hostBytes must be " + std::to_string(2 * kRecordSize) + " hex digits, got " +
                                 std::to_string(hex.size()));
    return false;
  }
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
      else {
        error =
            source.at(where, "hostBytes holds " + describe(json(std::string(1, c))) + ", not a hex digit");
        return false;
      }
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

bool unknownField(const Source &source, const std::string &where, const char *kind, const std::string &key,
                  const char *known, InputError &error) {
  error = source.at(where, std::string("unknown ") + kind + " field \"" + shorten(key) +
                               "\" (known: " + known + ")");
  return false;
}

bool parseMap(const json &value, const Source &source, const std::string &where, Map &out,
              InputError &error) {
  if (!value.is_object()) {
    error = source.at(where, "expected a map object, got " + describe(value));
    return false;
  }
  if (const auto bytes = value.find("hostBytes"); bytes != value.end()) {
    std::string hex;
    const std::string here = memberPointer(where, "hostBytes");
    if (!toText(*bytes, source, here, hex, error) || !hexToRecord(hex, source, here, out.record, error))
      return false;
  }
  for (const auto &[key, field] : value.items()) {
    const std::string here = memberPointer(where, key);
    bool known = key == "hostBytes";
    if (key == "name") {
      known = true;
      if (!toText(field, source, here, out.name, error))
        return false;
    }
    for (const IntField &f : kIntFields) {
      if (key == f.key) {
        known = true;
        std::int32_t v;
        if (!toInt32(field, source, here, v, error))
          return false;
        rec::write(out.record.data(), f.offset, v);
      }
    }
    for (const FloatField &f : kFloatFields) {
      if (key == f.key) {
        known = true;
        float v;
        if (!toFloat(field, source, here, v, error))
          return false;
        rec::write(out.record.data(), f.offset, v);
      }
    }
    if (!known)
      return unknownField(
          source, here, "map", key,
          "name, type, df, lowerThreshold, upperThreshold, clusterSize, useCluster, signShown, "
          "transparency, overlay, hostBytes",
          error);
  }
  return true;
}

// An array whose every element parseOne reads into a T appended to out.
template <typename T, typename ParseOne>
bool parseArray(const json &value, const Source &source, const std::string &where, const char *what,
                std::size_t &limit, ParseOne parseOne, std::vector<T> &out, InputError &error) {
  if (!value.is_array()) {
    error = source.at(where, std::string("expected an array of ") + what + ", got " + describe(value));
    return false;
  }
  if (value.size() > limit) {
    error = source.at(where, "more than " + std::to_string(limit) + " " + what +
                                 "; the stand-in host holds at most that many");
    return false;
  }
  limit -= value.size();
  for (std::size_t i = 0; i < value.size(); ++i) {
    T item;
    if (!parseOne(value[i], source, where + "/" + std::to_string(i), item, error))
      return false;
    out.push_back(std::move(item));
  }
  return true;
}

// Maps still allowed in the whole workspace, counted down as documents are read.
struct Budget {
  std::size_t documents = kMaxDocuments;
  std::size_t maps = kMaxMaps;
};

bool parseDocument(const json &value, const Source &source, const std::string &where, Budget &budget,
                   Document &out, InputError &error) {
  if (!value.is_object()) {
    error = source.at(where, "expected a document object, got " + describe(value));
    return false;
  }
  for (const auto &[key, field] : value.items()) {
    const std::string here = memberPointer(where, key);
    if (key == "id") {
      if (!toInt32(field, source, here, out.id, error))
        return false;
    } else if (key == "type") {
      if (!toInt32(field, source, here, out.type, error))
        return false;
    } else if (key == "name") {
      if (!toText(field, source, here, out.name, error))
        return false;
    } else if (key == "maps") {
      if (!parseArray(field, source, here, "maps", budget.maps, parseMap, out.maps, error))
        return false;
    } else {
      return unknownField(source, here, "document", key, "id, type, name, maps", error);
    }
  }
  return true;
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

bool parseWorkspace(const std::string &text, const Source &source, Workspace &out, InputError &error) {
  json root;
  if (!readJsonObject(text, source, kWorkspaceLimits, "a workspace object", root, error))
    return false;
  Workspace workspace;
  Budget budget;
  bool haveCurrent = false;
  for (const auto &[key, field] : root.items()) {
    const std::string here = memberPointer("", key);
    if (key == "currentDocument") {
      haveCurrent = true;
      if (!toInt32(field, source, here, workspace.currentDocument, error))
        return false;
    } else if (key == "version") {
      if (!field.is_array() || field.size() != 3) {
        error = source.at(here, "expected [major, minor, third], got " + describe(field));
        return false;
      }
      for (std::size_t i = 0; i < 3; ++i)
        if (!toInt32(field[i], source, here + "/" + std::to_string(i), workspace.version[i], error))
          return false;
    } else if (key == "documents") {
      const auto parseOne = [&budget](const json &item, const Source &src, const std::string &at,
                                      Document &doc, InputError &err) {
        return parseDocument(item, src, at, budget, doc, err);
      };
      if (!parseArray(field, source, here, "documents", budget.documents, parseOne, workspace.documents,
                      error))
        return false;
    } else {
      return unknownField(source, here, "workspace", key, "currentDocument, version, documents", error);
    }
  }
  if (!haveCurrent && !workspace.documents.empty())
    workspace.currentDocument = workspace.documents.front().id;
  out = std::move(workspace);
  return true;
}

nlohmann::ordered_json mapToJson(const Map &map) {
  nlohmann::ordered_json out;
  if (!map.name.empty())
    out["name"] = map.name;
  const unsigned char *r = map.record.data();
  out["type"] = rec::read<std::int32_t>(r, rec::kMapType);
  out["df"] = rec::read<std::int32_t>(r, rec::kDegreesOfFreedom);
  // A float that is not finite has no JSON number: it travels in hostBytes alone.
  const auto putFloat = [&](const char *key, std::size_t offset) {
    const float value = rec::read<float>(r, offset);
    if (std::isfinite(value))
      out[key] = value;
    return std::isfinite(value);
  };
  bool named = putFloat("lowerThreshold", rec::kLowerThreshold);
  named = putFloat("upperThreshold", rec::kUpperThreshold) && named;
  out["clusterSize"] = rec::read<std::int32_t>(r, rec::kClusterSize);
  out["useCluster"] = rec::read<std::int32_t>(r, rec::kUseCluster);
  out["signShown"] = rec::read<std::int32_t>(r, rec::kSignShown);
  named = putFloat("transparency", rec::kTransparency) && named;
  out["overlay"] = rec::read<std::int32_t>(r, rec::kOverlayState);
  // The host's own bytes are kept only when they hold anything the named
  // fields do not.
  MapRecord rest = map.record;
  for (const IntField &f : kIntFields)
    std::fill_n(rest.begin() + static_cast<std::ptrdiff_t>(f.offset), rec::kFieldWidth, 0);
  for (const FloatField &f : kFloatFields)
    std::fill_n(rest.begin() + static_cast<std::ptrdiff_t>(f.offset), rec::kFieldWidth, 0);
  const bool hostBytes = std::any_of(rest.begin(), rest.end(), [](unsigned char byte) { return byte != 0; });
  if (hostBytes || !named)
    out["hostBytes"] = recordHex(map.record);
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
