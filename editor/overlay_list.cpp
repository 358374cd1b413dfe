#include "overlay_list.h"

#include "host_api.h"
#include "log_line.h"

#include <cstddef>
#include <cstring>

namespace kelvane {
namespace {

constexpr std::size_t kMaxTextLength = kStringParameterSize - 1;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAllowed(char c) { return isDigit(c) || c == ',' || c == '-'; }

// The list after every character outside "0123456789,-" is deleted, so that
// the digits on both sides of a deleted character join into one number.
class CleanedText {
public:
  CleanedText(const char *text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
      if (isAllowed(text[i]))
        chars_[length_++] = text[i];
    }
  }
  std::size_t length() const { return length_; }
  char at(std::size_t position) const { return chars_[position]; }

  // The first position at or after from that holds a digit, or length().
  std::size_t firstDigitFrom(std::size_t from) const {
    while (from < length_ && !isDigit(chars_[from]))
      ++from;
    return from;
  }
  // The first position after from that is not a digit, or length().
  std::size_t runEndAfter(std::size_t from) const {
    ++from;
    while (from < length_ && isDigit(chars_[from]))
      ++from;
    return from;
  }
  // The digits in [from, to) as a number, saturating at INT32_MAX.
  std::int32_t value(std::size_t from, std::size_t to) const {
    std::int32_t result = 0;
    for (std::size_t i = from; i < to; ++i) {
      const std::int32_t digit = chars_[i] - '0';
      if (result > (INT32_MAX - digit) / 10)
        return INT32_MAX;
      result = result * 10 + digit;
    }
    return result;
  }

private:
  char chars_[kMaxTextLength] = {};
  std::size_t length_ = 0;
};

// Map numbers first..last (1-based, inclusive), clipped to 1..n.
void setMaps(unsigned char *flags, std::int32_t n, std::int64_t first, std::int64_t last) {
  if (first < 1)
    first = 1;
  if (last > n)
    last = n;
  for (std::int64_t k = first; k <= last; ++k)
    flags[k - 1] = 1;
}

} // namespace

void buildOverlayFlags(const char *text, std::int32_t n, unsigned char *flags) {
  const std::int32_t count = n > 0 ? n : 0;
  std::size_t length = 0;
  while (length < kMaxTextLength && text[length] != '\0')
    ++length;

  if (length == 3 && std::memcmp(text, "All", 3) == 0) {
    std::memset(flags, 1, static_cast<std::size_t>(count));
    return;
  }
  std::memset(flags, 0, static_cast<std::size_t>(count));

  bool anyDigit = false;
  for (std::size_t i = 0; i < length && !anyDigit; ++i)
    anyDigit = isDigit(text[i]);
  if (!anyDigit) {
    logLine("Kelvane>  No Map numbers detected");
    return;
  }

  const CleanedText list(text, length);
  const std::size_t end = list.length();
  std::size_t itemStart = list.firstDigitFrom(0);
  while (itemStart < end) {
    const std::size_t numberEnd = list.runEndAfter(itemStart);
    const std::int32_t number = list.value(itemStart, numberEnd);
    std::size_t resume;
    if (numberEnd < end && list.at(numberEnd) == '-') {
      const std::size_t upperStart = list.firstDigitFrom(numberEnd + 1);
      if (upperStart == end) {
        // Open-ended: through the last loaded map. Nothing follows.
        setMaps(flags, count, number, count);
        return;
      }
      const std::size_t upperEnd = list.runEndAfter(upperStart);
      const std::int32_t upper = list.value(upperStart, upperEnd);
      if (number < upper)
        setMaps(flags, count, number, upper);
      else
        logLine("Kelvane>  %i - %i is not a correctly specified range", number, upper);
      // The character after the upper number is passed over unread, so "1-3-5"
      // opens no second range.
      resume = upperEnd + 1;
    } else {
      if (number >= 1 && number <= count)
        flags[number - 1] = 1;
      resume = numberEnd + 1;
    }
    itemStart = resume < end ? list.firstDigitFrom(resume) : end;
  }
}

} // namespace kelvane
