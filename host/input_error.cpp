#include "input_error.h"

namespace ondrava {

std::string shorten(const std::string &text) {
  if (text.size() <= kQuoteLimit)
    return text;
  std::size_t cut = kQuoteLimit;
  // Back up over UTF-8 continuation bytes so that the cut keeps whole characters.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;
  return text.substr(0, cut) + "...";
}

std::string InputError::text() const {
  std::string where = !file.empty() ? file : argument;
  if (!where.empty() && !pointer.empty())
    where += " at " + pointer;
  else if (!where.empty() && line > 0)
    where += ":" + std::to_string(line) + ":" + std::to_string(column);
  return where.empty() ? message : where + ": " + message;
}

nlohmann::ordered_json InputError::toJson() const {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  if (!file.empty())
    out["file"] = file;
  if (!argument.empty())
    out["argument"] = argument;
  if (line > 0) {
    out["line"] = line;
    out["column"] = column;
  }
  if (!pointer.empty())
    out["pointer"] = pointer;
  out["message"] = message;
  return out;
}

} // namespace ondrava
