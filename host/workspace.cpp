#include "workspace.h"

#include "map_record.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace ondrava {

namespace rec = kelvane::record;
using nlohmann::json;

const MapField kMapFields[9] = {
    {"type", rec::kMapType, false, "type", 4, 0},
    {"df", rec::kDegreesOfFreedom, false, "df", 6, 0},
    {"lowerThreshold", rec::kLowerThreshold, true, "lower", 10, 4},
    {"upperThreshold", rec::kUpperThreshold, true, "upper", 10, 4},
    {"clusterSize", rec::kClusterSize, false, "cluster", 8, 0},
    {"useCluster", rec::kUseCluster, false, "use", 4, 0},
    {"signShown", rec::kSignShown, false, "sign", 5, 0},
    {"transparency", rec::kTransparency, true, "transp", 7, 2},
    {"overlay", rec::kOverlayState, false, "overlay", 8, 0},
};

json fieldValue(const Map &map, const MapField &field) {
  if (!field.isFloat)
    return rec::read<std::int32_t>(map.record.data(), field.offset);
  const float value = rec::read<float>(map.record.data(), field.offset);
  return std::isfinite(value) ? json(value) : json();
}

namespace {

[[noreturn]] void unknownField(const Source &source, const std::string &where, const char *kind,
                               const std::string &key, const std::string &known) {
  source.fail(where,
              std::string("unknown ") + kind + " field \"" + shorten(key) + "\" (known: " + known + ")");
}

MapRecord hexToRecord(const std::string &hex, const Source &source, const std::string &where) {
  if (hex.size() != 2 * kRecordSize)
    source.fail(where, "hostBytes must be " + std::to_string(2 * kRecordSize) + " hex digits, got " +
                           std::to_string(hex.size()));
  MapRecord record;
  for (std::size_t i = 0; i < kRecordSize; ++i) {
    const char *pair = hex.data() + 2 * i;
    const auto [end, code] = std::from_chars(pair, pair + 2, record[i], 16);
    if (code != std::errc() || end != pair + 2)
      source.fail(where, "hostBytes holds " + describe(json(std::string(pair, 2))) + ", not two hex digits");
  }
  return record;
}

Map parseMap(const json &value, const Source &source, const std::string &where) {
  if (!value.is_object())
    source.fail(where, "expected a map object, got " + describe(value));
  Map out;
  if (const auto bytes = value.find("hostBytes"); bytes != value.end()) {
    const std::string here = memberPointer(where, "hostBytes");
    out.record = hexToRecord(toText(*bytes, source, here), source, here);
  }
  for (const auto &[key, field] : value.items()) {
    const std::string here = memberPointer(where, key);
    const auto *f = std::find_if(std::begin(kMapFields), std::end(kMapFields),
                                 [&key = key](const MapField &m) { return key == m.key; });
    if (key == "name") {
      out.name = toText(field, source, here);
    } else if (f != std::end(kMapFields)) {
      if (f->isFloat)
        rec::write(out.record.data(), f->offset, toFloat(field, source, here));
      else
        rec::write(out.record.data(), f->offset, toInt32(field, source, here));
    } else if (key != "hostBytes") {
      std::string known = "name";
      for (const MapField &m : kMapFields)
        known += std::string(", ") + m.key;
      unknownField(source, here, "map", key, known + ", hostBytes");
    }
  }
  return out;
}

// An array of at most `limit` elements (counted down), each read by parseOne.
template <typename ParseOne>
auto parseArray(const json &value, const Source &source, const std::string &where, const char *what,
                std::size_t &limit, ParseOne parseOne) {
  if (!value.is_array())
    source.fail(where, std::string("expected an array of ") + what + ", got " + describe(value));
  if (value.size() > limit)
    source.fail(where, "more than " + std::to_string(limit) + " " + what +
                           "; the stand-in host holds at most that many");
  limit -= value.size();
  std::vector<decltype(parseOne(value, where))> out;
  for (std::size_t i = 0; i < value.size(); ++i)
    out.push_back(parseOne(value[i], where + "/" + std::to_string(i)));
  return out;
}

// What is still allowed in the whole workspace, counted down as it is read.
struct Budget {
  std::size_t documents = kMaxDocuments;
  std::size_t maps = kMaxMaps;
};

Document parseDocument(const json &value, const Source &source, const std::string &where, Budget &budget) {
  if (!value.is_object())
    source.fail(where, "expected a document object, got " + describe(value));
  Document out;
  for (const auto &[key, field] : value.items()) {
    const std::string here = memberPointer(where, key);
    if (key == "id")
      out.id = toInt32(field, source, here);
    else if (key == "type")
      out.type = toInt32(field, source, here);
    else if (key == "name")
      out.name = toText(field, source, here);
    else if (key == "maps")
      out.maps =
          parseArray(field, source, here, "maps", budget.maps,
                     [&](const json &map, const std::string &at) { return parseMap(map, source, at); });
    else
      unknownField(source, here, "document", key, "id, type, name, maps");
  }
  return out;
}

} // namespace

