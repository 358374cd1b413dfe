// The fields of the host's 112-byte map parameter record that the plugin
// reads or writes, little-endian at fixed offsets. Every other byte belongs
// to the host and is handed back untouched.
#pragma once

#include "host_api.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kelvane::record {

constexpr std::size_t kMapType = 8;           // int32, 1 = t map
constexpr std::size_t kLowerThreshold = 12;   // float
constexpr std::size_t kUpperThreshold = 16;   // float
constexpr std::size_t kClusterSize = 24;      // int32
constexpr std::size_t kUseCluster = 28;       // int32, 1 = apply the cluster size
constexpr std::size_t kDegreesOfFreedom = 32; // int32
constexpr std::size_t kSignShown = 44;        // int32, 1 pos, 2 neg, 3 both
constexpr std::size_t kTransparency = 84;     // float
constexpr std::size_t kOverlayState = 104;    // int32, 1 = overlaid
constexpr std::size_t kFieldWidth = 4;

constexpr std::int32_t kTMap = 1;

static_assert(kMapRecordSize == 112);
static_assert(kMapType + kFieldWidth <= kLowerThreshold && kLowerThreshold + kFieldWidth <= kUpperThreshold &&
                  kUpperThreshold + kFieldWidth <= kClusterSize &&
                  kClusterSize + kFieldWidth <= kUseCluster &&
                  kUseCluster + kFieldWidth <= kDegreesOfFreedom &&
                  kDegreesOfFreedom + kFieldWidth <= kSignShown &&
                  kSignShown + kFieldWidth <= kTransparency && kTransparency + kFieldWidth <= kOverlayState &&
                  kOverlayState + kFieldWidth <= kMapRecordSize,
              "fields overlap or run past the record");
static_assert(sizeof(float) == kFieldWidth && sizeof(std::int32_t) == kFieldWidth);
#if defined(__BYTE_ORDER__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the record is little-endian");
#endif

template <typename T> T read(const unsigned char *record, std::size_t offset) {
  static_assert(sizeof(T) == kFieldWidth);
  T value;
  std::memcpy(&value, record + offset, sizeof value);
  return value;
}

template <typename T> void write(unsigned char *record, std::size_t offset, T value) {
  static_assert(sizeof(T) == kFieldWidth);
  std::memcpy(record + offset, &value, sizeof value);
}

} // namespace kelvane::record
