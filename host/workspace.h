// The stand-in host's workspace file and option set, as JSON.
//
// Workspace:
//   { "currentDocument": 1,
//     "version": [3, 0, 0],                       (optional host version)
//     "documents": [ { "id": 1, "type": 3, "name": "subject01.vmr",
//                      "maps": [ { "name": "faces > houses", "type": 1, "df": 120, ... } ] } ] }
// Map fields (all optional, 0 when absent): type, df, clusterSize, useCluster,
// signShown, overlay (32-bit integers); lowerThreshold, upperThreshold,
// transparency (32-bit floats); name (text); hostBytes (the whole 112-byte
// record as 224 hex digits, under the fields).
//
// Options: an object of the sixteen parameter keys, each with its type.
#pragma once

#include "host_state.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
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

struct Options {
  decltype(HostState::ints) ints;
  decltype(HostState::floats) floats;
  decltype(HostState::strings) strings;
};

enum class KeyType { Int, Float, String };
// The type of one of the sixteen keys, or nothing for any other key.
std::optional<KeyType> keyType(const std::string &key);

// Each parser returns false with *error set to "where: what is wrong"; where
// is the source name with a line and column for malformed JSON, or with a
// JSON pointer to the offending value.
bool parseWorkspace(const std::string &text, const std::string &source, Workspace &out, std::string *error);
bool parseOptions(const std::string &text, const std::string &source, Options &out, std::string *error);
// One "KEY=VALUE" of the command line, checked against the key's type.
bool parseSetting(const std::string &setting, Options &out, std::string *error);
// Reads a whole file; false with *error naming it when it cannot be read.
bool readFile(const std::string &path, std::string &text, std::string *error);

nlohmann::ordered_json toJson(const Workspace &workspace);
nlohmann::ordered_json mapToJson(const Map &map);

// The built-in demo: a VMR with t maps of different degrees of freedom and a
// map of another type.
const char *demoWorkspaceJson();

} // namespace ondrava
