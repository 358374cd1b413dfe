// The DLL's entry point, which Visual Studio's vcruntime would otherwise
// provide. Loading the module runs nothing of the plugin's own: only the
// runtime's start-up (the stack cookie; the plugin has no static
// initialisers, and the link guards that: ucrtbase has no atexit, so a static
// object with a destructor cannot link).
#include "runtime.h"

#include <windows.h>

extern "C" __attribute__((no_stack_protector)) BOOL WINAPI _DllMainCRTStartup(HINSTANCE, DWORD reason,
                                                                              LPVOID) {
  if (reason == DLL_PROCESS_ATTACH)
    kelvaneRuntimeStart();
  return TRUE;
}
