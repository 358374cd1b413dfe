#include "checked_json.h"

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace ondrava {
namespace {

using nlohmann::json;

// Builds the document from the parser's events, so that the limits hold
// while parsing and a number that overflows is placed by its pointer.
class Builder {
public:
  explicit Builder(const JsonLimits &limits) : limits_(limits) {}

  bool null() { return add(json(nullptr)); }
  bool boolean(bool value) { return add(json(value)); }
  bool number_integer(json::number_integer_t value) { return add(json(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return add(json(value)); }
  bool number_float(json::number_float_t value, const json::string_t &) { return add(json(value)); }
  bool string(json::string_t &value) { return add(json(std::move(value))); }
  bool binary(json::binary_t &) { return add(json()); }
  bool start_object(std::size_t) { return open(json::object()); }
  bool key(json::string_t &key) {
    frames_.back().key = key;
    return true;
  }
  bool end_object() {
    frames_.pop_back();
    return true;
  }
  bool start_array(std::size_t) { return open(json::array()); }
  bool end_array() {
    frames_.pop_back();
    return true;
  }
  bool parse_error(std::size_t position, const std::string &lastToken, const json::exception &e) {
    position_ = position;
    if (e.id == 406) {
      // The only out-of-range error of the parser: a number beyond a double.
      pointer_ = here();
      message_ = "the number " + shorten(lastToken) + " is out of range";
      return false;
    }
    std::string what = e.what();
    // "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error ...; last read: '...'"
    const std::size_t colon = what.find(": ");
    if (colon != std::string::npos)
      what = what.substr(colon + 2);
    const std::string lastRead = "; last read: '";
    const std::size_t read = what.find(lastRead);
    if (read != std::string::npos)
      what = what.substr(0, read) + lastRead + shorten(lastToken) + "'";
    message_ = "malformed JSON: " + what;
    return false;
  }

  json root;
  std::string message_;
  std::string pointer_; // set when the failure has a place in the tree
  std::size_t position_ = 0;

private:
  struct Frame {
    json *value;
    std::string pointer;
    std::string key;
  };

  // The pointer of the value the parser reads next.
  std::string here() const {
    if (frames_.empty())
      return "/";
    const Frame &top = frames_.back();
    if (top.value->is_object())
      return memberPointer(top.pointer, top.key);
    return top.pointer + "/" + std::to_string(top.value->size());
  }

  bool add(json &&value) { return place(std::move(value)) != nullptr; }

  // Puts the value where the parser is; null once the document has too many.
  json *place(json &&value) {
    if (++values_ > limits_.maxValues) {
      pointer_ = here();
      message_ = "more than " + std::to_string(limits_.maxValues) + " values; the format needs far fewer";
      return nullptr;
    }
    if (frames_.empty()) {
      root = std::move(value);
      return &root;
    }
    json &parent = *frames_.back().value;
    if (parent.is_object()) {
      json &slot = parent[frames_.back().key];
      slot = std::move(value);
      return &slot;
    }
    parent.push_back(std::move(value));
    return &parent.back();
  }

  bool open(json &&container) {
    const std::string pointer = here();
    if (frames_.size() >= limits_.maxDepth) {
      pointer_ = pointer;
      message_ = "nested deeper than " + std::to_string(limits_.maxDepth) +
                 (limits_.maxDepth == 1 ? " level" : " levels") + ", more than the format needs";
      return false;
    }
    json *value = place(std::move(container));
    if (value == nullptr)
      return false;
    frames_.push_back({value, pointer == "/" ? "" : pointer, {}});
    return true;
  }

  JsonLimits limits_;
  std::size_t values_ = 0;
  std::vector<Frame> frames_;
};

} // namespace

InputError Source::at(const std::string &pointer, const std::string &message) const {
  InputError error;
  error.file = file;
  error.argument = argument;
  // A whole file is "/"; a command-line argument has no pointer of its own.
  error.pointer = pointer.empty() && argument.empty() ? "/" : pointer;
  error.message = message;
  return error;
}

InputError Source::at(std::size_t line, std::size_t column, const std::string &message) const {
  InputError error;
  error.file = file;
  error.argument = argument;
  error.line = line;
  error.column = column;
  error.message = message;
  return error;
}

bool readJson(const std::string &text, const Source &source, const JsonLimits &limits, json &out,
              InputError &error) {
  Builder builder(limits);
  if (json::sax_parse(text, &builder, json::input_format_t::json, true)) {
    out = std::move(builder.root);
    return true;
  }
  // Line and column (1-based) of the byte the parser stopped at.
  std::size_t line = 1;
  std::size_t column = 1;
  const std::size_t offset = builder.position_ > 0 ? builder.position_ - 1 : 0;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  error = builder.pointer_.empty() ? source.at(line, column, builder.message_)
                                   : source.at(builder.pointer_, builder.message_);
  if (!builder.pointer_.empty() && builder.position_ > 0) {
    error.line = line;
    error.column = column;
  }
  return false;
}

bool readJsonObject(const std::string &text, const Source &source, const JsonLimits &limits, const char *what,
                    json &out, InputError &error) {
  if (!readJson(text, source, limits, out, error))
    return false;
  if (!out.is_object()) {
    error = source.at("", std::string("expected ") + what + ", got " + describe(out));
    return false;
  }
  return true;
}

std::string memberPointer(const std::string &parent, const std::string &key) {
  std::string token;
  for (const char c : shorten(key)) {
    if (c == '~')
      token += "~0";
    else if (c == '/')
      token += "~1";
    else
      token += c;
  }
  return parent + "/" + token;
}

std::string describe(const json &value) {
  if (value.is_array())
    return "an array";
  if (value.is_object())
    return "an object";
  return std::string(value.type_name()) + " " +
         shorten(value.dump(-1, ' ', false, json::error_handler_t::replace));
}

bool toInt32(const json &value, const Source &source, const std::string &pointer, std::int32_t &out,
             InputError &error, bool allowBool) {
  if (allowBool && value.is_boolean()) {
    out = value.get<bool>() ? 1 : 0;
    return true;
  }
  if (value.is_number_integer()) {
    const bool fits =
        value.is_number_unsigned()
            ? value.get<std::uint64_t>() <= std::uint64_t(std::numeric_limits<std::int32_t>::max())
            : value.get<std::int64_t>() >= std::numeric_limits<std::int32_t>::min() &&
                  value.get<std::int64_t>() <= std::numeric_limits<std::int32_t>::max();
    if (!fits) {
      error = source.at(pointer, value.dump() + " does not fit a 32-bit signed integer");
      return false;
    }
    out = value.is_number_unsigned() ? static_cast<std::int32_t>(value.get<std::uint64_t>())
                                     : static_cast<std::int32_t>(value.get<std::int64_t>());
    return true;
  }
  error = source.at(pointer, std::string("expected a 32-bit integer") + (allowBool ? " or true/false" : "") +
                                 ", got " + describe(value));
  return false;
}

bool toFloat(const json &value, const Source &source, const std::string &pointer, float &out,
             InputError &error) {
  if (!value.is_number()) {
    error = source.at(pointer, "expected a number, got " + describe(value));
    return false;
  }
  const double v = value.get<double>();
  if (!std::isfinite(v) || std::fabs(v) > FLT_MAX) {
    error = source.at(pointer, shorten(value.dump()) + " does not fit a 32-bit float");
    return false;
  }
  out = static_cast<float>(v);
  return true;
}

bool toText(const json &value, const Source &source, const std::string &pointer, std::string &out,
            InputError &error) {
  if (!value.is_string()) {
    error = source.at(pointer, "expected text, got " + describe(value));
    return false;
  }
  out = value.get<std::string>();
  return true;
}

} // namespace ondrava
