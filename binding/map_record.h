// The fields of the host's 112-byte map parameter record that the plugin
// reads or writes, little-endian at fixed offsets. Every other byte belongs
// to the host and is handed back untouched.
#pragma once

#include "host_api.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

// One row per field, in record order:
//   X(Name, offset, type, written): written by the plugin, or only read.
// clang-format off
#define KELVANE_MAP_RECORD_FIELDS(X)                                                                         \
  X(MapType, 8, Int32, false) /* 1 = t map */                                                                \
  X(LowerThreshold, 12, Float32, true)                                                                       \
  X(UpperThreshold, 16, Float32, true)                                                                       \
  X(ClusterSize, 24, Int32, true)                                                                            \
  X(UseCluster, 28, Int32, true) /* 1 = apply the cluster size */                                            \
  X(DegreesOfFreedom, 32, Int32, false)                                                                      \
  X(SignShown, 44, Int32, true) /* 1 pos, 2 neg, 3 both */                                                   \
  X(Transparency, 84, Float32, true)                                                                         \
  X(OverlayState, 104, Int32, true) /* 1 = overlaid */
// clang-format on

namespace kelvane::record {

enum class FieldType { Int32, Float32 };

struct Field {
  const char *name;
  std::size_t offset;
  FieldType type;
  bool written; // by the plugin; the others it only reads
};

inline constexpr Field kFields[] = {
#define KELVANE_RECORD_FIELD(Name, offset, type, written) {#Name, offset, FieldType::type, written},
    KELVANE_MAP_RECORD_FIELDS(KELVANE_RECORD_FIELD)
#undef KELVANE_RECORD_FIELD
};

// Each field's offset by name: record::kDegreesOfFreedom.
#define KELVANE_RECORD_OFFSET(Name, offset, type, written) constexpr std::size_t k##Name = offset;
KELVANE_MAP_RECORD_FIELDS(KELVANE_RECORD_OFFSET)
#undef KELVANE_RECORD_OFFSET

constexpr std::size_t kFieldWidth = 4;

constexpr std::int32_t kTMap = 1;

namespace detail {
constexpr bool inOrderWithinTheRecord() {
  std::size_t end = 0;
  for (const Field &field : kFields) {
    if (field.offset < end)
      return false;
    end = field.offset + kFieldWidth;
  }
  return end <= kMapRecordSize;
}
} // namespace detail

static_assert(kMapRecordSize == 112);
static_assert(detail::inOrderWithinTheRecord(), "fields overlap or run past the record");
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
