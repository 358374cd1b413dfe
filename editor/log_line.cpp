#include "log_line.h"

#include "host_calls.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace kelvane {

void LogLine::emit(const char *format, ...) {
  bufferedPrefix_ = nullptr;
  std::va_list arguments;
  va_start(arguments, format);
  // vsnprintf never writes past the buffer and always terminates it.
  std::vsnprintf(buffer_, sizeof buffer_, format, arguments);
  va_end(arguments);
  host::logText(buffer_);
}

namespace {
// Appends text at out, stopping at end; returns the new end of the text.
char *append(char *out, char *end, const char *text, std::size_t length) {
  const std::size_t room = static_cast<std::size_t>(end - out);
  const std::size_t n = length < room ? length : room;
  std::memcpy(out, text, n);
  return out + n;
}
} // namespace

void LogLine::emitParts(const char *prefix, std::size_t prefixLength, int number, const char *suffix,
                        std::size_t suffixLength) {
  char *const end = buffer_ + kSize - 1;
  char *out;
  if (prefix == bufferedPrefix_) {
    out = buffer_ + bufferedPrefixLength_;
  } else {
    out = append(buffer_, end, prefix, prefixLength);
    bufferedPrefix_ = prefix;
    bufferedPrefixLength_ = static_cast<std::size_t>(out - buffer_);
  }
  char digits[16];
  const auto converted = std::to_chars(digits, digits + sizeof digits, number);
  out = append(out, end, digits, static_cast<std::size_t>(converted.ptr - digits));
  out = append(out, end, suffix, suffixLength);
  *out = '\0';
  host::logText(buffer_);
}

} // namespace kelvane
