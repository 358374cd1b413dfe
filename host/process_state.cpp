// The process's state, one object for the whole process (host_state.h).
#include "host_state.h"

namespace ondrava {

Process &process() {
  static Process instance;
  return instance;
}

} // namespace ondrava
