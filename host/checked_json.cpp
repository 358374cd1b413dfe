#include "checked_json.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace ondrava {

using nlohmann::json;

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

void failIn(const std::string &file, const std::string &message) {
  throw InputError{file, {}, 0, 0, {}, message};
}

void Source::fail(const std::string &pointer, const std::string &message) const {
  // A whole file is "/"; a command-line argument has no pointer.
  throw InputError{file, argument, 0, 0, !argument.empty() ? "" : pointer.empty() ? "/" : pointer, message};
}

void Source::failAt(const std::string &text, std::size_t offset, const std::string &message) const {
  offset = std::min(offset, text.size());
  const auto begin = text.begin(), at = begin + static_cast<std::ptrdiff_t>(offset);
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(begin, at, '\n'));
  const std::size_t lineStart = line == 1 ? 0 : text.rfind('\n', offset - 1) + 1;
  throw InputError{file, argument, argument.empty() ? line : 0, offset - lineStart + 1, {}, message};
}

namespace {

// Checks the limits while the parser reads, value by value, and works out
// where a value stands only when it is at fault.
struct LimitChecker {
  const std::string &text;
  const Source &source;
  const JsonLimits &limits;
  struct Frame {
    std::string key;   // in an object: the member being read
    std::size_t count; // in an array: the elements begun
    bool object;
  };
  std::vector<Frame> frames;
  std::size_t values = 0;

  // The pointer of the value the parser reads next.
  std::string here() const {
    std::string pointer;
    for (std::size_t i = 0; i < frames.size(); ++i)
      pointer = frames[i].object ? memberPointer(pointer, frames[i].key)
                                 : pointer + "/" + std::to_string(frames[i].count - (i + 1 < frames.size()));
    return frames.empty() ? "/" : pointer;
  }
  bool value() {
    if (++values > limits.maxValues)
      source.fail(here(),
                  "more than " + std::to_string(limits.maxValues) + " values; the format needs far fewer");
    if (!frames.empty())
      ++frames.back().count;
    return true;
  }
  bool open(bool object) {
    if (frames.size() >= limits.maxDepth)
      source.fail(here(), "nested deeper than " + std::to_string(limits.maxDepth) +
                              (limits.maxDepth == 1 ? " level" : " levels") + ", more than the format needs");
    value();
    frames.push_back({{}, 0, object});
    return true;
  }
  bool null() { return value(); }
  bool boolean(bool) { return value(); }
  bool number_integer(json::number_integer_t) { return value(); }
  bool number_unsigned(json::number_unsigned_t) { return value(); }
  bool number_float(json::number_float_t, const json::string_t &) { return value(); }
  bool string(json::string_t &) { return value(); }
  bool binary(json::binary_t &) { return value(); }
  bool start_object(std::size_t) { return open(true); }
  bool key(json::string_t &key) {
    frames.back().key = key;
    return true;
  }
  bool end_object() {
    frames.pop_back();
    return true;
  }
  bool start_array(std::size_t) { return open(false); }
  bool end_array() { return end_object(); }
  bool parse_error(std::size_t position, const std::string &token, const json::exception &e) {
    // The parser's one range error: a number beyond a double.
    if (e.id == 406)
      source.fail(here(), "the number " + shorten(token) + " is out of range");
    // "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error ...; last read: '...'":
    // the place as line and column, and the message without the text it read, which may be long.
    const std::string what = e.what();
    const std::size_t start = what.find(": ") + 2;
    source.failAt(text, position > 0 ? position - 1 : 0,
                  "malformed JSON: " + what.substr(start, what.find("; last read") - start));
  }
};

} // namespace

json readJson(const std::string &text, const Source &source, const JsonLimits &limits) {
  // The parser reads a NUL byte as the end of the text; here it is malformed.
  if (const std::size_t nul = text.find('\0'); nul != std::string::npos)
    source.failAt(text, nul, "malformed JSON: a NUL byte");
  // The text is checked first, and only a text within the limits is built into a document.
  LimitChecker checker{text, source, limits, {}};
  json::sax_parse(text, &checker);
  return json::parse(text);
}

std::string memberPointer(const std::string &parent, const std::string &key) {
  std::string token;
  for (const char c : shorten(key))
    token += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
  return parent + "/" + token;
}

std::string describe(const json &value) {
  if (value.is_structured())
    return value.is_array() ? "an array" : "an object";
  return std::string(value.type_name()) + " " +
         shorten(value.dump(-1, ' ', false, json::error_handler_t::replace));
}

std::int32_t toInt32(const json &value, const Source &source, const std::string &pointer, bool allowBool) {
  if (allowBool && value.is_boolean())
    return value.get<bool>() ? 1 : 0;
  if (!value.is_number_integer())
    source.fail(pointer, std::string("expected a 32-bit integer") + (allowBool ? " or true/false" : "") +
                             ", got " + describe(value));
  // Both ends of the 32-bit range are exact as doubles, and so is the comparison.
  using Limits = std::numeric_limits<std::int32_t>;
  if (value.get<double>() < Limits::min() || value.get<double>() > Limits::max())
    source.fail(pointer, value.dump() + " does not fit a 32-bit signed integer");
  return static_cast<std::int32_t>(value.get<std::int64_t>());
}

float toFloat(const json &value, const Source &source, const std::string &pointer) {
  if (!value.is_number())
    source.fail(pointer, "expected a number, got " + describe(value));
  // Halfway between the largest float and the next power of two: every
  // decimal below it rounds to a finite float (3.4028235e38 among them).
  constexpr double kRoundsToInfinity = 0x1.ffffffp127;
  const double v = value.get<double>();
  if (!(std::fabs(v) < kRoundsToInfinity))
    source.fail(pointer, shorten(value.dump()) + " does not fit a 32-bit float");
  return static_cast<float>(std::clamp(v, -double(FLT_MAX), double(FLT_MAX)));
}

std::string toText(const json &value, const Source &source, const std::string &pointer) {
  if (!value.is_string())
    source.fail(pointer, "expected text, got " + describe(value));
  return value.get<std::string>();
}

} // namespace ondrava
