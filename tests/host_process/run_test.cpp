// A whole run: what each map's record receives, the overlay refresh, and the
// exact sequence of host calls.
#include "option_keys.h"
#include "plugin_fixture.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

using testing_support::field;
using testing_support::PluginTest;
namespace rec = kelvane::record;

namespace {

using testing_support::Strings;

template <typename T> void put(ondrava::MapRecord &r, std::size_t offset, T value) {
  rec::write(r.data(), offset, value);
}

TEST_F(PluginTest, EachFieldIsWrittenUnderItsSwitchAndNothingElseChanges) {
  struct Row {
    const char *name;
    decltype(ondrava::ParameterStore::ints) ints;
    decltype(ondrava::ParameterStore::floats) floats;
    void (*expect)(ondrava::MapRecord &);
  };
  const Row rows[] = {
      {"min",
       {{"DoSetMin", 1}},
       {{"Min", 2.5f}},
       [](ondrava::MapRecord &r) { put(r, rec::kLowerThreshold, 2.5f); }},
      {"max",
       {{"DoSetMax", 1}},
       {{"Max", -7.25f}},
       [](ondrava::MapRecord &r) { put(r, rec::kUpperThreshold, -7.25f); }},
      {"cluster size",
       {{"DoClusterSize", 1}, {"ClusterSize", 123456}},
       {},
       [](ondrava::MapRecord &r) { put<std::int32_t>(r, rec::kClusterSize, 123456); }},
      {"use cluster",
       {{"DoUseClusterSize", 1}, {"UseCluster", 5}},
       {},
       [](ondrava::MapRecord &r) { put<std::int32_t>(r, rec::kUseCluster, 1); }},
      {"do not use cluster",
       {{"DoUseClusterSize", 1}, {"UseCluster", 0}},
       {},
       [](ondrava::MapRecord &r) { put<std::int32_t>(r, rec::kUseCluster, 0); }},
      {"sign",
       {{"DoShowPosNegBoth", 1}, {"PNB", 1}},
       {},
       [](ondrava::MapRecord &r) { put<std::int32_t>(r, rec::kSignShown, 2); }},
      {"transparency",
       {{"DoTransparancy", 1}},
       {{"Trans", 0.3f}},
       [](ondrava::MapRecord &r) { put(r, rec::kTransparency, 0.3f); }},
      {"overlay",
       {{"DoOverlayMaps", 1}},
       {},
       [](ondrava::MapRecord &r) { put<std::int32_t>(r, rec::kOverlayState, 1); }},
      {"everything",
       {{"DoSetMin", 1},
        {"DoSetMax", 1},
        {"DoClusterSize", 1},
        {"ClusterSize", -3},
        {"DoUseClusterSize", 1},
        {"DoShowPosNegBoth", 1},
        {"PNB", 0},
        {"DoTransparancy", 1},
        {"DoOverlayMaps", 1}},
       {{"Min", 1.0f}, {"Max", 2.0f}, {"Trans", 0.0f}},
       [](ondrava::MapRecord &r) {
         put(r, rec::kLowerThreshold, 1.0f);
         put(r, rec::kUpperThreshold, 2.0f);
         put<std::int32_t>(r, rec::kClusterSize, -3);
         put<std::int32_t>(r, rec::kUseCluster, 0);
         put<std::int32_t>(r, rec::kSignShown, 1);
         put(r, rec::kTransparency, 0.0f);
         put<std::int32_t>(r, rec::kOverlayState, 1);
       }},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ondrava::resetState();
    // Overlay state 7: neither overlaid nor cleared, so the refresh leaves it.
    loadMaps({{1, 10, 7}, {3, -2, 7}, {1, 0, 7}});
    host().parameters.ints = row.ints;
    host().parameters.floats = row.floats;
    host().parameters.strings = {{"Overlay", "All"}};
    auto expected = host().maps;
    for (auto &r : expected)
      row.expect(r);
    EXPECT_TRUE(execute());
    // The refresh switches the first overlaid map off and on; it ends as 1.
    EXPECT_EQ(host().maps, expected);
  }
}

TEST_F(PluginTest, SignShownIsPnbPlusOneWithTwosComplementWrap) {
  const std::int32_t rows[][2] = {
      {0, 1}, {1, 2}, {2, 3}, {7, 8}, {-1, 0}, {INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MIN + 1}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row[0]);
    ondrava::resetState();
    loadMaps(2);
    host().parameters.ints = {{"DoShowPosNegBoth", 1}, {"PNB", row[0]}};
    EXPECT_TRUE(execute());
    for (const auto &map : host().maps)
      EXPECT_EQ(field<std::int32_t>(map, rec::kSignShown), row[1]);
  }
}

