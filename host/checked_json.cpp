#include "checked_json.h"

#include <algorithm>
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

std::string FatalError::text() const {
  std::string where = !file.empty() ? file : argument;
  if (!where.empty() && !pointer.empty())
    where += " at " + pointer;
  else if (!where.empty() && line > 0)
    where += ":" + std::to_string(line) + ":" + std::to_string(column);
  return where.empty() ? message : where + ": " + message;
}

nlohmann::ordered_json FatalError::toJson() const {
  nlohmann::ordered_json out = {{"file", file},       {"argument", argument},
                                {"line", line},       {"column", line > 0 ? column : 0},
                                {"pointer", pointer}, {"message", message}};
  // What the error does not have is left out: an empty text, a position of 0.
  for (const char *key : {"file", "argument", "line", "column", "pointer"})
    if (out[key] == "" || out[key] == 0)
      out.erase(key);
  return out;
}

void failOn(const std::string &file, const std::string &message) {
  throw FatalError{file, {}, 0, 0, {}, message};
}

void Source::fail(const std::string &pointer, const std::string &message) const {
  // A whole file is "/"; a command-line argument has no pointer.
  throw FatalError{file, argument, 0, 0, !argument.empty() ? "" : pointer.empty() ? "/" : pointer, message};
}

void Source::failAt(const std::string &text, std::size_t offset, const std::string &message) const {
  offset = std::min(offset, text.size());
  const auto at = text.begin() + static_cast<std::ptrdiff_t>(offset);
  const std::size_t line = 1 + static_cast<std::size_t>(std::count(text.begin(), at, '\n'));
  const std::size_t lineStart = line == 1 ? 0 : text.rfind('\n', offset - 1) + 1;
  throw FatalError{file, argument, argument.empty() ? line : 0, offset - lineStart + 1, {}, message};
}

namespace {

// Where the parser stands in one container.
struct Frame {
  std::string key;   // in an object: the member being read
  std::size_t count; // in an array: the elements begun
  bool object;
};

// The pointer of the value the parser reads next.
std::string pointerOf(const std::vector<Frame> &frames) {
  std::string pointer;
  for (std::size_t i = 0; i < frames.size(); ++i)
    pointer = frames[i].object ? memberPointer(pointer, frames[i].key)
                               : pointer + "/" + std::to_string(frames[i].count - (i + 1 < frames.size()));
  return frames.empty() ? "/" : pointer;
}

// The limits are checked value by value as the parser reads, so that no
// document outgrows them; where a value stands is worked out only when it is
// at fault.
void checkLimits(const std::string &text, const Source &source, const JsonLimits &limits) {
  std::vector<Frame> frames;
  std::size_t values = 0;
  const auto count = [&] {
    if (++values > limits.maxValues)
      source.fail(pointerOf(frames),
                  "more than " + std::to_string(limits.maxValues) + " values; the format needs far fewer");
    if (!frames.empty())
      ++frames.back().count;
  };
  using Event = json::parse_event_t;
  try {
    [[maybe_unused]] const json checked = json::parse(text, [&](int, Event event, json &parsed) {
      if (event == Event::key) {
        frames.back().key = parsed.get<std::string>();
      } else if (event == Event::object_end || event == Event::array_end) {
        frames.pop_back();
      } else if (event == Event::value) {
        count();
      } else if (frames.size() >= limits.maxDepth) {
        source.fail(pointerOf(frames), "nested deeper than " + std::to_string(limits.maxDepth) +
                                           (limits.maxDepth == 1 ? " level" : " levels") +
                                           ", more than the format needs");
      } else {
        count();
        frames.push_back({{}, 0, event == Event::object_start});
      }
      // Nothing is kept: the parser would scan a container's members after
      // each child it discards, which grows quadratic for a kept document.
      // Containers and keys stay only so that the events inside them come.
      return event == Event::key || event == Event::object_start || event == Event::array_start;
    });
  } catch (const json::out_of_range &e) {
    // The parser's one range error: "... number overflow parsing '1e400'".
    const std::string what = e.what();
    const std::size_t start = what.find('\'') + 1;
    source.fail(pointerOf(frames),
                "the number " + shorten(what.substr(start, what.rfind('\'') - start)) + " is out of range");
  }
}

} // namespace

json readJson(const std::string &text, const Source &source, const JsonLimits &limits) {
  // The parser reads a NUL byte as the end of the text; here it is malformed.
  if (const std::size_t nul = text.find('\0'); nul != std::string::npos)
    source.failAt(text, nul, "malformed JSON: a NUL byte");
  try {
    checkLimits(text, source, limits);
  } catch (const json::parse_error &e) {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error ...; last read: '...'":
    // the place as line and column, and the message without the text it read, which may be long.
    const std::string what = e.what();
    const std::size_t start = what.find(": ") + 2;
    source.failAt(text, e.byte > 0 ? e.byte - 1 : 0,
                  "malformed JSON: " + what.substr(start, what.find("; last read") - start));
  }
  return json::parse(text);
}

std::string memberPointer(const std::string &parent, const std::string &key) {
  return (json::json_pointer(parent) / shorten(key)).to_string();
}

} // namespace ondrava
