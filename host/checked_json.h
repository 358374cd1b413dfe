// The program's input as JSON: parsed in one pass within limits that no
// input can get past (nesting depth, number of values, numbers beyond a
// double), each key once per object, and checked value by value. Every
// complaint is one thrown FatalError naming where the value stands; main()
// catches it.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace ondrava {

using Json = nlohmann::ordered_json; // members in the file's order

// Every error that ends a run with exit status 2 and says why: bad input, and
// a file that cannot be read or saved, a plugin that throws or fails to load,
// want of memory; with where it lies, when it lies somewhere.
struct FatalError {
  std::string file;     // the file, when the error is in one
  std::string argument; // the command-line argument, when the error is in one
  std::size_t line = 0; // 1-based; 0 when there is no position
  std::size_t column = 0;
  std::string pointer; // JSON pointer to the offending value; "/" for the whole document
  std::string message;

  FatalError() = default;
  explicit FatalError(std::string message, std::string file = {})
      : file(std::move(file)), message(std::move(message)) {}

  // "file at /pointer: message", "file:line:column: message",
  // "argument: message" or just the message.
  std::string text() const;
  Json toJson() const;
};

// A quoted value in a message is cut after this many characters (code
// points), so that no input can make an error message long.
constexpr std::size_t kQuoteLimit = 80;
// The text cut after kQuoteLimit characters, never inside one, with "..."
// marking a cut.
std::string shorten(const std::string &text);

// An error that names a file as a whole: one that cannot be read or written,
// say, or the plugin module a failure is put down to.
[[noreturn]] void failOn(const std::string &file, const std::string &message);

// Where a text came from: a file, or a command-line argument; and, by JSON
// pointer, each number that its value would show otherwise than written
// (1e3, not 1000.0; 12.50, not 12.5).
struct Source {
  std::string file;
  std::string argument;
  std::map<std::string, std::string> numbers = {};

  // A scalar as the text has it, cut short: a number as written, a text quoted.
  std::string quote(const Json &value, const std::string &pointer) const;

  FatalError at(const std::string &pointer, const std::string &message) const;
  [[noreturn]] void fail(const std::string &pointer, const std::string &message) const;
  // At the byte offset of text, as line and column.
  FatalError atOffset(const std::string &text, std::size_t offset, const std::string &message) const;
};

struct JsonLimits {
  std::size_t maxDepth;  // containers inside containers; 1 = one object or array of scalars
  std::size_t maxValues; // every value counts, containers included
};

// Parses the text and hands the document to read, which checks it, keeping
// the numbers' text in source. A UTF-8 byte-order mark is skipped; UTF-16 is
// refused. Where the text has a fault (malformed, beyond the limits, a key
// given twice), read is handed what came before the fault, without any
// object left open, and the fault is thrown only when read finds nothing
// wrong there: the first problem named is the first in the file.
void readJson(const std::string &text, Source &source, const JsonLimits &limits,
              const std::function<void(const Json &)> &read);
// The JSON pointer of an object member below a parent pointer ("" is the root).
std::string memberPointer(const std::string &parent, const std::string &key);

} // namespace ondrava