TEST_F(PluginTest, PThresholdPerTMapFromItsOwnDegreesOfFreedom) {
  loadMaps({{1, 10, 0}, {2, 10, 0}, {1, 30, 0}, {0, 10, 0}, {1, 1000, 0}});
  host().parameters.ints = {{"DoSetMin", 1}, {"DoSetMinP", 1}};
  host().parameters.floats = {{"MinP", 0.05f}, {"Min", 99.0f}};
  const auto before = host().maps;
  EXPECT_TRUE(execute());
  EXPECT_EQ(static_cast<double>(field<float>(host().maps[0], rec::kLowerThreshold)), 2.2281389236450195);
  EXPECT_EQ(static_cast<double>(field<float>(host().maps[2], rec::kLowerThreshold)), 2.0422725677490234);
  EXPECT_EQ(static_cast<double>(field<float>(host().maps[4], rec::kLowerThreshold)), 1.9623384475708008);
  // Not t maps: untouched, and each named in the log before its own line.
  EXPECT_EQ(host().maps[1], before[1]);
  EXPECT_EQ(host().maps[3], before[3]);
  const Strings tail(host().log.end() - 9, host().log.end());
  EXPECT_EQ(tail, (Strings{"Kelvane>  Setting parameters for map 1",
                           "Kelvane>  Map 2 is not a T-map, setting of P threshold not supported",
                           "Kelvane>  Setting parameters for map 2", "Kelvane>  Setting parameters for map 3",
                           "Kelvane>  Map 4 is not a T-map, setting of P threshold not supported",
                           "Kelvane>  Setting parameters for map 4", "Kelvane>  Setting parameters for map 5",
                           "Kelvane>", "Kelvane>  Finished!"}));
}

// A t map without degrees of freedom has no t distribution: it keeps its
// threshold, the log says why, and its other options still apply.
TEST_F(PluginTest, TMapsWithoutDegreesOfFreedomKeepTheirThreshold) {
  loadMaps({{1, 0, 0}, {1, -1, 0}, {1, -9, 0}, {1, INT32_MIN, 0}, {1, INT32_MAX, 0}});
  host().parameters.ints = {{"DoSetMin", 1}, {"DoSetMinP", 1}, {"DoSetMax", 1}};
  host().parameters.floats = {{"MinP", 0.05f}, {"Max", 7.5f}};
  const auto before = host().maps;
  EXPECT_TRUE(execute());
  for (int i = 0; i < 4; ++i) {
    auto expected = before[static_cast<std::size_t>(i)];
    put(expected, rec::kUpperThreshold, 7.5f);
    EXPECT_EQ(host().maps[static_cast<std::size_t>(i)], expected) << "map " << i + 1;
  }
  EXPECT_NEAR(field<float>(host().maps[4], rec::kLowerThreshold), 1.959964f, 1e-4f);
  const Strings tail(host().log.end() - 11, host().log.end());
  EXPECT_EQ(
      tail,
      (Strings{"Kelvane>  Map 1 has 0 degrees of freedom, setting of P threshold not supported",
               "Kelvane>  Setting parameters for map 1",
               "Kelvane>  Map 2 has -1 degrees of freedom, setting of P threshold not supported",
               "Kelvane>  Setting parameters for map 2",
               "Kelvane>  Map 3 has -9 degrees of freedom, setting of P threshold not supported",
               "Kelvane>  Setting parameters for map 3",
               "Kelvane>  Map 4 has -2147483648 degrees of freedom, setting of P threshold not supported",
               "Kelvane>  Setting parameters for map 4", "Kelvane>  Setting parameters for map 5", "Kelvane>",
               "Kelvane>  Finished!"}));
}

TEST_F(PluginTest, MinPSwitchWithoutMinChangesNoThreshold) {
  loadMaps({{1, 10, 0}, {2, 10, 0}});
  host().parameters.ints = {{"DoSetMinP", 1}, {"DoSetMax", 1}};
  host().parameters.floats = {{"MinP", 0.05f}, {"Max", 4.0f}};
  const auto before = host().maps;
  EXPECT_TRUE(execute());
  for (std::size_t i = 0; i < 2; ++i)
    EXPECT_EQ(field<float>(host().maps[i], rec::kLowerThreshold),
              field<float>(before[i], rec::kLowerThreshold));
  for (const std::string &line : host().log)
    EXPECT_EQ(line.find("T-map"), std::string::npos);
}

