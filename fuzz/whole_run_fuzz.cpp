// A whole run through the stand-in host (this program is the host, a file
// named Ondrava.exe) with random options, records, map count and overlay
// states: no crash, the host's bytes come back untouched, every map is read
// and written exactly once in order before the overlay refresh, and the run
// always reaches its end.
#include "host_state.h"
#include "map_record.h"
#include "option_keys.h"
#include "run.h"
#include "startup.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

namespace rec = kelvane::record;

void require(bool condition) {
  if (!condition)
    std::abort();
}

// Bytes the plugin may write: those of the fields it writes.
bool pluginField(std::size_t offset) {
  for (const rec::Field &field : rec::kFields)
    if (field.written && offset >= field.offset && offset < field.offset + rec::kFieldWidth)
      return true;
  return false;
}

std::int32_t aSwitchOrAnything(FuzzedDataProvider &in) {
  return in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(0, 1)
                          : in.ConsumeIntegral<std::int32_t>();
}

float anyFloat(FuzzedDataProvider &in) {
  const auto bits = in.ConsumeIntegral<std::uint32_t>();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  ondrava::resetState();
  auto &host = ondrava::state();
  // Every key of the table, as the host stores it. The switches that need no
  // other are the options; the run refuses exactly when none of them is on.
  bool anyOption = false;
  for (const kelvane::OptionKey &key : kelvane::kOptionKeys) {
    if (key.role == kelvane::OptionRole::Switch) {
      host.parameters.ints[key.name] = aSwitchOrAnything(in);
      anyOption = anyOption || (key.needs == kelvane::kNoSwitch && host.parameters.ints[key.name] != 0);
    } else if (key.type == kelvane::OptionType::Int) {
      host.parameters.ints[key.name] = in.ConsumeIntegral<std::int32_t>();
    } else if (key.type == kelvane::OptionType::Float) {
      // Often a p value or a transparency factor.
      host.parameters.floats[key.name] =
          in.ConsumeBool() ? in.ConsumeFloatingPointInRange<float>(0.0f, 1.0f) : anyFloat(in);
    } else {
      host.parameters.strings[key.name] = in.ConsumeRandomLengthString(600);
    }
  }

  const auto maps = in.ConsumeIntegralInRange<std::size_t>(1, 48);
  for (std::size_t i = 0; i < maps; ++i) {
    ondrava::MapRecord record{};
    const std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(record.size());
    if (!bytes.empty())
      std::memcpy(record.data(), bytes.data(), bytes.size());
    // Mostly real map types, degrees of freedom and overlay states.
    if (in.ConsumeBool())
      rec::write<std::int32_t>(record.data(), rec::kMapType, in.ConsumeIntegralInRange<std::int32_t>(0, 3));
    if (in.ConsumeBool())
      rec::write<std::int32_t>(record.data(), rec::kDegreesOfFreedom,
                               in.ConsumeIntegralInRange<std::int32_t>(-3, 2000));
    if (in.ConsumeBool())
      rec::write<std::int32_t>(record.data(), rec::kOverlayState,
                               in.ConsumeIntegralInRange<std::int32_t>(0, 2));
    host.maps.push_back(record);
  }
  // The count the host reports: usually the truth, sometimes fewer or negative.
  const auto count = in.ConsumeBool()
                         ? static_cast<std::int32_t>(maps)
                         : in.ConsumeIntegralInRange<std::int32_t>(-3, static_cast<std::int32_t>(maps));
  host.reportedMapCount = count;
  const std::vector<ondrava::MapRecord> before = host.maps;

  require(kelvane::startPlugin());
  host.calls.clear();
  host.log.clear();
  const bool result = kelvane::runEditor();

  for (std::size_t i = 0; i < maps; ++i)
    for (std::size_t b = 0; b < ondrava::kRecordSize; ++b)
      if (!pluginField(b))
        require(host.maps[i][b] == before[i][b]);

  require(result == anyOption);
  if (!result) {
    // Nothing selected: no map touched.
    require(host.log.back() == "Kelvane>  No options selected");
    require(host.maps == before);
    return 0;
  }
  require(host.log.back() == "Kelvane>  Finished!");
  const std::int32_t n = count > 0 ? count : 0;
  // Step 6: get(i) ... set(i) for every i in order, once.
  std::size_t at = 0;
  const auto &calls = host.calls;
  auto next = [&](const std::string &prefix) {
    while (at < calls.size() && calls[at].rfind("zuGetNRVMPOf", 0) != 0 &&
           calls[at].rfind("zuSetNRVMP", 0) != 0 && calls[at] != "zuUpdateActiveWindow()")
      ++at;
    require(at < calls.size() && calls[at].rfind(prefix, 0) == 0);
    ++at;
  };
  for (std::int32_t i = 0; i < n; ++i) {
    next("zuGetNRVMPOfCurrentVMR(" + std::to_string(i) + ")");
    next("zuSetNRVMPParametersOfCurrentVMR(" + std::to_string(i) + ",");
  }
  // Step 7: reads up to the first overlaid map, which alone is written, twice.
  for (std::int32_t i = 0; i < n; ++i) {
    next("zuGetNRVMPOfCurrentVMR(" + std::to_string(i) + ")");
    if (rec::read<std::int32_t>(host.maps[static_cast<std::size_t>(i)].data(), rec::kOverlayState) == 1) {
      next("zuSetNRVMPParametersOfCurrentVMR(" + std::to_string(i) + ", overlay=0)");
      next("zuSetNRVMPParametersOfCurrentVMR(" + std::to_string(i) + ", overlay=1)");
      break;
    }
  }
  next("zuUpdateActiveWindow()");
  return 0;
}
