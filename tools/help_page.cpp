// Writes the help page with its threshold table, computed by the plugin's own
// statistics exactly as a run computes them.
//   help_page <template> <output>
// Plain C stdio, so that it also builds where there is no compiled C++
// library (the shipping MSVC-ABI build, which generates the page it packages).
#include "t_threshold.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char *kMarker = "@THRESHOLD_TABLE@";

// The whole file, NUL-terminated, or null. The caller frees it.
char *readFile(const char *path) {
  std::FILE *file = std::fopen(path, "rb");
  if (file == nullptr)
    return nullptr;
  std::size_t size = 0;
  std::size_t capacity = 4096;
  char *text = static_cast<char *>(std::malloc(capacity));
  while (text != nullptr) {
    size += std::fread(text + size, 1, capacity - 1 - size, file);
    if (size < capacity - 1)
      break;
    capacity *= 2;
    char *grown = static_cast<char *>(std::realloc(text, capacity));
    if (grown == nullptr)
      std::free(text);
    text = grown;
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (text == nullptr || failed) {
    std::free(text);
    return nullptr;
  }
  text[size] = '\0';
  return text;
}

void writeTable(std::FILE *out) {
  const float ps[] = {0.05f, 0.01f, 0.005f, 0.001f, 0.0001f, 1e-6f};
  const char *const pTitles[] = {"0.05", "0.01", "0.005", "0.001", "0.0001", "10<sup>&minus;6</sup>"};
  const int dfs[] = {5, 10, 20, 30, 50, 100, 200, 1000};
  std::fputs("<table class=\"thresholds\">\n<tr><th>df \\ p</th>", out);
  for (const char *title : pTitles)
    std::fprintf(out, "<th>%s</th>", title);
  std::fputs("</tr>\n", out);
  for (const int df : dfs) {
    std::fprintf(out, "<tr><th>%d</th>", df);
    for (const float p : ps) {
      std::fprintf(out, "<td>%.3f</td>", static_cast<double>(kelvane::stats::map_t_threshold(df, p)));
    }
    std::fputs("</tr>\n", out);
  }
  std::fputs("</table>", out);
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fputs("usage: help_page TEMPLATE OUTPUT\n", stderr);
    return 2;
  }
  char *page = readFile(argv[1]);
  if (page == nullptr) {
    std::fprintf(stderr, "help_page: cannot read %s\n", argv[1]);
    return 2;
  }
  char *at = std::strstr(page, kMarker);
  if (at == nullptr) {
    std::fprintf(stderr, "help_page: %s has no %s\n", argv[1], kMarker);
    std::free(page);
    return 2;
  }
  std::FILE *out = std::fopen(argv[2], "wb");
  bool written = out != nullptr;
  if (written) {
    std::fwrite(page, 1, static_cast<std::size_t>(at - page), out);
    writeTable(out);
    std::fputs(at + std::strlen(kMarker), out);
    written = std::ferror(out) == 0;
    written = std::fclose(out) == 0 && written;
  }
  std::free(page);
  if (!written) {
    std::fprintf(stderr, "help_page: cannot write %s\n", argv[2]);
    return 2;
  }
  return 0;
}
