// JSON as the program's input files hold it: parsed with limits that no input
// can get past (nesting depth, number of values, numbers that overflow a
// double), and checked value by value, every complaint naming where the
// value stands.
#pragma once

#include "input_error.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

namespace ondrava {

// Where a text came from: a file, or a command-line argument.
struct Source {
  std::string file;
  std::string argument;

  InputError at(const std::string &pointer, const std::string &message) const;
  InputError at(std::size_t line, std::size_t column, const std::string &message) const;
};

struct JsonLimits {
  std::size_t maxDepth;  // containers inside containers; 1 = one object or array of scalars
  std::size_t maxValues; // every value counts, containers included
};

// False with *error set when the text is not JSON or goes past a limit.
bool readJson(const std::string &text, const Source &source, const JsonLimits &limits, nlohmann::json &out,
              InputError &error);

// readJson, and the root must be an object: otherwise "expected <what>, got
// <what it is>".
bool readJsonObject(const std::string &text, const Source &source, const JsonLimits &limits, const char *what,
                    nlohmann::json &out, InputError &error);

// The JSON pointer of an object member below a parent pointer ("" is the root).
std::string memberPointer(const std::string &parent, const std::string &key);
// A value as a message shows it: its type, and a scalar's text cut short.
std::string describe(const nlohmann::json &value);

// Each check gives the value when it has the type asked for, else false with
// *error naming source and pointer.
bool toInt32(const nlohmann::json &value, const Source &source, const std::string &pointer, std::int32_t &out,
             InputError &error, bool allowBool = false);
bool toFloat(const nlohmann::json &value, const Source &source, const std::string &pointer, float &out,
             InputError &error);
bool toText(const nlohmann::json &value, const Source &source, const std::string &pointer, std::string &out,
            InputError &error);

} // namespace ondrava
