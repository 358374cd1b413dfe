#include "allocation_counter.h"

#include <cstdlib>
#include <new>

// The replacements pair malloc with free on purpose; GCC sees the standard
// library's inlined new/delete pairs through them and objects.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
bool counting = false;
bool failArrays = false;
bool failThrowing = false;
int allocations = 0;

void *allocate(std::size_t size) {
  if (counting)
    ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
} // namespace

namespace testing_support {
void startCountingAllocations() {
  allocations = 0;
  counting = true;
}
int stopCountingAllocations() {
  counting = false;
  return allocations;
}
void failNothrowArrayAllocations(bool fail) { failArrays = fail; }
void failThrowingAllocations(bool fail) { failThrowing = fail; }
} // namespace testing_support

void *operator new(std::size_t size) {
  if (counting && failThrowing)
    throw std::bad_alloc();
  if (void *p = allocate(size))
    return p;
  throw std::bad_alloc();
}
void *operator new[](std::size_t size) {
  if (void *p = allocate(size))
    return p;
  throw std::bad_alloc();
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
  if (counting && failArrays) {
    ++allocations;
    return nullptr;
  }
  return allocate(size);
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }
