// What Visual Studio's vcruntime would give an MSVC-ABI module, for builds
// that have only the Universal C runtime (ucrtbase) to link against. Each
// piece is here because the compiler or the C++ headers expect it to exist;
// nothing here is called by the plugin's own code.
#include "runtime.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#include <windows.h>

extern "C" {

// The compiler references this whenever floating point is used, to make the
// linker keep the C runtime's floating-point support.
int _fltused = 0x9875;

// Stack-buffer overrun detection (/GS). Every protected function stores this
// value, mixed with its stack pointer, in its frame and checks it on return.
// The starting value is the one Microsoft's runtime uses, so a cookie that was
// never initialised is recognisable; kelvaneRuntimeStart() replaces it.
std::uintptr_t __security_cookie = 0x00002B992DDFA232ull;

// Called by every protected function on return. A mismatch means the frame
// was overwritten: end the process at once, without unwinding through the
// damaged frame. __fastfail raises the same status (c0000409) as Microsoft's
// runtime does. Only clang-compiled code calls this, and clang keeps the
// return value alive across the call, so it needs no hand-written assembly.
void __cdecl __security_check_cookie(std::uintptr_t cookie) {
  if (cookie != __security_cookie)
    __fastfail(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
}

// The bounds of the C++ dynamic initialiser table. The compiler puts each
// initialiser's address into a .CRT$XCU section; the linker sorts the .CRT$XC*
// sections by name, so everything between these two markers is the table.
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
using InitFunction = void(__cdecl *)();
__declspec(allocate(".CRT$XCA")) InitFunction kelvaneInitFirst[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) InitFunction kelvaneInitLast[] = {nullptr};

// From ucrtbase: calls each non-null entry in [first, last).
void __cdecl _initterm(InitFunction *first, InitFunction *last);

} // extern "C"

namespace {

// Unprotected, since it changes the value its own frame would be checked
// against. Mixes sources that differ between processes and runs, as
// Microsoft's runtime does, and keeps the top 16 bits clear so that the value
// can never be a valid canonical user-mode pointer.
__attribute__((no_stack_protector)) std::uintptr_t newCookie() {
  FILETIME time{};
  GetSystemTimeAsFileTime(&time);
  std::uintptr_t cookie = (static_cast<std::uintptr_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  cookie ^= GetCurrentThreadId();
  cookie ^= static_cast<std::uintptr_t>(GetCurrentProcessId()) << 16;
  cookie ^= GetTickCount64() << 24;
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  cookie ^=
      (static_cast<std::uintptr_t>(counter.QuadPart) << 32) ^ static_cast<std::uintptr_t>(counter.QuadPart);
  cookie ^= reinterpret_cast<std::uintptr_t>(&cookie);
  cookie &= 0x0000FFFFFFFFFFFFull;
  if (cookie == 0x00002B992DDFA232ull)
    cookie = 0x00002B992DDFA233ull;
  return cookie;
}

} // namespace

__attribute__((no_stack_protector)) void kelvaneRuntimeStart() {
  // Set once, before any protected function has a frame on the stack.
  if (__security_cookie == 0x00002B992DDFA232ull)
    __security_cookie = newCookie();
  _initterm(kelvaneInitFirst + 1, kelvaneInitLast);
}

// <new> declares these for the C++ runtime to define. Only the non-throwing
// forms of new exist here: code built without exceptions has no use for the
// throwing ones, and leaving them out turns any use of them into a link error.
// The form of each delete matches what the compiler emits for deleting
// destructors (sized) and for delete[] (unsized).
namespace std {
const nothrow_t nothrow{};
} // namespace std

void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void operator delete(void *memory) noexcept { std::free(memory); }
void operator delete(void *memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void *memory) noexcept { std::free(memory); }
void operator delete[](void *memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void *memory, const std::nothrow_t &) noexcept { std::free(memory); }
void operator delete[](void *memory, const std::nothrow_t &) noexcept { std::free(memory); }
