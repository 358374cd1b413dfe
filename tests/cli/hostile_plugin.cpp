// A plugin that misbehaves in execute() the way its build asks (one of
// THROW_INT, THROW_ERROR, EXIT, IMMEDIATE_EXIT, NULL_WRITE, OVERFLOW_STACK): code running
// inside the host, whose end the host must still tell truthfully.
#include <cstdlib>
#include <stdexcept>

namespace {

// The host drives a plugin through this layout: the destructor's slot, then
// execute, then initPlugin.
class Hostile {
public:
  virtual ~Hostile() = default;
  virtual bool execute();
  virtual bool initPlugin() { return true; }
};

[[maybe_unused]] int deeper(volatile int depth) {
  volatile char frame[4096] = {};
  return depth < 0 ? 0 : deeper(depth + 1) + frame[depth % 4096];
}

bool Hostile::execute() {
#if defined(THROW_INT)
  throw 42;
#elif defined(THROW_ERROR)
  throw std::runtime_error("broken");
#elif defined(EXIT)
  std::exit(0);
#elif defined(IMMEDIATE_EXIT)
  std::_Exit(0);
#elif defined(NULL_WRITE)
  int *volatile nowhere = nullptr;
  *nowhere = 1;
#elif defined(OVERFLOW_STACK)
  return deeper(0) != 0;
#endif
  return true;
}

} // namespace

extern "C" __attribute__((visibility("default"))) Hostile *createPlugin() { return new Hostile; }
