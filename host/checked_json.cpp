#include "checked_json.h"

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

namespace ondrava {

// A character is a byte and the continuation bytes its first one announces
// (so that a byte that is not UTF-8 counts alone).
std::string shorten(const std::string &text) {
  std::size_t end = 0;
  for (std::size_t characters = 0; end < text.size(); ++characters) {
    if (characters == kQuoteLimit)
      return text.substr(0, end) + "...";
    const auto lead = static_cast<unsigned char>(text[end++]);
    int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    for (; more > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; --more)
      ++end;
  }
  return text;
}

std::string FatalError::text() const {
  std::string where = !file.empty() ? file : argument;
  if (!where.empty() && !pointer.empty())
    where += " at " + pointer;
  else if (!where.empty() && line > 0)
    where += ":" + std::to_string(line) + ":" + std::to_string(column);
  return where.empty() ? message : where + ": " + message;
}

Json FatalError::toJson() const {
  Json out = {{"file", file},       {"argument", argument}, {"line", line}, {"column", line > 0 ? column : 0},
              {"pointer", pointer}, {"message", message}};
  // What the error does not have is left out: an empty text, a position of 0.
  for (const char *key : {"file", "argument", "line", "column", "pointer"})
    if (out[key] == "" || out[key] == 0)
      out.erase(key);
  return out;
}

void failOn(const std::string &file, const std::string &message) { throw FatalError(message, file); }

FatalError Source::at(const std::string &pointer, const std::string &message) const {
  FatalError error(message, file);
  error.argument = argument;
  // A whole file is "/"; a command-line argument has no pointer.
  error.pointer = !argument.empty() ? "" : pointer.empty() ? "/" : pointer;
  return error;
}

void Source::fail(const std::string &pointer, const std::string &message) const {
  throw at(pointer, message);
}

std::string Source::quote(const Json &value, const std::string &pointer) const {
  if (const auto written = numbers.find(pointer); written != numbers.end())
    return shorten(written->second);
  const Json shown = value.is_string() ? Json(shorten(value.get<std::string>())) : value;
  return shown.dump(-1, ' ', false, Json::error_handler_t::replace);
}

FatalError Source::atOffset(const std::string &text, std::size_t offset, const std::string &message) const {
  offset = std::min(offset, text.size());
  const auto place = text.begin() + static_cast<std::ptrdiff_t>(offset);
  FatalError error = at({}, message);
  error.pointer.clear();
  error.line = argument.empty() ? 1 + static_cast<std::size_t>(std::count(text.begin(), place, '\n')) : 0;
  error.column = offset - (error.line <= 1 ? 0 : text.rfind('\n', offset - 1) + 1) + 1;
  return error;
}

namespace {

// The parser's events, made into a document value by value; each checked as
// it comes, the first fault kept and the parse stopped there.
class CheckedReader {
public:
  CheckedReader(const std::string &text, Source &source, const JsonLimits &limits)
      : text_(text), source_(source), limits_(limits) {}

  bool null() { return value(nullptr); }
  bool boolean(bool v) { return value(v); }
  bool number_integer(Json::number_integer_t v) { return value(v); }
  bool number_unsigned(Json::number_unsigned_t v) { return value(v); }
  bool number_float(Json::number_float_t v, const std::string &written) {
    if (Json(v).dump() != written)
      source_.numbers[frames_.empty() ? "" : pointer()] = written; // the root is "" to a reader
    return value(v);
  }
  bool string(std::string &v) { return value(std::move(v)); }
  bool binary(Json::binary_t &) { return false; } // text has none
  bool start_object(std::size_t) { return value(Json::object()); }
  bool start_array(std::size_t) { return value(Json::array()); }
  bool end_object() { return end_array(); } // either closes the container being read
  bool end_array() {
    frames_.pop_back();
    return true;
  }

  bool key(std::string &key) {
    Frame &frame = frames_.back();
    frame.key = std::move(key);
    if (frame.keys.insert(frame.key).second)
      return true;
    return stop(source_.at(pointer(), "the key \"" + shorten(frame.key) +
                                          "\" is given twice in this object, which is ambiguous"));
  }

  // The parser's kind of error is its id: 406 a number beyond a double, any
  // other a syntax error, whose text (without the place, given as line and
  // column, and what it read, which may be long) is the message.
  template <typename Exception>
  bool parse_error(std::size_t position, const std::string &token, const Exception &e) {
    if (e.id == 406)
      return stop(source_.at(pointer(), "the number " + shorten(token) + " is out of range"));
    const std::string what = e.what();
    const std::size_t start = what.find(": ") + 2;
    return stop(source_.atOffset(text_, position > 0 ? position - 1 : 0,
                                 "malformed JSON: " + what.substr(start, what.find("; last read") - start)));
  }

  // What came before the fault: every object still open is taken out of its
  // container (but the root, which holds only whole values), so that nothing
  // half read is checked. Discarded when no value was read.
  const Json &document() {
    for (std::size_t i = 1; fault_ && i < frames_.size(); ++i) {
      if (!frames_[i].value->is_object())
        continue;
      Json &parent = *frames_[i - 1].value;
      if (parent.is_array())
        parent.erase(parent.size() - 1);
      else
        parent.erase(frames_[i - 1].key);
      break;
    }
    return root_;
  }
  const std::optional<FatalError> &fault() const { return fault_; }

private:
  struct Frame {
    Json *value;
    std::string key;            // in an object: the member being read
    std::set<std::string> keys; // in an object: those read
  };

  bool stop(const FatalError &error) {
    fault_ = error;
    return false;
  }

  // The pointer of the value the parser reads next.
  std::string pointer() const {
    std::string out;
    for (std::size_t i = 0; i < frames_.size(); ++i) {
      const Json &value = *frames_[i].value;
      out = value.is_object() ? memberPointer(out, frames_[i].key)
                              : out + "/" + std::to_string(value.size() - (i + 1 < frames_.size()));
    }
    return frames_.empty() ? "/" : out;
  }

  // Into the container being read; the root when there is none.
  Json *add(Json &&v) {
    if (frames_.empty())
      return &(root_ = std::move(v));
    Json &into = *frames_.back().value;
    if (into.is_array())
      return &into.get_ref<Json::array_t &>().emplace_back(std::move(v));
    // Each key is new (key() saw to it): no search for it.
    return &into.get_ref<Json::object_t &>().emplace_back(frames_.back().key, std::move(v)).second;
  }

  // Every value counts; a container is then read into, unless it lies too
  // deep: that one is kept empty, as what it is may be the first problem.
  bool value(Json &&v) {
    if (++values_ > limits_.maxValues)
      return stop(source_.at(pointer(), "more than " + std::to_string(limits_.maxValues) +
                                            " values; the format needs far fewer"));
    const bool container = v.is_structured();
    const std::string where = container ? pointer() : std::string();
    Json *added = add(std::move(v));
    if (!container)
      return true;
    if (frames_.size() >= limits_.maxDepth)
      return stop(source_.at(where, "nested deeper than " + std::to_string(limits_.maxDepth) +
                                        (limits_.maxDepth == 1 ? " level" : " levels") +
                                        ", more than the format needs"));
    frames_.push_back({added, {}, {}});
    return true;
  }

  const std::string &text_;
  Source &source_;
  const JsonLimits limits_;
  Json root_ = Json::value_t::discarded;
  std::vector<Frame> frames_;
  std::size_t values_ = 0;
  std::optional<FatalError> fault_;
};

} // namespace

void readJson(const std::string &text, Source &source, const JsonLimits &limits,
              const std::function<void(const Json &)> &read) {
  // With its byte-order mark or without: JSON starts with ASCII, which UTF-16 pairs with a NUL byte.
  if (text.size() >= 2 && ((text[0] == '\0') != (text[1] == '\0') || text.rfind("\xFF\xFE", 0) == 0 ||
                           text.rfind("\xFE\xFF", 0) == 0))
    failOn(source.file, "the file is UTF-16; save it as UTF-8");
  // The parser reads a NUL byte as the end of the text; here it is malformed.
  if (const std::size_t nul = text.find('\0'); nul != std::string::npos)
    throw source.atOffset(text, nul, "malformed JSON: a NUL byte");
  CheckedReader reader(text, source, limits);
  Json::sax_parse(text, &reader);
  if (const Json &document = reader.document(); !document.is_discarded())
    read(document);
  if (reader.fault())
    throw *reader.fault();
}

std::string memberPointer(const std::string &parent, const std::string &key) {
  return (Json::json_pointer(parent) / shorten(key)).to_string();
}

} // namespace ondrava
