// The entry point of a console program (the test hosts and tools of the
// MSVC-ABI build). Wine's own start-up code for programs runs no C++ dynamic
// initialisers, so this one does, then hands main() the narrow arguments and
// ends through the C runtime's exit() so that its streams are flushed.
#include "runtime.h"

#include <cstdlib>

#include <corecrt_startup.h>

int main(int argc, char **argv);

extern "C" __attribute__((no_stack_protector)) int mainCRTStartup() {
  _set_app_type(_crt_console_app);
  _configure_narrow_argv(_crt_argv_unexpanded_arguments);
  _initialize_narrow_environment();
  kelvaneRuntimeStart();
  std::exit(main(*__p___argc(), *__p___argv()));
}
