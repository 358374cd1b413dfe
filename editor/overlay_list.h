// The "Overlay" text ("All", or map numbers and ranges such as "1,3-5")
// turned into one overlay flag per loaded map.
#pragma once

#include <cstdint>

namespace kelvane {

// Sets each of the n flags to 1 (overlay map i + 1) or 0. Reads at most 511
// characters of text, stopping at its terminator; logs "No Map numbers
// detected" and bad ranges. An n below 1 writes no flag.
//
// The rules, odd corners included, are in docs/design.md, "The overlay list",
// and users' saved lists rely on them as they are; the rows of
// tests/host_process/overlay_test.cpp pin them.
void buildOverlayFlags(const char *text, std::int32_t n, unsigned char *flags);

} // namespace kelvane
