// The one marker for everything the module exports. Everything else is hidden
// (default visibility is hidden; on Linux a version script, Kelvane.map, pins
// the list, and on Windows only what carries this marker is exported).
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