TEST_F(PluginTest, OverlayRefreshCases) {
  struct Row {
    const char *name;
    std::vector<std::int32_t> states;
    bool doOverlay;
    Strings refresh; // calls after the last map is written, before the redraw
  };
  const Row rows[] = {
      {"0, 1, 1",
       {0, 1, 1},
       false,
       {"zuGetNRVMPOfCurrentVMR(0)", "zuGetNRVMPOfCurrentVMR(1)",
        "zuSetNRVMPParametersOfCurrentVMR(1, overlay=0)", "zuSetNRVMPParametersOfCurrentVMR(1, overlay=1)"}},
      {"2 is not overlaid",
       {2, 1},
       false,
       {"zuGetNRVMPOfCurrentVMR(0)", "zuGetNRVMPOfCurrentVMR(1)",
        "zuSetNRVMPParametersOfCurrentVMR(1, overlay=0)", "zuSetNRVMPParametersOfCurrentVMR(1, overlay=1)"}},
      {"none overlaid",
       {0, 2, -1},
       false,
       {"zuGetNRVMPOfCurrentVMR(0)", "zuGetNRVMPOfCurrentVMR(1)", "zuGetNRVMPOfCurrentVMR(2)"}},
      {"first overlaid",
       {1, 1},
       false,
       {"zuGetNRVMPOfCurrentVMR(0)", "zuSetNRVMPParametersOfCurrentVMR(0, overlay=0)",
        "zuSetNRVMPParametersOfCurrentVMR(0, overlay=1)"}},
      {"list clears every flag", {1, 1}, true, {"zuGetNRVMPOfCurrentVMR(0)", "zuGetNRVMPOfCurrentVMR(1)"}},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ondrava::resetState();
    std::vector<testing_support::MapFields> maps;
    for (const std::int32_t state : row.states)
      maps.push_back({1, 10, state});
    loadMaps(maps);
    host().parameters.ints = {{"DoSetMax", 1}, {"DoOverlayMaps", row.doOverlay ? 1 : 0}};
    host().parameters.strings = {{"Overlay", "no numbers"}};
    EXPECT_TRUE(execute());
    const std::string lastMap =
        "zuSetNRVMPParametersOfCurrentVMR(" + std::to_string(row.states.size() - 1) + ", overlay=";
    const Strings &calls = host().calls;
    auto it = calls.begin();
    for (std::size_t seen = 0; it != calls.end(); ++it) {
      if (it->rfind("zuSetNRVMPParametersOfCurrentVMR(", 0) == 0 && ++seen == row.states.size())
        break;
    }
    ASSERT_NE(it, calls.end());
    ASSERT_EQ(it->rfind(lastMap, 0), 0u);
    auto redraw = std::find(it, calls.end(), "zuUpdateActiveWindow()");
    ASSERT_NE(redraw, calls.end());
    EXPECT_EQ(Strings(it + 1, redraw), row.refresh);
    EXPECT_EQ(host().redraws, 1);
  }
}

TEST_F(PluginTest, NoMapsStillRedrawsAndFinishes) {
  for (const std::int32_t count : {0, -1, INT32_MIN}) {
    SCOPED_TRACE(count);
    ondrava::resetState();
    loadMaps(2);
    host().reportedMapCount = count;
    host().parameters.ints = {{"DoSetMax", 1}, {"DoOverlayMaps", 1}};
    host().parameters.strings = {{"Overlay", "1-2"}};
    const auto before = host().maps;
    EXPECT_TRUE(execute());
    EXPECT_EQ(host().maps, before);
    EXPECT_EQ(host().redraws, 1);
    const Strings tail(host().calls.end() - 5, host().calls.end());
    EXPECT_EQ(tail,
              (Strings{"zuLogText(Kelvane>  -----)", "zuGetNRVMPsOfCurrentVMR()", "zuUpdateActiveWindow()",
                       "zuLogText(Kelvane>)", "zuLogText(Kelvane>  Finished!)"}));
  }
}

