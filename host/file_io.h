// The program's files and streams: one check for every input file, and one
// writer for every output, a stream or a file, for which a failed write is
// an error. (A file the program saves: save.h.)
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace ondrava {

// No input file may be larger: far above any workspace, far below what the
// machine holds once parsed.
constexpr std::uintmax_t kMaxInputFileBytes = std::uintmax_t(256) << 20;

// The whole of the file at path, checked as it was opened, not by its path,
// which may name another file by then: a regular file of at most
// kMaxInputFileBytes (not missing, a folder, a device or a pipe), else an
// error naming it. Neither the opening nor any read waits: a file that would
// block is an error. While the file is still open, `opened` (if given) sees
// its text and a name for this very file, for what must open it again.
using OpenedFile = std::function<void(const std::string &text, const std::string &name)>;
std::string readFile(const std::string &path, const OpenedFile &opened = {});

// Writes all of the text and flushes the stream: 0, or why it failed (errno).
int writeAll(std::FILE *stream, const std::string &text);

} // namespace ondrava
