// One printf-style line at a time, handed to the host's log pane.
#pragma once

namespace kelvane {

// Formats the line in a 512-byte buffer, cut at 511 characters, and logs it.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void logLine(const char *format, ...);

} // namespace kelvane
