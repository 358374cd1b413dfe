// Calls into the host through the entry-point table, one for each host
// function the plugin calls, named as the host exports it: host::zuLogText.
// A call whose entry is not bound does nothing and yields the function's
// fallback: the plugin never calls through a null entry, whatever order the
// host drives it in.
#pragma once

#include "host_api.h"
#include "host_table.h"

namespace kelvane::host {

template <HostEntry entry, typename Function> class GuardedCall;

template <HostEntry entry, typename Result, typename... Parameters>
class GuardedCall<entry, Result (*)(Parameters...)> {
public:
  constexpr explicit GuardedCall(Result fallback) : fallback_(fallback) {}

  Result operator()(Parameters... arguments) const {
    const auto function = reinterpret_cast<Result (*)(Parameters...)>(hostEntry(entry));
    return function != nullptr ? function(arguments...) : fallback_;
  }

private:
  Result fallback_;
};

template <HostEntry entry, typename... Parameters> class GuardedCall<entry, void (*)(Parameters...)> {
public:
  void operator()(Parameters... arguments) const {
    if (const auto function = reinterpret_cast<void (*)(Parameters...)>(hostEntry(entry)))
      function(arguments...);
  }
};

#define KELVANE_GUARDED_CALL(Name, Result, Parameters, fallback)                                             \
  inline constexpr GuardedCall<HostEntry::Name, hostfn::Name> zu##Name{fallback};
KELVANE_CALLED_HOST_FUNCTIONS(KELVANE_GUARDED_CALL)
#undef KELVANE_GUARDED_CALL

} // namespace kelvane::host
