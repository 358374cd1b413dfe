// The run's log line buffer: one printf-style line at a time, handed to the
// host's log pane.
#pragma once

#include <cstddef>

namespace kelvane {

class LogLine {
public:
  static constexpr std::size_t kSize = 512;

#if defined(__GNUC__)
  __attribute__((format(printf, 2, 3)))
#endif
  // Formats into the buffer, cut at kSize - 1 characters, and logs it.
  void
  emit(const char *format, ...);
  // prefix, the number as "%i" writes it, then suffix: the per-map lines,
  // without the cost of a general formatter. Cut like emit(). The prefix
  // stays in the buffer, so a run of lines with the same prefix (the same
  // pointer) only rewrites the number and what follows it.
  template <std::size_t P, std::size_t S>
  void emitNumbered(const char (&prefix)[P], int number, const char (&suffix)[S]) {
    emitParts(prefix, P - 1, number, suffix, S - 1);
  }
  template <std::size_t P> void emitNumbered(const char (&prefix)[P], int number) {
    emitParts(prefix, P - 1, number, "", 0);
  }
  const char *text() const { return buffer_; }

private:
  void emitParts(const char *prefix, std::size_t prefixLength, int number, const char *suffix,
                 std::size_t suffixLength);

  char buffer_[kSize] = {};
  const char *bufferedPrefix_ = nullptr; // the prefix the buffer starts with, if any
  std::size_t bufferedPrefixLength_ = 0;
};

} // namespace kelvane
