// The overlay list parser on any text of up to 511 bytes and any map count
// from 0 to 10000: it stays inside its buffers, leaves every flag 0 or 1, ends,
// and agrees with a second, independent reading of the list rules below.
#include "overlay_list.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The rules read a second way: first the digit runs of the cleaned text, each
// noting whether a '-' follows it; then the items over those runs.
std::vector<unsigned char> referenceFlags(const std::string &text, std::int32_t n) {
  std::vector<unsigned char> flags(static_cast<std::size_t>(n), 0);
  if (text == "All") {
    std::fill(flags.begin(), flags.end(), 1);
    return flags;
  }
  std::string cleaned;
  for (const char c : text)
    if ((c >= '0' && c <= '9') || c == ',' || c == '-')
      cleaned += c;
  struct Run {
    std::int64_t value;
    bool dashFollows;
  };
  std::vector<Run> runs;
  for (std::size_t i = 0; i < cleaned.size();) {
    if (cleaned[i] < '0' || cleaned[i] > '9') {
      ++i;
      continue;
    }
    std::int64_t value = 0;
    while (i < cleaned.size() && cleaned[i] >= '0' && cleaned[i] <= '9') {
      value = std::min<std::int64_t>(value * 10 + (cleaned[i] - '0'), 2147483647);
      ++i;
    }
    runs.push_back({value, i < cleaned.size() && cleaned[i] == '-'});
  }
  auto mark = [&](std::int64_t from, std::int64_t to) {
    for (std::int64_t k = std::max<std::int64_t>(from, 1); k <= std::min<std::int64_t>(to, n); ++k)
      flags[static_cast<std::size_t>(k - 1)] = 1;
  };
  for (std::size_t k = 0; k < runs.size();) {
    if (runs[k].dashFollows && k + 1 < runs.size()) {
      if (runs[k].value < runs[k + 1].value)
        mark(runs[k].value, runs[k + 1].value);
      k += 2;
    } else if (runs[k].dashFollows) {
      mark(runs[k].value, n); // open-ended: to the last map
      k += 1;
    } else {
      mark(runs[k].value, runs[k].value);
      k += 1;
    }
  }
  return flags;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 2)
    return 0;
  const auto n = static_cast<std::int32_t>((data[0] | (data[1] << 8)) % 10001);
  data += 2;
  size = std::min<std::size_t>(size - 2, 511);

  // Exactly as long as the text: at 511 bytes without a terminator, so that a
  // read past the 511th character is caught.
  const std::size_t capacity = size < 511 ? size + 1 : 511;
  char *text = static_cast<char *>(std::malloc(capacity));
  std::memcpy(text, data, size);
  if (size < 511)
    text[size] = '\0';
  const std::size_t length = strnlen(text, size);

  auto *flags = static_cast<unsigned char *>(std::malloc(n > 0 ? static_cast<std::size_t>(n) : 1));
  std::memset(flags, 0xA5, n > 0 ? static_cast<std::size_t>(n) : 1);
  kelvane::buildOverlayFlags(text, n, flags);

  const std::vector<unsigned char> expected = referenceFlags(std::string(text, length), n);
  for (std::int32_t i = 0; i < n; ++i) {
    if (flags[i] != 0 && flags[i] != 1)
      std::abort();
    if (flags[i] != expected[static_cast<std::size_t>(i)])
      std::abort();
  }
  std::free(flags);
  std::free(text);
  return 0;
}
