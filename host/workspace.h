// The stand-in host's workspace file, as JSON.
//
//   { "currentDocument": 1,
//     "version": [3, 0, 0],                       (optional host version)
//     "documents": [ { "id": 1, "type": 3, "name": "subject01.vmr",
//                      "maps": [ { "name": "faces > houses", "type": 1, "df": 120, ... } ] } ] }
// Map fields (all optional, 0 when absent): type, df, clusterSize, useCluster,
// signShown, overlay (32-bit integers); lowerThreshold, upperThreshold,
// transparency (32-bit floats); name (text); hostBytes (the whole 112-byte
// record as 224 hex digits, under the fields).
#pragma once

#include "checked_json.h"
#include "host_state.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace ondrava {

struct Map {
  std::string name;
  MapRecord record{};
};

struct Document {
  std::int32_t id = 0;
  std::int32_t type = 3;
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

// False with *error naming the source with the line and column of malformed
// JSON, or the JSON pointer of the offending value.
bool parseWorkspace(const std::string &text, const Source &source, Workspace &out, InputError &error);

nlohmann::ordered_json toJson(const Workspace &workspace);
nlohmann::ordered_json mapToJson(const Map &map);

// The built-in demo: a VMR with t maps of different degrees of freedom and a
// map of another type.
const char *demoWorkspaceJson();

} // namespace ondrava
