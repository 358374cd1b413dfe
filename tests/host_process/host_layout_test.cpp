// What the host fixes, held from its own figures, written here as literals:
// the map record's field offsets and the size of the string buffer. The
// plugin's constants are never read, so that a wrong one cannot agree with
// itself.
#include "plugin_fixture.h"

#include <algorithm>
#include <array>
#include <cstring>

using testing_support::PluginTest;

namespace {

using RawRecord = std::array<unsigned char, 112>;

struct FieldRow {
  const char *name;
  std::size_t offset;
  bool isFloat; // else a 32-bit signed integer
  double before;
  double after;
};

void put(RawRecord &record, const FieldRow &row, double value) {
  const float asFloat = static_cast<float>(value);
  const auto asInt = static_cast<std::int32_t>(value);
  std::memcpy(record.data() + row.offset, row.isFloat ? static_cast<const void *>(&asFloat) : &asInt, 4);
}

TEST_F(PluginTest, RecordFieldsAreReadAndWrittenAtTheHostsOffsets) {
  // Every option is chosen, so that the plugin reads or writes every field.
  const FieldRow rows[] = {
      {"map type", 8, false, 1, 1},
      {"lower threshold", 12, true, 3.0, 2.2281389236450195}, // p 0.05 at 10 df
      {"upper threshold", 16, true, 8.0, 9.5},
      {"cluster size", 24, false, 4, 25},
      {"use cluster", 28, false, 0, 1},
      {"degrees of freedom", 32, false, 10, 10},
      {"sign shown", 44, false, 3, 2},
      {"transparency", 84, true, 1.0, 0.25},
      {"overlay state", 104, false, 0, 1},
  };
  host().parameters.ints = {{"DoSetMin", 1},       {"DoSetMinP", 1},        {"DoSetMax", 1},
                            {"DoClusterSize", 1},  {"ClusterSize", 25},     {"DoUseClusterSize", 1},
                            {"UseCluster", 1},     {"DoShowPosNegBoth", 1}, {"PNB", 1},
                            {"DoTransparancy", 1}, {"DoOverlayMaps", 1}};
  host().parameters.floats = {{"MinP", 0.05f}, {"Max", 9.5f}, {"Trans", 0.25f}};
  host().parameters.strings = {{"Overlay", "All"}};

  // The host's own bytes: none zero, none alike nearby.
  RawRecord before;
  for (std::size_t i = 0; i < before.size(); ++i)
    before[i] = static_cast<unsigned char>(0x5A + 7 * i);
  RawRecord expected = before;
  for (const FieldRow &row : rows) {
    put(before, row, row.before);
    put(expected, row, row.after);
  }
  ondrava::MapRecord hostRecord;
  static_assert(sizeof hostRecord == sizeof before);
  std::memcpy(hostRecord.data(), before.data(), before.size());
  host().maps = {hostRecord};

  EXPECT_TRUE(execute());
  RawRecord after;
  std::memcpy(after.data(), host().maps[0].data(), after.size());
  for (const FieldRow &row : rows)
    EXPECT_EQ(std::memcmp(after.data() + row.offset, expected.data() + row.offset, 4), 0) << row.name;
  EXPECT_EQ(after, expected) << "a byte outside the fields changed";
}

// The host copies at most 511 characters and a terminator into the 512 bytes
// it is handed, or, careless, fills all 512 with no terminator. Either way a
// map number from the 512th character on is out of the plugin's reach.
TEST_F(PluginTest, OverlayTextIsReadFromA512ByteBuffer) {
  const std::string kNoNumbers = "Kelvane>  No Map numbers detected";
  const struct {
    const char *name;
    std::string text;
    bool fillsWholeBuffer;
    std::vector<int> overlaid; // 1-based
  } rows[] = {
      {"the 511th character", std::string(510, ',') + "5" + std::string(89, ','), false, {5}},
      {"the 512th character", std::string(511, ',') + "5" + std::string(88, ','), false, {}},
      {"the 512th character, no terminator", std::string(511, ',') + "5", true, {}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    ondrava::resetState();
    // Every map starts overlaid, so that a 0 is the parser's doing.
    loadMaps(std::vector<testing_support::MapFields>(5, {1, 10, 1}));
    host().parameters.ints = {{"DoOverlayMaps", 1}};
    host().parameters.strings = {{"Overlay", row.text}};
    host().stringFillsWholeBuffer = row.fillsWholeBuffer;
    EXPECT_TRUE(execute());
    std::vector<int> overlaid;
    for (std::size_t i = 0; i < host().maps.size(); ++i) {
      if (testing_support::field<std::int32_t>(host().maps[i], 104) == 1)
        overlaid.push_back(static_cast<int>(i) + 1);
    }
    EXPECT_EQ(overlaid, row.overlaid);
    const bool noNumbers = std::count(host().log.begin(), host().log.end(), kNoNumbers) == 1;
    EXPECT_EQ(noNumbers, row.overlaid.empty());
  }
}

} // namespace
