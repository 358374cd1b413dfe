// What went wrong with the program's input, and where: a file with a line and
// column or a JSON pointer, or a command-line argument. The same error is
// printed as one line of text or as a JSON object.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>

namespace ondrava {

struct InputError {
  std::string file;     // the file, when the error is in one
  std::string argument; // the command-line argument, when the error is in one
  std::size_t line = 0; // 1-based; 0 when there is no position
  std::size_t column = 0;
  std::string pointer; // JSON pointer to the offending value; "/" for the whole document
  std::string message;

  // "file at /pointer: message", "file:line:column: message",
  // "argument: message" or just the message.
  std::string text() const;
  nlohmann::ordered_json toJson() const;
};

// A quoted value in a message is cut after this many characters, so that no
// input can make an error message long.
constexpr std::size_t kQuoteLimit = 80;
// The text cut to kQuoteLimit characters (never inside a UTF-8 sequence),
// with "..." marking a cut.
std::string shorten(const std::string &text);

} // namespace ondrava
