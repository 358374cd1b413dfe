// Reading the program's input files within a stated limit, and writing a
// file so that a failed write never leaves it damaged.
#pragma once

#include "input_error.h"

#include <cstdint>
#include <string>

namespace ondrava {

// No input file may be larger: far above any workspace, far below what the
// machine holds once parsed.
constexpr std::uintmax_t kMaxInputFileBytes = std::uintmax_t(256) << 20;

// Reads a whole regular file of at most kMaxInputFileBytes; false with *error
// naming the file and saying what is wrong otherwise (missing, a folder or
// device, too large, unreadable).
bool readFile(const std::string &path, std::string &text, InputError &error);

// Writes the text to a new file in the target's folder, flushes it to the
// disk and renames it over the target, so that the target is either the old
// file, whole, or the new one. False with *error naming the path otherwise;
// the temporary file is removed then.
bool writeFileAtomically(const std::string &path, const std::string &text, InputError &error);

// A write past the file size limit fails with an error instead of ending the
// process with a signal (SIGXFSZ), so that it is reported like any other.
void reportOversizedWrites();

} // namespace ondrava
