// The program's files and streams: one check for every input file, and one
// writer for every output, a stream or a file, for which a failed write is
// an error. A file is written beside its target and renamed over it, so that
// a failed write never leaves it damaged.
#pragma once

#include "checked_json.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace ondrava {

// No input file may be larger: far above any workspace, far below what the
// machine holds once parsed.
constexpr std::uintmax_t kMaxInputFileBytes = std::uintmax_t(256) << 20;

// An error naming the file unless the path names a regular file of at most
// kMaxInputFileBytes (not missing, a folder, a device or a pipe).
void checkInputFile(const std::string &path);
// The whole of such a file.
std::string readFile(const std::string &path);

// Writes all of the text and flushes the stream: 0, or why it failed (errno).
int writeAll(std::FILE *stream, const std::string &text);

// A new file in the target's folder, written and flushed to the disk, that
// commit() renames over the target; until then the target is as it was, and
// the new file is removed if commit() is never reached. Through a link, the
// file the link names is written and the link stays. The new file keeps the
// old one's permissions.
class StagedFile {
public:
  StagedFile(const std::string &path, const std::string &text);
  StagedFile(const StagedFile &) = delete;
  StagedFile &operator=(const StagedFile &) = delete;
  ~StagedFile();
  void commit();

private:
  [[noreturn]] void fail(const std::string &why);

  std::string path_;
  std::filesystem::path target_;
  std::filesystem::path temporary_; // empty once it has taken the target's place
};

// Makes every failed write an error the program reports, never a signal
// (a file size limit, a closed pipe), and keeps a closed standard stream
// closed to writes, so that no file the program opens can take its place.
void prepareOutput();

} // namespace ondrava
