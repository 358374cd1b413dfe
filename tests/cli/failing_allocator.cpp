// Loaded before the C library (LD_PRELOAD), this makes memory run out at a
// chosen point, the same on every run, where a limit of address space falls
// wherever the process happens to stand. KELVANE_FAIL_ALLOCATIONS says where:
//   "large from N"  from the Nth request of a MiB or more, each such fails
//   "all from N"    from that request on, every request fails
//   "new N"         the Nth call of operator new, counted from the first that
//                   finds a new-handler set (the program's reserve set aside;
//                   before it, static objects), finds no memory once: the
//                   new-handler runs, and the call tries again
//   "new count"     nothing fails; the number of calls is written to
//                   standard error at the end
// Without it, nothing fails.
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <unistd.h>

extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *block, std::size_t size);
void *__libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {

bool configured = false;
bool all = false;
long from = 0; // 0: nothing fails
long large = 0;
bool exhausted = false;
long newCalls = 0;
long newFails = -1; // the call of operator new that fails; 0: count them

bool fails(std::size_t size) {
  if (!configured) {
    configured = true;
    const char *asked = std::getenv("KELVANE_FAIL_ALLOCATIONS"); // allocates nothing
    if (asked != nullptr && std::strncmp(asked, "new ", 4) == 0)
      newFails = std::strtol(asked + 4, nullptr, 10);
    else if (asked != nullptr &&
             (std::strncmp(asked, "large from ", 11) == 0 || std::strncmp(asked, "all from ", 9) == 0)) {
      all = asked[0] == 'a';
      from = std::strtol(std::strrchr(asked, ' ') + 1, nullptr, 10);
    }
  }
  if (from > 0 && size >= (std::size_t{1} << 20) && ++large >= from)
    exhausted = true;
  else if (!exhausted || !all)
    return false;
  errno = ENOMEM;
  return true;
}

} // namespace

extern "C" {
__attribute__((visibility("default"))) void *malloc(std::size_t size) noexcept {
  return fails(size) ? nullptr : __libc_malloc(size);
}
__attribute__((visibility("default"))) void *calloc(std::size_t count, std::size_t size) noexcept {
  const bool overflows = count > 0 && size > static_cast<std::size_t>(-1) / count;
  return fails(overflows ? static_cast<std::size_t>(-1) : count * size) ? nullptr
                                                                        : __libc_calloc(count, size);
}
__attribute__((visibility("default"))) void *realloc(void *block, std::size_t size) noexcept {
  return fails(size) ? nullptr : __libc_realloc(block, size);
}
__attribute__((visibility("default"))) void *memalign(std::size_t alignment, std::size_t size) noexcept {
  return fails(size) ? nullptr : __libc_memalign(alignment, size);
}
__attribute__((visibility("default"))) void *aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
  return memalign(alignment, size);
}
__attribute__((visibility("default"))) int posix_memalign(void **out, std::size_t alignment,
                                                          std::size_t size) noexcept {
  void *block = memalign(alignment, size);
  if (block == nullptr)
    return ENOMEM;
  *out = block;
  return 0;
}
}

__attribute__((visibility("default"))) void *operator new(std::size_t size) {
  fails(0); // reads the setting
  static bool counting = false;
  counting = counting || std::get_new_handler() != nullptr;
  for (bool first = counting && ++newCalls == newFails;; first = false) {
    void *block = first ? nullptr : malloc(size > 0 ? size : 1);
    if (block != nullptr)
      return block;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr)
      throw std::bad_alloc();
    handler();
  }
}
__attribute__((visibility("default"))) void operator delete(void *block) noexcept { free(block); }
__attribute__((visibility("default"))) void operator delete(void *block, std::size_t) noexcept {
  free(block);
}

__attribute__((destructor)) static void sayCount() {
  if (newFails == 0) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%ld\n", newCalls);
    if (write(STDERR_FILENO, text, static_cast<std::size_t>(length)) < 0)
      return;
  }
}
