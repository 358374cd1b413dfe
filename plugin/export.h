// The one marker for everything the module exports. Everything else is hidden
// (default visibility is hidden and a version script / .def file pins the list).
#pragma once

#if defined(_WIN32)
#if defined(KELVANE_BUILDING_MODULE)
#define KELVANE_EXPORT __declspec(dllexport)
#else
#define KELVANE_EXPORT __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define KELVANE_EXPORT __attribute__((visibility("default")))
#else
#define KELVANE_EXPORT
#endif