TEST_F(PluginTest, WholeRunCallTrace) {
  loadMaps({{1, 10, 0}, {2, 5, 1}});
  host().parameters.ints = {{"DoSetMin", 1}, {"DoSetMinP", 1}, {"DoOverlayMaps", 1}};
  host().parameters.floats = {{"MinP", 0.05f}};
  host().parameters.strings = {{"Overlay", "2-1,2"}};
  const Outcome outcome = run();
  EXPECT_TRUE(outcome.initialised);
  EXPECT_TRUE(outcome.executed);
  const Strings expected = testing_support::concat(
      {testing_support::kPassingInitCalls,
       testing_support::kOptionReads,
       {
           "zuLogText(Kelvane>  -----)",
           "zuLogText(Kelvane>  Set Min P to 0.0500)",
           "zuLogText(Kelvane>  Overlay the following maps: 2-1,2)",
           "zuLogText(Kelvane>  -----)",
           "zuGetNRVMPsOfCurrentVMR()",
           "zuLogText(Kelvane>  2 - 1 is not a correctly specified range)",
           "zuGetNRVMPOfCurrentVMR(0)",
           "zuLogText(Kelvane>  Setting parameters for map 1)",
           "zuSetNRVMPParametersOfCurrentVMR(0, overlay=0)",
           "zuGetNRVMPOfCurrentVMR(1)",
           "zuLogText(Kelvane>  Map 2 is not a T-map, setting of P threshold not supported)",
           "zuLogText(Kelvane>  Setting parameters for map 2)",
           "zuSetNRVMPParametersOfCurrentVMR(1, overlay=1)",
           "zuGetNRVMPOfCurrentVMR(0)",
           "zuGetNRVMPOfCurrentVMR(1)",
           "zuSetNRVMPParametersOfCurrentVMR(1, overlay=0)",
           "zuSetNRVMPParametersOfCurrentVMR(1, overlay=1)",
           "zuUpdateActiveWindow()",
           "zuLogText(Kelvane>)",
           "zuLogText(Kelvane>  Finished!)",
           "zuLogText( )",
       }});
  EXPECT_EQ(host().calls, expected);
  EXPECT_EQ(field<float>(host().maps[0], rec::kLowerThreshold), 2.2281389236450195f);
}

TEST_F(PluginTest, WholeRunCallTraceWithoutOverlay) {
  loadMaps({{1, 10, 1}});
  host().parameters.ints = {{"DoTransparancy", 1}};
  host().parameters.floats = {{"Trans", 0.5f}};
  EXPECT_TRUE(execute());
  const Strings expected = {
      "zuLogText(Kelvane>  -----)",
      "zuLogText(Kelvane>  Transparancy Factor 0.50)",
      "zuLogText(Kelvane>  -----)",
      "zuGetNRVMPsOfCurrentVMR()",
      "zuGetNRVMPOfCurrentVMR(0)",
      "zuLogText(Kelvane>  Setting parameters for map 1)",
      "zuSetNRVMPParametersOfCurrentVMR(0, overlay=1)",
      "zuGetNRVMPOfCurrentVMR(0)",
      "zuSetNRVMPParametersOfCurrentVMR(0, overlay=0)",
      "zuSetNRVMPParametersOfCurrentVMR(0, overlay=1)",
      "zuUpdateActiveWindow()",
      "zuLogText(Kelvane>)",
      "zuLogText(Kelvane>  Finished!)",
  };
  const auto reads = static_cast<std::ptrdiff_t>(testing_support::kOptionReads.size());
  EXPECT_EQ(Strings(host().calls.begin() + reads, host().calls.end()), expected);
}

// The fixture's literal reads are the host's; this holds the key table to
// them: a key added to the table but not read, or read out of the table's
// order or through another getter, fails here.
TEST_F(PluginTest, ReadsEveryKeyOfTheTableInItsOrder) {
  loadMaps(1);
  EXPECT_FALSE(execute());
  Strings fromTable;
  for (const kelvane::OptionKey &key : kelvane::kOptionKeys) {
    const char *getter = key.type == kelvane::OptionType::Int     ? "zuGetIntParameter("
                         : key.type == kelvane::OptionType::Float ? "zuGetFloatParameter("
                                                                  : "zuGetStringParameter(";
    fromTable.push_back(getter + std::string(key.name) + ")");
  }
  Strings reads;
  std::copy_if(host().calls.begin(), host().calls.end(), std::back_inserter(reads),
               [](const std::string &call) { return call.find("Parameter(") != std::string::npos; });
  EXPECT_EQ(reads, fromTable);
  EXPECT_EQ(reads, testing_support::kOptionReads);
}

} // namespace
