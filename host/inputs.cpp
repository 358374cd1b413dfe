#include "inputs.h"

#include <boost/algorithm/hex.hpp>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

namespace ondrava {

namespace rec = kelvane::record;

namespace {

// The record's field of that name, or null.
constexpr const rec::Field *recordField(std::string_view name) {
  for (const rec::Field &field : rec::kFields)
    if (name == field.name)
      return &field;
  return nullptr;
}

// A value as a message shows it: its type, and a scalar as written, cut short.
std::string describe(const Json &value, const Source &source, const std::string &pointer) {
  if (value.is_structured() || value.is_null())
    return value.is_array() ? "an array" : value.is_null() ? "null" : "an object";
  return std::string(value.type_name()) + " " + source.quote(value, pointer);
}

// The shortest text that reads back as the same float: 0.3, not 0.30000001192092896.
std::string floatText(float value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// The double a float is saved as: that of its shortest text, which a reader
// narrows back to the same float; where it does not (only 7.038531e-26 and
// its negative, rounded twice: to double, then to float), its own value.
double shortest(float value) {
  const double text = std::strtod(floatText(value).c_str(), nullptr);
  return static_cast<float>(text) == value ? text : value;
}

// Whether the store holds the key, whatever its type.
bool holds(const ParameterStore &store, const std::string &key) {
  return store.ints.count(key) + store.floats.count(key) + store.strings.count(key) > 0;
}

// The value when it has the type asked for; otherwise an error at the pointer.
std::int32_t toInt32(const Json &value, const Source &source, const std::string &pointer,
                     bool allowBool = false) {
  if (allowBool && value.is_boolean())
    return value.get<bool>() ? 1 : 0;
  // A whole number may be written with a point or an exponent (12.0, 1e3).
  const double number = value.is_number() ? value.get<double>() : NAN;
  if (number != std::trunc(number))
    source.fail(pointer, std::string("expected a 32-bit integer") + (allowBool ? " or true/false" : "") +
                             ", got " + describe(value, source, pointer));
  // Both ends of the 32-bit range are exact as doubles, and so is the comparison.
  if (number < INT32_MIN || number > INT32_MAX)
    source.fail(pointer, source.quote(value, pointer) + " does not fit a 32-bit signed integer");
  return static_cast<std::int32_t>(number);
}

float toFloat(const Json &value, const Source &source, const std::string &pointer) {
  if (!value.is_number())
    source.fail(pointer, "expected a number, got " + describe(value, source, pointer));
  // Halfway between the largest float and the next power of two: every
  // decimal below it rounds to a finite float (3.4028235e38 among them).
  constexpr double kRoundsToInfinity = 0x1.ffffffp127;
  const double v = value.get<double>();
  if (!(std::fabs(v) < kRoundsToInfinity))
    source.fail(pointer, source.quote(value, pointer) + " does not fit a 32-bit float");
  return static_cast<float>(std::clamp(v, -double(FLT_MAX), double(FLT_MAX)));
}

std::string toText(const Json &value, const Source &source, const std::string &pointer) {
  if (!value.is_string())
    source.fail(pointer, "expected text, got " + describe(value, source, pointer));
  return value.get<std::string>();
}

using Reader = std::function<void(const Json &value, const std::string &pointer)>;
using Readers = std::vector<std::pair<std::string, Reader>>;

// Reads each member of an object with the reader of its key, in the file's
// order. Any other key is an error that names the known ones, and adds what
// hint says of it.
void readObject(const Json &value, const Source &source, const std::string &where, const char *noun,
                const Readers &readers, const std::function<std::string(const std::string &key)> &hint = {}) {
  if (!value.is_object())
    source.fail(where,
                std::string("expected an object of ") + noun + "s, got " + describe(value, source, where));
  for (const auto &[key, member] : value.items()) {
    const auto reader =
        std::find_if(readers.begin(), readers.end(), [&key = key](const auto &r) { return r.first == key; });
    if (reader != readers.end()) {
      reader->second(member, memberPointer(where, key));
      continue;
    }
    std::string known;
    for (const auto &[name, read] : readers)
      known += (known.empty() ? "" : ", ") + name;
    source.fail(memberPointer(where, key), std::string("unknown ") + noun + " \"" + shorten(key) +
                                               "\" (known: " + known + ")" + (hint ? hint(key) : ""));
  }
}

// A count as people write it: 120,000.
std::string counted(std::size_t count) {
  std::string text = std::to_string(count);
  for (std::size_t digits = text.size(); digits > 3; digits -= 3)
    text.insert(digits - 3, ",");
  return text;
}

// How many values of one kind the whole workspace may hold and holds, and
// how many of them have been read.
struct Allowance {
  std::size_t most;
  std::size_t held;
  std::size_t read = 0;
};

// The maps of every document in an array of documents.
std::size_t mapsIn(const Json &documents) {
  std::size_t count = 0;
  for (std::size_t i = 0; documents.is_array() && i < documents.size(); ++i)
    if (const auto maps = documents[i].find("maps"); maps != documents[i].end() && maps->is_array())
      count += maps->size();
  return count;
}

// An array of elements, each read by readOne, refused where it goes past
// what the workspace may hold.
template <typename ReadOne>
auto readArray(const Json &value, const Source &source, const std::string &where, const char *what,
               Allowance &allowance, ReadOne readOne) {
  if (!value.is_array())
    source.fail(where,
                std::string("expected an array of ") + what + ", got " + describe(value, source, where));
  if ((allowance.read += value.size()) > allowance.most)
    source.fail(where, "the workspace holds " + counted(allowance.held) + " " + what +
                           "; the stand-in host holds at most " + counted(allowance.most));
  std::vector<decltype(readOne(value, source, where))> out;
  for (std::size_t i = 0; i < value.size(); ++i)
    out.push_back(readOne(value[i], source, where + "/" + std::to_string(i)));
  return out;
}

Map readMap(const Json &value, const Source &source, const std::string &where) {
  Map out;
  MapRecord hostBytes{};
  MapRecord named{}; // all bits set where a named field was given, which hostBytes lies under
  Readers readers = {
      {"name", [&](const Json &v, const std::string &at) { out.name = toText(v, source, at); }},
      {"hostBytes", [&](const Json &v, const std::string &at) {
         const std::string hex = toText(v, source, at);
         if (hex.size() != 2 * kRecordSize || hex.find_first_not_of("0123456789abcdefABCDEF") != hex.npos)
           source.fail(at, "hostBytes must be " + std::to_string(2 * kRecordSize) + " hex digits");
         boost::algorithm::unhex(hex, hostBytes.begin());
       }}};
  for (const MapField &field : kMapFields)
    readers.push_back({field.key, [&](const Json &v, const std::string &at) {
                         const std::size_t offset = field.field->offset;
                         rec::write(named.data(), offset, std::int32_t{-1});
                         if (!field.isFloat())
                           return rec::write(out.record.data(), offset, toInt32(v, source, at));
                         // Nothing given as nonzero is held as 0 without a word; an option is warned of.
                         const float number = toFloat(v, source, at);
                         if (number == 0 && v.get<double>() != 0)
                           source.fail(at, source.quote(v, at) + " becomes 0 as a 32-bit float");
                         rec::write(out.record.data(), offset, number);
                       }});
  readObject(value, source, where, "map field", readers);
  for (std::size_t i = 0; i < kRecordSize; ++i)
    out.record[i] = named[i] != 0 ? out.record[i] : hostBytes[i];
  return out;
}

// Why the plugin will not use a key: the nearest switch it needs that is
// off, or the switch on that puts another key in its place; empty when it uses it.
std::string unused(const kelvane::OptionKey &key, const ParameterStore &store) {
  using kelvane::kNoSwitch;
  using kelvane::optionKey;
  const auto on = [&](kelvane::OptionKeyId id) { return store.ints.at(optionKey(id).name) != 0; };
  auto off = key.needs;
  while (off != kNoSwitch && on(off))
    off = optionKey(off).needs;
  if (off != kNoSwitch)
    return optionKey(off).name + std::string(" is off");
  return key.unusedWhenOn != kNoSwitch && on(key.unusedWhenOn)
             ? optionKey(key.unusedWhenOn).name + std::string(" is on")
             : "";
}

// What is wrong with the value of a key given and used: one the dialog never
// stores, or one a 32-bit float makes 0 (or a p 1), which changes the run.
std::string valueWarning(const kelvane::OptionKey &key, const Options &named, const ParameterStore &store) {
  const std::string name = key.name;
  const double value = key.type == kelvane::OptionType::Float ? store.floats.at(name)
                       : key.type == kelvane::OptionType::Int ? store.ints.at(name)
                                                              : 0;
  // The dialog stores a switch as 0 or 1.
  const char *made = key.role == kelvane::OptionRole::Switch && value != 0 && value != 1
                         ? "the plugin takes it as on"
                         : key.limits.outside(value);
  const auto given = named.given.find(name);
  if (given != named.given.end() && given->second.first != value &&
      (value == 0 || (made != nullptr && !key.limits.outside(given->second.first))))
    return name + "=" + given->second.second + " becomes " + (value == 0 ? "0" : "1") +
           " as a 32-bit float; " + (made != nullptr ? made : "the plugin writes that into every map");
  return made != nullptr ? name + " has a value the dialog never stores; " + made : "";
}

// A reader for each key of the table, checking the value against the key's type.
Readers optionReaders(const Source &source, Options &out) {
  Readers readers;
  for (const kelvane::OptionKey &key : kelvane::kOptionKeys)
    readers.push_back(
        {key.name, [&source, &out, &key](const Json &value, const std::string &at) {
           if (key.type == kelvane::OptionType::Float)
             out.values.floats[key.name] = toFloat(value, source, at),
             out.given[key.name] = {value.get<double>(), source.quote(value, at)};
           else if (key.type == kelvane::OptionType::Int)
             out.values.ints[key.name] = toInt32(value, source, at, key.role == kelvane::OptionRole::Switch);
           else if (const std::string &text = out.values.strings[key.name] = toText(value, source, at);
                    text.size() > kMaxTextBytes)
             source.fail(at, "text of " + std::to_string(text.size()) + " bytes; the host holds at most " +
                                 std::to_string(kMaxTextBytes));
         }});
  return readers;
}

} // namespace

constexpr MapField kMapFields[std::size(rec::kFields)] = {
    {"type", recordField("MapType"), "type", 4, 0},
    {"df", recordField("DegreesOfFreedom"), "df", 6, 0},
    {"lowerThreshold", recordField("LowerThreshold"), "lower", 10, 4},
    {"upperThreshold", recordField("UpperThreshold"), "upper", 10, 4},
    {"clusterSize", recordField("ClusterSize"), "cluster", 8, 0},
    {"useCluster", recordField("UseCluster"), "use", 4, 0},
    {"signShown", recordField("SignShown"), "sign", 5, 0},
    {"transparency", recordField("Transparency"), "transp", 7, 2},
    {"overlay", recordField("OverlayState"), "overlay", 8, 0},
};

// As many rows as the record has fields, and each field in exactly one of
// them: so every row found its field. (Pointers compared for equality alone,
// which a sanitizer's build still evaluates at compile time.)
constexpr bool eachFieldOnce() {
  for (const rec::Field &field : rec::kFields) {
    int rows = 0;
    for (const MapField &row : kMapFields)
      rows += row.field == &field;
    if (rows != 1)
      return false;
  }
  return true;
}
static_assert(eachFieldOnce(), "a record field without a row, or with more than one");

Document *Workspace::current() {
  const auto found = std::find_if(documents.begin(), documents.end(), [this](const Document &document) {
    return document.id == currentDocument;
  });
  return found == documents.end() ? nullptr : &*found;
}

Workspace parseWorkspace(const std::string &text, const Source &from) {
  Source source = from;
  Workspace workspace;
  std::optional<std::int32_t> current; // by default the first document
  Allowance maps{kMaxMaps, 0};
  std::set<std::int32_t> ids;
  const auto readDocument = [&](const Json &value, const Source &, const std::string &where) {
    Document out;
    // An id the host could give: its own, never negative ("no document").
    const auto readId = [&](const Json &v, const std::string &at) {
      out.id = toInt32(v, source, at);
      if (out.id < 0)
        source.fail(at, "a document id is 0 or more; a negative id means no document");
    };
    readObject(value, source, where, "document field",
               {{"id", readId},
                {"type", [&](const Json &v, const std::string &at) { out.type = toInt32(v, source, at); }},
                {"name", [&](const Json &v, const std::string &at) { out.name = toText(v, source, at); }},
                {"maps", [&](const Json &v, const std::string &at) {
                   out.maps = readArray(v, source, at, "maps", maps, readMap);
                 }}});
    if (!ids.insert(out.id).second)
      source.fail(where, "another document has the id " + std::to_string(out.id));
    return out;
  };
  const Readers readers = {
      {"currentDocument", [&](const Json &v, const std::string &at) { current = toInt32(v, source, at); }},
      {"documents", [&](const Json &v, const std::string &at) {
         Allowance documents{kMaxDocuments, v.size()};
         maps.held = mapsIn(v);
         workspace.documents = readArray(v, source, at, "documents", documents, readDocument);
       }}};
  readJson(text, source, kWorkspaceLimits,
           [&](const Json &root) { readObject(root, source, "", "workspace field", readers); });
  workspace.currentDocument =
      current.value_or(workspace.documents.empty() ? -1 : workspace.documents.front().id);
  return workspace;
}

void to_json(Json &out, const Map &map) {
  // An object from the start: a null made one by its first member is left
  // broken when that fails for want of memory.
  out = Json::object();
  if (!map.name.empty())
    out["name"] = map.name;
  // A float that is not finite has no JSON number: it travels in hostBytes
  // alone. The host's own bytes are kept only when they hold anything the
  // named fields do not.
  MapRecord named{}; // the record as the named fields alone give it back
  for (const MapField &field : kMapFields) {
    const std::size_t offset = field.field->offset;
    const float value = rec::read<float>(map.record.data(), offset);
    if (!field.isFloat())
      out[field.key] = rec::read<std::int32_t>(map.record.data(), offset);
    else if (std::isfinite(value))
      out[field.key] = shortest(value);
    else
      continue;
    std::copy_n(map.record.data() + offset, rec::kFieldWidth, named.data() + offset);
  }
  if (named != map.record)
    out["hostBytes"] = boost::algorithm::hex_lower(std::string(map.record.begin(), map.record.end()));
}

// A document's maps convert through to_json, which nlohmann-json finds.
void to_json(Json &out, const Document &document) {
  out = {{"id", document.id}, {"type", document.type}};
  if (!document.name.empty())
    out["name"] = document.name;
  out["maps"] = document.maps;
}

Json toJson(const Workspace &workspace) {
  return {{"currentDocument", workspace.currentDocument}, {"documents", workspace.documents}};
}

std::string savedText(const Workspace &workspace, const std::string &path, std::uintmax_t limit) {
  const Json saved = toJson(workspace);
  for (const int indent : {2, -1}) {
    std::string text = saved.dump(indent, ' ', false, Json::error_handler_t::replace) + "\n";
    if (text.size() <= limit)
      return text;
  }
  failOn(path, "cannot write the file: the workspace takes more than the " + std::to_string(limit) +
                   " bytes it could be read back from; it was left as it was");
}

const char *const kDemoWorkspace =
#include "demo_workspace.inc"
    ;

// Read as a partial document (readJson): what came before a fault is
// checked first, so that the first problem named is the first in the file,
// a wrong type ahead of a syntax error further on. And a workspace given as
// options goes past the options' depth at its documents, where what came
// before (currentDocument, or the key "documents" itself) is an unknown key:
// the hint then names the mistake.
void parseOptions(const std::string &text, const Source &from, Options &out) {
  Source source = from;
  const auto hint = [](const std::string &key) {
    return key == "currentDocument" || key == "documents"
               ? "; this looks like a workspace: give it with --workspace"
               : "";
  };
  readJson(text, source, kOptionsLimits, [&](const Json &root) {
    readObject(root, source, "", "option", optionReaders(source, out), hint);
  });
}

void parseSetting(const std::string &setting, Options &out) {
  Source source{{}, "--set " + shorten(setting)};
  const std::size_t equals = setting.find('=');
  if (equals == std::string::npos || equals == 0)
    source.fail("", "expected KEY=VALUE");
  const std::string key = setting.substr(0, equals);
  const std::string text = setting.substr(equals + 1);
  Json value = text;
  // A number as a dialog's field takes it: a sign, a point at either end and
  // an exponent; hex, inf and nan have letters no number here has.
  // true/false for a switch. Whether it suits the key (an integer is whole),
  // the key's reader says; anything else stays text and fails the type check.
  if (const kelvane::OptionKey *known = kelvane::findOptionKey(key.c_str());
      known != nullptr && known->type != kelvane::OptionType::Text) {
    char *end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (text == "true" || text == "false")
      value = text == "true";
    else if (text.empty() || text.find_first_not_of("0123456789+-.eE") != text.npos || *end != '\0')
      value = text;
    else if (std::isinf(number))
      source.fail("", "the number " + shorten(text) + " is out of range");
    else
      value = number, source.numbers[memberPointer("", key)] = text;
  }
  readObject(Json::object({{key, value}}), source, "", "option", optionReaders(source, out));
  out.set.insert(key);
}

std::vector<std::string> startStore(const Options &named, ParameterStore &store) {
  Options all = named;
  for (const kelvane::OptionKey &key : kelvane::kOptionKeys)
    if (!holds(named.values, key.name))
      parseSetting(std::string(key.name) + "=" + key.initial, all);
  store = all.values;
  std::vector<std::string> out;
  for (const kelvane::OptionKey &key : kelvane::kOptionKeys) {
    if (!holds(named.values, key.name))
      continue;
    if (const std::string why = unused(key, store); !why.empty()) {
      if (named.set.count(key.name) > 0)
        out.push_back(key.name + (" is set, but " + why) + ", so the plugin does not use it");
    } else if (std::string warning = valueWarning(key, named, store); !warning.empty()) {
      out.push_back(std::move(warning));
    }
  }
  using kelvane::optionKey;
  using Id = kelvane::OptionKeyId;
  if (const float min = store.floats.at("Min"), max = store.floats.at("Max");
      unused(optionKey(Id::Min), store).empty() && unused(optionKey(Id::Max), store).empty() && min > max)
    out.push_back("Min is above Max: the plugin sets every map's lower threshold to " + floatText(min) +
                  ", above its upper threshold, " + floatText(max));
  return out;
}

} // namespace ondrava
