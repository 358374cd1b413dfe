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
  const char *text() const { return buffer_; }

private:
  char buffer_[kSize] = {};
};

} // namespace kelvane
