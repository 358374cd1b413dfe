// Sits between libc++'s <math.h> and Wine's. The Microsoft C runtime's own
// header gives C++ the classification functions as templates and libc++ relies
// on that; Wine's header has them only as C macros, and declares no nan().
#pragma once

#include_next <math.h>

#ifdef __cplusplus
#undef fpclassify
#undef signbit
#undef isfinite
#undef isinf
#undef isnan
#undef isnormal
#undef isgreater
#undef isgreaterequal
#undef isless
#undef islessequal
#undef islessgreater
#undef isunordered

extern "C" double __cdecl nan(const char *tag);

extern "C++" {
template <class T> inline bool isfinite(T x) noexcept { return __builtin_isfinite(x); }
template <class T> inline bool isinf(T x) noexcept { return __builtin_isinf(x); }
template <class T> inline bool isnan(T x) noexcept { return __builtin_isnan(x); }
template <class T> inline bool isnormal(T x) noexcept { return __builtin_isnormal(x); }
template <class T, class U> inline bool isgreater(T x, U y) noexcept { return __builtin_isgreater(x, y); }
template <class T, class U> inline bool isgreaterequal(T x, U y) noexcept {
  return __builtin_isgreaterequal(x, y);
}
template <class T, class U> inline bool isless(T x, U y) noexcept { return __builtin_isless(x, y); }
template <class T, class U> inline bool islessequal(T x, U y) noexcept { return __builtin_islessequal(x, y); }
template <class T, class U> inline bool islessgreater(T x, U y) noexcept {
  return __builtin_islessgreater(x, y);
}
template <class T, class U> inline bool isunordered(T x, U y) noexcept { return __builtin_isunordered(x, y); }
}
#endif
