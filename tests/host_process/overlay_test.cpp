// The "Overlay" list, run through the whole plugin: which overlay states the
// host receives and which lines the parser logs between the echo and the
// first map.
#include "plugin_fixture.h"

using testing_support::PluginTest;

namespace {

using testing_support::Strings;

// Lines after the echo's closing "-----" and before the first map line.
Strings parserLines(const Strings &log) {
  std::size_t i = 1;
  while (i < log.size() && log[i] != "Kelvane>  -----")
    ++i;
  Strings lines;
  for (++i; i < log.size() && log[i].rfind("Kelvane>  Setting parameters", 0) != 0; ++i)
    lines.push_back(log[i]);
  return lines;
}

std::string range(int a, int b) {
  return "Kelvane>  " + std::to_string(a) + " - " + std::to_string(b) + " is not a correctly specified range";
}

const std::string kNoNumbers = "Kelvane>  No Map numbers detected";

struct Row {
  std::string text;
  int maps;
  std::vector<int> overlaid; // 1-based
  Strings lines;
};

TEST_F(PluginTest, OverlayListRows) {
  const Row rows[] = {
      {"All", 5, {1, 2, 3, 4, 5}, {}},
      {"all", 5, {}, {kNoNumbers}},
      {"ALL", 5, {}, {kNoNumbers}},
      {" All", 5, {}, {kNoNumbers}},
      {"All ", 5, {}, {kNoNumbers}},
      {"", 5, {}, {kNoNumbers}},
      {"none", 5, {}, {kNoNumbers}},
      {"-", 5, {}, {kNoNumbers}},
      {",", 5, {}, {kNoNumbers}},
      {"1,3-4", 5, {1, 3, 4}, {}},
      {"1-2,4-5", 5, {1, 2, 4, 5}, {}},
      {"2", 5, {2}, {}},
      {" 1,3", 5, {1, 3}, {}},
      {"maps 1,3", 5, {1, 3}, {}},
      {"maps 2-4", 5, {2, 3, 4}, {}},
      {"1 - 3", 5, {1, 2, 3}, {}},
      {"1 2", 5, {}, {}},
      {"1;2", 5, {}, {}},
      {"1.2", 5, {}, {}},
      {"1 2", 20, {12}, {}},
      {"a1b2c3", 200, {123}, {}},
      {"1-4 and 6", 50, {}, {}}, // filled below: 1 to 46
      {"3-1", 5, {}, {range(3, 1)}},
      {"2-2", 5, {}, {range(2, 2)}},
      {"5-3,1", 5, {1}, {range(5, 3)}},
      {"0", 5, {}, {}},
      {"6", 5, {}, {}},
      {"0-2", 5, {1, 2}, {}},
      {"4-9", 5, {4, 5}, {}},
      {"1--3", 5, {1, 2, 3}, {}},
      {"1-,3", 5, {1, 2, 3}, {}},
      {"1-3-5", 5, {1, 2, 3, 5}, {}},
      {"2-1-4", 5, {4}, {range(2, 1)}},
      {"1-2-", 5, {1, 2}, {}},
      {"1,,3", 5, {1, 3}, {}},
      {",2", 5, {2}, {}},
      {"-3", 5, {3}, {}},
      {"1,-3", 5, {1, 3}, {}},
      {"4,", 5, {4}, {}},
      {"3,1-2", 5, {1, 2, 3}, {}},
      {"1-3,2", 5, {1, 2, 3}, {}},
      {"007", 9, {7}, {}},
      {"10-12", 12, {10, 11, 12}, {}},
      {"99999999999", 5, {}, {}},
      {"1-99999999999", 5, {1, 2, 3, 4, 5}, {}},
      {"3-1,7-2,4", 5, {4}, {range(3, 1), range(7, 2)}},
      {"99999999999-1", 5, {}, {range(2147483647, 1)}},
      // Open-ended ranges run to the last loaded map.
      {"1-3,5-", 7, {1, 2, 3, 5, 6, 7}, {}},
      {"4-", 5, {4, 5}, {}},
      {"4-,", 5, {4, 5}, {}},
      {"2--", 5, {2, 3, 4, 5}, {}},
      {"0-", 3, {1, 2, 3}, {}},
      {"6-", 5, {}, {}},
      {"3-1,2-", 4, {2, 3, 4}, {range(3, 1)}},
      // Examples of the help page, with its 7 maps (Docs.help_page_overlay runs them all).
      {"All", 7, {1, 2, 3, 4, 5, 6, 7}, {}},
      {"2", 7, {2}, {}},
      {"1,3-5", 7, {1, 3, 4, 5}, {}},
      {"maps 2-4", 7, {2, 3, 4}, {}},
      {"4-", 7, {4, 5, 6, 7}, {}},
      {"4-,6", 7, {4, 5, 6}, {}},
      {"0-2", 7, {1, 2}, {}},
      {"6-9", 7, {6, 7}, {}},
      {"2-,1", 7, {}, {range(2, 1)}},
      {"2-1", 7, {}, {range(2, 1)}},
      {"1.2", 20, {12}, {}},
  };
  for (Row row : rows) {
    if (row.text == "1-4 and 6")
      for (int k = 1; k <= 46; ++k)
        row.overlaid.push_back(k);
    SCOPED_TRACE("\"" + row.text + "\" with " + std::to_string(row.maps) + " maps");
    ondrava::resetState();
    // Every map starts overlaid, so that a 0 is the parser's doing.
    loadMaps(std::vector<testing_support::MapFields>(static_cast<std::size_t>(row.maps), {1, 10, 1}));
    host().parameters.ints = {{"DoOverlayMaps", 1}};
    host().parameters.strings = {{"Overlay", row.text}};
    EXPECT_TRUE(execute());
    std::vector<int> overlaid;
    for (std::size_t i = 0; i < host().maps.size(); ++i) {
      const auto state = testing_support::field<std::int32_t>(host().maps[i], kelvane::record::kOverlayState);
      EXPECT_TRUE(state == 0 || state == 1) << "map " << i + 1 << " state " << state;
      if (state == 1)
        overlaid.push_back(static_cast<int>(i) + 1);
    }
    EXPECT_EQ(overlaid, row.overlaid);
    EXPECT_EQ(parserLines(host().log), row.lines);
  }
}

TEST_F(PluginTest, OverlayTextWithoutItsSwitchIsNeitherParsedNorApplied) {
  loadMaps({{1, 10, 1}, {1, 10, 0}, {1, 10, 2}});
  host().parameters.ints = {{"DoSetMax", 1}};
  host().parameters.strings = {{"Overlay", "3-1"}};
  EXPECT_TRUE(execute());
  EXPECT_TRUE(parserLines(host().log).empty());
  EXPECT_EQ(testing_support::field<std::int32_t>(host().maps[0], kelvane::record::kOverlayState), 1);
  EXPECT_EQ(testing_support::field<std::int32_t>(host().maps[1], kelvane::record::kOverlayState), 0);
  EXPECT_EQ(testing_support::field<std::int32_t>(host().maps[2], kelvane::record::kOverlayState), 2);
}

} // namespace
