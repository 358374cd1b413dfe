// The option intake and its echo in the log pane.
#include "plugin_fixture.h"

using testing_support::PluginTest;

namespace {

using testing_support::Strings;

struct Options {
  decltype(ondrava::ParameterStore::ints) ints;
  decltype(ondrava::ParameterStore::floats) floats;
  decltype(ondrava::ParameterStore::strings) strings;
};

// The lines between the two "-----" lines of the echo.
Strings echoOf(const Strings &log) {
  Strings lines;
  if (log.empty() || log[0] != "Kelvane>  -----")
    return {"<no opening line>"};
  for (std::size_t i = 1; i < log.size(); ++i) {
    if (log[i] == "Kelvane>  -----")
      return lines;
    lines.push_back(log[i]);
  }
  return {"<no closing line>"};
}

TEST_F(PluginTest, EchoRows) {
  const struct {
    const char *name;
    Options options;
    Strings echo;
  } rows[] = {
      {"min p",
       {{{"DoSetMin", 1}, {"DoSetMinP", 1}}, {{"MinP", 0.05f}}, {}},
       {"Kelvane>  Set Min P to 0.0500"}},
      {"min", {{{"DoSetMin", 1}}, {{"Min", 2.5f}, {"MinP", 0.05f}}, {}}, {"Kelvane>  Set Min to 2.50"}},
      {"min, switch as any nonzero",
       {{{"DoSetMin", -9}, {"DoSetMinP", 0}}, {{"Min", 123.456f}}, {}},
       {"Kelvane>  Set Min to 123.46"}},
      {"max", {{{"DoSetMax", 1}}, {{"Max", 8.0f}}, {}}, {"Kelvane>  Set Max to 8.00"}},
      {"cluster size",
       {{{"DoClusterSize", 1}, {"ClusterSize", -40}}, {}, {}},
       {"Kelvane>  Set Cluster Size to -40"}},
      {"use cluster",
       {{{"DoUseClusterSize", 1}, {"UseCluster", 1}}, {}, {}},
       {"Kelvane>  DO use the cluster size threshold"}},
      {"use cluster 5",
       {{{"DoUseClusterSize", 1}, {"UseCluster", 5}}, {}, {}},
       {"Kelvane>  DO use the cluster size threshold"}},
      {"do not use cluster",
       {{{"DoUseClusterSize", 1}, {"UseCluster", 0}}, {}, {}},
       {"Kelvane>  DO NOT use the cluster size threshold"}},
      {"positive", {{{"DoShowPosNegBoth", 1}, {"PNB", 0}}, {}, {}}, {"Kelvane>  Show Positive"}},
      {"negative", {{{"DoShowPosNegBoth", 1}, {"PNB", 1}}, {}, {}}, {"Kelvane>  Show Negative"}},
      {"both 2", {{{"DoShowPosNegBoth", 1}, {"PNB", 2}}, {}, {}}, {"Kelvane>  Show Both (pos and neg)"}},
      {"both 7", {{{"DoShowPosNegBoth", 1}, {"PNB", 7}}, {}, {}}, {"Kelvane>  Show Both (pos and neg)"}},
      {"both -1", {{{"DoShowPosNegBoth", 1}, {"PNB", -1}}, {}, {}}, {"Kelvane>  Show Both (pos and neg)"}},
      {"transparency",
       {{{"DoTransparancy", 1}}, {{"Trans", 0.755f}}, {}},
       {"Kelvane>  Transparancy Factor 0.75"}},
      {"overlay",
       {{{"DoOverlayMaps", 1}}, {}, {{"Overlay", "1,3-4"}}},
       {"Kelvane>  Overlay the following maps: 1,3-4"}},
      {"empty overlay",
       {{{"DoOverlayMaps", 1}}, {}, {{"Overlay", ""}}},
       {"Kelvane>  Overlay the following maps: "}},
      {"overlay text without its switch",
       {{{"DoSetMax", 1}}, {{"Max", 1.0f}}, {{"Overlay", "1-2"}}},
       {"Kelvane>  Set Max to 1.00"}},
      {"min p switch without min",
       {{{"DoSetMinP", 1}, {"DoSetMax", 1}}, {{"MinP", 0.01f}, {"Max", 3.0f}}, {}},
       {"Kelvane>  Set Max to 3.00"}},
      {"all of them, in fixed order",
       {{{"DoOverlayMaps", 1},
         {"DoTransparancy", 1},
         {"DoShowPosNegBoth", 1},
         {"DoUseClusterSize", 1},
         {"DoClusterSize", 1},
         {"ClusterSize", 12},
         {"DoSetMax", 1},
         {"DoSetMin", 1},
         {"DoSetMinP", 1}},
        {{"MinP", 0.001f}, {"Max", 10.0f}, {"Trans", 0.5f}},
        {{"Overlay", "All"}}},
       {"Kelvane>  Set Min P to 0.0010", "Kelvane>  Set Max to 10.00", "Kelvane>  Set Cluster Size to 12",
        "Kelvane>  DO NOT use the cluster size threshold", "Kelvane>  Show Positive",
        "Kelvane>  Transparancy Factor 0.50", "Kelvane>  Overlay the following maps: All"}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.name);
    ondrava::resetState();
    loadMaps(2);
    host().parameters.ints = row.options.ints;
    host().parameters.floats = row.options.floats;
    host().parameters.strings = row.options.strings;
    EXPECT_TRUE(execute());
    EXPECT_EQ(echoOf(host().log), row.echo);
    const std::size_t reads = testing_support::kOptionReads.size();
    ASSERT_GT(host().calls.size(), reads);
    EXPECT_EQ(Strings(host().calls.begin(), host().calls.begin() + static_cast<std::ptrdiff_t>(reads)),
              testing_support::kOptionReads);
    // Nothing is logged before every key is read.
    EXPECT_EQ(host().calls[reads], "zuLogText(Kelvane>  -----)");
  }
}

// The Min P line reads back the p the thresholds come from: four decimals
// where they are within 1 % of p, as they always were; elsewhere the fewest
// significant digits that read back as the same float.
TEST_F(PluginTest, MinPEchoReadsBackTheP) {
  const struct {
    float p;
    const char *shown;
  } rows[] = {
      // within 1 %: as before
      {0.05f, "0.0500"},
      {0.00101f, "0.0010"}, // 0.99 % off
      {0.0049490002f, "0.0049"},
      {0.0001f, "0.0001"},
      {-0.0001f, "-0.0001"},
      {0.0f, "0.0000"},
      {-0.0f, "-0.0000"},
      // beyond it: was the four-decimal text
      {0.00099f, "0.00099"}, // 1.01 % off, was 0.0010
      {0.00102f, "0.00102"},
      {0.0012345f, "0.0012345"},
      {0.00015f, "0.00015"},              // was 0.0002
      {0.00006f, "6e-05"},                // was 0.0001, as 0.0001 itself
      {0x1.f75106p-15f, "6.0000002e-05"}, // the next float up
      {0x1.a36e3p-15f, "5.0000002e-05"},  // the float just above 0.00005, was 0.0001
      // below 0.00005, which four decimals show as zero
      {0.00005f, "5e-05"}, // 4.99999987e-05, the float just below
      {0.0000499f, "4.99e-05"},
      {1e-5f, "1e-05"},
      {0x1p-149f, "1e-45"}, // the smallest float, was 1.4013e-45
      {-1e-6f, "-1e-06"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.shown);
    ondrava::resetState();
    loadMaps(1);
    host().parameters.ints = {{"DoSetMin", 1}, {"DoSetMinP", 1}};
    host().parameters.floats = {{"MinP", row.p}};
    EXPECT_TRUE(execute());
    EXPECT_EQ(echoOf(host().log), Strings{std::string("Kelvane>  Set Min P to ") + row.shown});
  }
}

TEST_F(PluginTest, NothingSelectedEndsTheRun) {
  loadMaps(3);
  host().parameters.ints = {{"DoSetMinP", 1}, {"UseCluster", 1}, {"PNB", 2}};
  host().parameters.strings = {{"Overlay", "1-3"}};
  const auto before = host().maps;
  EXPECT_FALSE(execute());
  EXPECT_EQ(host().log, (Strings{"Kelvane>  -----", "Kelvane>  No options selected"}));
  Strings expected = testing_support::kOptionReads;
  expected.push_back("zuLogText(Kelvane>  -----)");
  expected.push_back("zuLogText(Kelvane>  No options selected)");
  EXPECT_EQ(host().calls, expected) << "no map count, no map access, no redraw";
  EXPECT_EQ(host().maps, before);
}

TEST_F(PluginTest, HostThatFillsTheWholeOverlayBufferCannotOverrunIt) {
  loadMaps(2);
  host().parameters.ints = {{"DoOverlayMaps", 1}};
  host().parameters.strings = {{"Overlay", "1,"}};
  host().stringFillsWholeBuffer = true;
  EXPECT_TRUE(execute());
  // 511 characters survive; the last byte became the terminator. The echo is
  // cut to fit the 512-byte line.
  const std::string prefix = "Kelvane>  Overlay the following maps: ";
  const Strings echo = echoOf(host().log);
  ASSERT_EQ(echo.size(), 1u);
  EXPECT_EQ(echo[0].size(), 511u);
  EXPECT_EQ(echo[0].substr(0, prefix.size()), prefix);
  EXPECT_EQ(echo[0].substr(prefix.size(), 6), "1,1,1,");
  // "1,1,...": map 1 only.
  EXPECT_EQ(testing_support::field<std::int32_t>(host().maps[0], kelvane::record::kOverlayState), 1);
  EXPECT_EQ(testing_support::field<std::int32_t>(host().maps[1], kelvane::record::kOverlayState), 0);
}

TEST_F(PluginTest, LongOverlayEchoIsCutAt511Characters) {
  loadMaps(3);
  std::string text(511, ' ');
  text.replace(0, 3, "2-3");
  text.back() = '1';
  host().parameters.ints = {{"DoOverlayMaps", 1}};
  host().parameters.strings = {{"Overlay", text}};
  EXPECT_TRUE(execute());
  const Strings echo = echoOf(host().log);
  ASSERT_EQ(echo.size(), 1u);
  EXPECT_EQ(echo[0], ("Kelvane>  Overlay the following maps: " + text).substr(0, 511));
  // The whole text was parsed all the same: "2-3" then the lone "1" at the end
  // joins "3" into 31 across the blanks, a range 2 to 31.
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(testing_support::field<std::int32_t>(host().maps[static_cast<std::size_t>(i)],
                                                   kelvane::record::kOverlayState),
              i == 0 ? 0 : 1);
}

} // namespace
