// The program's two input formats: the stand-in host's workspace file, and
// the plugin's options as a JSON file of the parameter-store keys or
// --set KEY=VALUE on the command line, each value checked against its key's
// type in the plugin's table (option_keys.h).
//
// The workspace file:
//
//   { "currentDocument": 1,                       (optional: the first document)
//     "documents": [ { "id": 1, "type": 3, "name": "subject01.vmr",
//                      "maps": [ { "name": "faces > houses", "type": 1, "df": 120, ... } ] } ] }
// Map fields (all optional): those of kMapFields, 0 when absent; name (text);
// hostBytes (the whole 112-byte record as 224 hex digits, which the fields
// given are written over).
#pragma once

#include "checked_json.h"
#include "host_state.h"
#include "map_record.h"
#include "option_keys.h"

#include <cstdint>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ondrava {

// One named field of the map record: its key in a workspace, the record's
// own field, and how the report's table shows it.
struct MapField {
  const char *key;
  const kelvane::record::Field *field; // where and what it is in the record
  const char *title;
  std::size_t width; // the column's least width
  int decimals;      // of a float in the table

  constexpr bool isFloat() const { return field->type == kelvane::record::FieldType::Float32; }
};
// In the order of the workspace's keys and the table's columns.
extern const MapField kMapFields[std::size(kelvane::record::kFields)];

struct Map {
  std::string name;
  MapRecord record{};
};

struct Document {
  std::int32_t id = 0;
  std::int32_t type = kelvane::kVmrDocumentType;
  std::string name;
  std::vector<Map> maps;
};

struct Workspace {
  std::int32_t currentDocument = -1;
  std::vector<Document> documents;

  Document *current();
};

// How much one workspace may hold. A saved map has at most 12 values and a
// document 5, so that everything the program saves it can read back.
constexpr std::size_t kMaxMaps = 100000;
constexpr std::size_t kMaxDocuments = 10000;
// Object, documents, document, maps, map: nothing in a workspace lies deeper.
constexpr JsonLimits kWorkspaceLimits{5, 2000000};

// An error names the source with the line and column of malformed JSON, or
// the JSON pointer of the offending value.
Workspace parseWorkspace(const std::string &text, const Source &source);

// A workspace as --save writes it, and a map as nlohmann-json converts it
// through to_json.
Json toJson(const Workspace &workspace);
void to_json(Json &out, const Map &map);
// The text --save writes to path: indented, or in one line where only that
// stays within the limit of an input file; an error where neither does.
std::string savedText(const Workspace &workspace, const std::string &path, std::uintmax_t limit);

// The built-in demo: a VMR with t maps of different degrees of freedom and a
// map of another type.
extern const char *const kDemoWorkspace;

// The longest text the host's string parameter holds, its terminator aside.
constexpr std::size_t kMaxTextBytes = kelvane::kStringParameterSize - 1;

// One object of keys; nothing in an options file lies deeper.
constexpr JsonLimits kOptionsLimits{1, 1000};

// Options as the user gave them: the keys' values, each float key's number
// before it became a 32-bit float and as written, and the keys named with --set.
struct Options {
  ParameterStore values;
  std::map<std::string, std::pair<double, std::string>, std::less<>> given;
  std::set<std::string, std::less<>> set;
};

// Each reads options, changing only the keys they name. Errors name the
// file with a line and column of malformed JSON, or the JSON pointer of the
// offending key.
void parseOptions(const std::string &text, const Source &source, Options &out);
// One "KEY=VALUE" of the command line, checked against the key's type. A
// number is spelled as a dialog's field takes it: a sign, a point at either
// end and an exponent (+2, .5, 5., 1e3); an integer is whole.
void parseSetting(const std::string &setting, Options &out);

// The options the built-in demo runs with, as an options file holds them:
// what the dialog stores when these boxes are ticked and the list typed.
constexpr const char *kDemoOptions =
    R"({"DoSetMin":1,"DoSetMinP":1,"DoClusterSize":1,"DoUseClusterSize":1,"DoOverlayMaps":1,"Overlay":"1,3-4"})";

// Starts the store a run reads as the host's dialog leaves it: what `named`
// holds, and every other key at the dialog's default. Returns a warning for
// each key given with --set that the plugin will not use (a switch it needs
// is off, or one that puts another key in its place is on), for each key
// given and used whose value the dialog never stores (a switch is 0 or 1) or
// a 32-bit float makes 0 (or a p 1), and for a lower threshold above the
// upper one. The dialog writes
// every key: one of an options file that is not used is no warning.
std::vector<std::string> startStore(const Options &named, ParameterStore &store);

} // namespace ondrava
