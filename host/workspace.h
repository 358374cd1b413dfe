// The stand-in host's workspace file, as JSON.
//
//   { "currentDocument": 1,
//     "version": [3, 0, 0],                       (optional host version)
//     "documents": [ { "id": 1, "type": 3, "name": "subject01.vmr",
//                      "maps": [ { "name": "faces > houses", "type": 1, "df": 120, ... } ] } ] }
// Map fields (all optional, 0 when absent): those of kMapFields; name (text);
// hostBytes (the whole 112-byte record as 224 hex digits, under the fields).
#pragma once

#include "checked_json.h"
#include "host_state.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace ondrava {

// One named field of the map record: its key in a workspace, where it lies,
// and how the report's table shows it.
struct MapField {
  const char *key;
  std::size_t offset;
  bool isFloat; // a 32-bit float, else a 32-bit integer
  const char *title;
  std::size_t width; // the column's least width
  int decimals;      // of a float in the table
};
extern const MapField kMapFields[9];

struct Map {
  std::string name;
  MapRecord record{};
};

// The field as JSON: a number, or null for a float that is not finite.
nlohmann::json fieldValue(const Map &map, const MapField &field);

struct Document {
  std::int32_t id = 0;
  std::int32_t type = kelvane::kVmrDocumentType;
  std::string name;
  std::vector<Map> maps;
};

struct Workspace {
  std::int32_t version[3] = {3, 0, 0};
  std::int32_t currentDocument = -1;
  std::vector<Document> documents;

  Document *current();
};

// How much one workspace may hold. A saved map has at most 12 values and a
// document 6, so that everything the program saves it can read back.
constexpr std::size_t kMaxMaps = 100000;
constexpr std::size_t kMaxDocuments = 10000;
// Object, documents, document, maps, map: nothing in a workspace lies deeper.
constexpr JsonLimits kWorkspaceLimits{5, 2000000};

// An error names the source with the line and column of malformed JSON, or
// the JSON pointer of the offending value.
Workspace parseWorkspace(const std::string &text, const Source &source);

nlohmann::ordered_json toJson(const Workspace &workspace);
nlohmann::ordered_json mapToJson(const Map &map);
// The text --save writes to path: indented, or in one line where only that
// stays within the limit of an input file; an error where neither does.
std::string savedText(const Workspace &workspace, const std::string &path, std::uintmax_t limit);

// The built-in demo: a VMR with t maps of different degrees of freedom and a
// map of another type.
const char *demoWorkspaceJson();

} // namespace ondrava
