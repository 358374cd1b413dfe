#include "log_line.h"

#include "host_calls.h"

#include <cstdarg>
#include <cstdio>

namespace kelvane {

void LogLine::emit(const char *format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  // vsnprintf never writes past the buffer and always terminates it.
  std::vsnprintf(buffer_, sizeof buffer_, format, arguments);
  va_end(arguments);
  host::logText(buffer_);
}

} // namespace kelvane
