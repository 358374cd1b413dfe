// The run's log line buffer: one printf-style line at a time, handed to the
// host's log pane.
#pragma once

#include <cstddef>

namespace kelvane {

class LogLine {
public:
  static constexpr std::size_t kSize = 512;

  // Formats into the buffer, cut at kSize - 1 characters, and logs it.
#if defined(__GNUC__)
  __attribute__((format(printf, 2, 3)))
#endif
  void
  emit(const char *format, ...);

private:
  char buffer_[kSize] = {};
};

} // namespace kelvane