Document *Workspace::current() {
  for (Document &document : documents)
    if (document.id == currentDocument)
      return &document;
  return nullptr;
}

Workspace parseWorkspace(const std::string &text, const Source &source) {
  const json root = readJsonObject(text, source, kWorkspaceLimits, "a workspace object");
  Workspace workspace;
  Budget budget;
  for (const auto &[key, field] : root.items()) {
    const std::string here = memberPointer("", key);
    if (key == "currentDocument") {
      workspace.currentDocument = toInt32(field, source, here);
    } else if (key == "version") {
      if (!field.is_array() || field.size() != 3)
        source.fail(here, "expected [major, minor, third], got " + describe(field));
      for (std::size_t i = 0; i < 3; ++i)
        workspace.version[i] = toInt32(field[i], source, here + "/" + std::to_string(i));
    } else if (key == "documents") {
      workspace.documents = parseArray(field, source, here, "documents", budget.documents,
                                       [&](const json &document, const std::string &at) {
                                         return parseDocument(document, source, at, budget);
                                       });
    } else {
      unknownField(source, here, "workspace", key, "currentDocument, version, documents");
    }
  }
  if (!root.contains("currentDocument") && !workspace.documents.empty())
    workspace.currentDocument = workspace.documents.front().id;
  return workspace;
}

nlohmann::ordered_json mapToJson(const Map &map) {
  nlohmann::ordered_json out;
  if (!map.name.empty())
    out["name"] = map.name;
  // A float that is not finite has no JSON number: it travels in hostBytes
  // alone. The host's own bytes are kept only when they hold anything the
  // named fields do not.
  bool named = true;
  MapRecord rest = map.record;
  for (const MapField &field : kMapFields) {
    const json value = fieldValue(map, field);
    named = named && !value.is_null();
    if (!value.is_null())
      out[field.key] = value;
    std::fill_n(rest.begin() + static_cast<std::ptrdiff_t>(field.offset), rec::kFieldWidth, 0);
  }
  if (!named || std::any_of(rest.begin(), rest.end(), [](unsigned char byte) { return byte != 0; })) {
    char hex[2 * kRecordSize + 1];
    for (std::size_t i = 0; i < kRecordSize; ++i)
      std::snprintf(hex + 2 * i, 3, "%02x", map.record[i]);
    out["hostBytes"] = hex;
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

std::string savedText(const Workspace &workspace, const std::string &path, std::uintmax_t limit) {
  const nlohmann::ordered_json saved = toJson(workspace);
  for (const int indent : {2, -1}) {
    std::string text = saved.dump(indent, ' ', false, json::error_handler_t::replace) + "\n";
    if (text.size() <= limit)
      return text;
  }
  throw InputError{path,
                   {},
                   0,
                   0,
                   {},
                   "cannot write the file: the workspace takes more than the " + std::to_string(limit) +
                       " bytes it could be read back from; it was left as it was"};
}

const char *demoWorkspaceJson() {
  return
#include "demo_workspace.inc"
      ;
}

} // namespace ondrava
