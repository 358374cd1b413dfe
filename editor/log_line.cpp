#include "log_line.h"

#include "host_calls.h"

#include <cstdarg>
#include <cstdio>

namespace kelvane {

void logLine(const char *format, ...) {
  char line[512];
  std::va_list arguments;
  va_start(arguments, format);
  // vsnprintf never writes past the buffer and always terminates it.
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  host::zuLogText(line);
}

} // namespace kelvane
