// The host program's pieces where a table of cases says more than a run of
// the whole program: escaping, number formatting, names on a terminal,
// cutting quotes, JSON reading limits, --set values, document ids, the
// atomic save and what ends it, input files, and the workspace round trip.
#include "checked_json.h"
#include "files.h"
#include "host_state.h"
#include "inputs.h"
#include "map_record.h"
#include "plugin_loader.h"
#include "process.h"
#include "report.h"

#include <gtest/gtest.h>

#include <elf.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using ondrava::FatalError;

TEST(EscapeText, ControlCharactersAndBrokenUtf8AreEscapedTheRestKept) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"faces > houses", "faces > houses"},
      {"a\nb\tc\r", "a\\nb\\tc\\r"},
      {"\x1b[31mred", "\\x1b[31mred"},
      {std::string("nul\0!", 5), "nul\\x00!"},
      {"del\x7f", "del\\x7f"},
      {"\xc3\xa9t\xc3\xa9 \xe2\x86\x92 \xf0\x9f\x98\x80", "\xc3\xa9t\xc3\xa9 \xe2\x86\x92 \xf0\x9f\x98\x80"},
      {"C1 \xc2\x9b", "C1 \\xc2\\x9b"},
      {"\xc2\xa0", "\xc2\xa0"},            // no-break space, a printable character
      {"\xff\xfe", "\\xff\\xfe"},          // never UTF-8
      {"cut \xe2\x82", "cut \\xe2\\x82"},  // a sequence cut short
      {"\xca!", "\\xca!"},                 // a lead byte whose bits would read as a line feed
      {"\xc0\xaf", "\\xc0\\xaf"},          // overlong
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"}, // a surrogate
      // Bidirectional controls, which would turn the rest of a line around,
      // and the characters next to them, which are kept.
      {"a\xe2\x80\xae"
       "b",
       "a\\xe2\\x80\\xaeb"},                                       // U+202E
      {"\xe2\x80\xaa\xe2\x80\xa9", "\\xe2\\x80\\xaa\xe2\x80\xa9"}, // U+202A, U+2029
      {"\xe2\x80\x8e\xe2\x80\x8f\xe2\x80\x8d",
       "\\xe2\\x80\\x8e\\xe2\\x80\\x8f\xe2\x80\x8d"}, // U+200E, U+200F, U+200D
      {"\xe2\x81\xa6\xe2\x81\xa9\xe2\x81\xaa",
       "\\xe2\\x81\\xa6\\xe2\\x81\\xa9\xe2\x81\xaa"},             // U+2066, U+2069, U+206A
      {"\xd8\x9b\xd8\x9c\xd8\x9d", "\xd8\x9b\\xd8\\x9c\xd8\x9d"}, // U+061B, U+061C, U+061D
  };
  for (const auto &c : cases)
    EXPECT_EQ(ondrava::escapeText(c.text), c.shown) << c.shown;
}

TEST(FormatTableFloat, FixedWhileShortAndExactEnoughElseExponent) {
  const struct {
    float value;
    int decimals;
    const char *shown;
  } cases[] = {
      {3.0f, 4, "3.0000"},
      {-2.228137493133545f, 4, "-2.2281"},
      {0.0f, 4, "0.0000"},
      {999999.0f, 4, "999999.0000"},
      {1e6f, 4, "1.0000e+06"},
      {3.4e38f, 4, "3.4000e+38"},
      {-3.4e38f, 4, "-3.4000e+38"},
      {0.0001f, 4, "0.0001"},
      {0.00005f, 4, "5.0000e-05"}, // just below 0.00005: fixed form would show 0.0000
      {0.00006f, 4, "0.0001"},
      {1e-10f, 2, "1.00e-10"},
      {0.5f, 2, "0.50"},
      {std::numeric_limits<float>::quiet_NaN(), 4, "nan"},
      {std::numeric_limits<float>::infinity(), 4, "inf"},
      {-std::numeric_limits<float>::infinity(), 2, "-inf"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ondrava::formatTableFloat(c.value, c.decimals), c.shown) << c.value;
}

// A name is the last thing on its row, whole and escaped, so that nothing
// after it depends on how wide a terminal shows it.
TEST(TextReport, TheNameIsLastOnItsRowWhole) {
  const std::string forty = [] {
    std::string text;
    for (int i = 0; i < 40; ++i)
      text += "\xe8\xa6\x96"; // U+8996, wide on a terminal
    return text;
  }();
  const struct {
    std::string name;
    std::string shown;
  } cases[] = {
      {"faces > houses", "faces > houses"},
      {forty, forty},
      {"e\xcc\x81 \xf0\x9f\x9a\x80", "e\xcc\x81 \xf0\x9f\x9a\x80"}, // a combining accent, a rocket
      {"a\tb", "a\\tb"},
  };
  for (const auto &c : cases) {
    ondrava::RunReport report;
    report.before.resize(1);
    report.before[0].name = c.name;
    report.after = report.before;
    const std::string text = ondrava::textReport(report);
    const std::size_t header = text.find("  map ");
    const std::size_t width = text.find("  name\n", header) - header;
    const std::size_t row = text.find("\n    1  before ") + 1;
    const std::size_t after = text.find("\n       after ") + 1;
    EXPECT_EQ(text.substr(row + width, c.shown.size() + 3), "  " + c.shown + "\n") << c.name;
    EXPECT_EQ(text.find('\n', after) - after, width) << c.name;
  }
}

TEST(Shorten, CutsAfterTheLimitBetweenCharacters) {
  const std::string limit(80, 'a');
  EXPECT_EQ(ondrava::shorten(limit), limit);
  EXPECT_EQ(ondrava::shorten(limit + "b"), limit + "...");
  // Characters are counted, never cut: 60 two-byte ones fit, the 81st of
  // them is left out whole; a byte that is not UTF-8 counts alone.
  const std::string before(79, 'a');
  EXPECT_EQ(ondrava::shorten(before + "\xc3\xa9" + "zz"), before + "\xc3\xa9...");
  std::string e60, e80;
  for (int i = 0; i < 80; ++i)
    (i < 60 ? e60 : e80) += "\xc3\xa9";
  EXPECT_EQ(ondrava::shorten(e60), e60);
  EXPECT_EQ(ondrava::shorten(e60 + e80 + "\xc3\xa9"), e60 + e80 + "...");
  EXPECT_EQ(ondrava::shorten(std::string(400, '\x80')), std::string(80, '\x80') + "...");
}

TEST(MemberPointer, EscapesTildeAndSlash) {
  EXPECT_EQ(ondrava::memberPointer("", "a/b~c"), "/a~1b~0c");
  EXPECT_EQ(ondrava::memberPointer("/documents/0", "maps"), "/documents/0/maps");
}

// The error a call throws; fails the test when it throws none.
template <typename Call> FatalError errorOf(Call call) {
  try {
    call();
  } catch (const FatalError &error) {
    return error;
  }
  ADD_FAILURE() << "no error";
  return {};
}

void ignore(const ondrava::Json &) {}

TEST(ReadJson, EveryLimitEndsInAnErrorThatSaysWhere) {
  const struct {
    std::string text;
    ondrava::JsonLimits limits;
    std::string message;
    std::string pointer; // empty: a line and column instead
    std::size_t column;
  } cases[] = {
      {R"({"a": [1, 2, 1e999]})", {5, 100}, "the number 1e999 is out of range", "/a/2", 0},
      {R"({"a": -1e400})", {5, 100}, "the number -1e400 is out of range", "/a", 0},
      {"[[[]]]", {2, 100}, "nested deeper than 2 levels, more than the format needs", "/0/0", 0},
      {R"({"x": {"y": 1}})", {1, 100}, "nested deeper than 1 level, more than the format needs", "/x", 0},
      {"[1, 2, 3]", {5, 3}, "more than 3 values; the format needs far fewer", "/2", 0},
      {R"({"a" 1})", {5, 100}, "malformed JSON: syntax error while parsing object separator", "", 6},
      // The parser would end the text at a NUL byte and take no note of what follows.
      {std::string("{}\0garbage{", 12), {5, 100}, "malformed JSON: a NUL byte", "", 3},
      {std::string("[1, \0]", 7), {5, 100}, "malformed JSON: a NUL byte", "", 5},
  };
  for (const auto &c : cases) {
    const FatalError error = errorOf([&] {
      ondrava::Source source{"f.json", {}};
      ondrava::readJson(c.text, source, c.limits, ignore);
    });
    EXPECT_EQ(error.message.substr(0, c.message.size()), c.message) << c.text;
    EXPECT_EQ(error.pointer, c.pointer) << c.text;
    EXPECT_EQ(error.file, "f.json");
    if (c.pointer.empty()) {
      EXPECT_EQ(error.line, 1u) << c.text;
      EXPECT_EQ(error.column, c.column) << c.text;
    }
  }
}

// What many editors call "Unicode" is named; a UTF-8 byte-order mark is read past.
TEST(ReadJson, Utf16IsNamedAndAUtf8ByteOrderMarkTaken) {
  using namespace std::string_literals;
  for (const std::string &text : {"\xFF\xFE{\0}\0"s, "\xFE\xFF\0[\0]"s, " \0{\0}\0"s, "\0{\0}"s}) {
    ondrava::Source source{"f.json", {}};
    EXPECT_EQ(errorOf([&] {
                ondrava::readJson(text, source, {5, 100}, ignore);
              }).text(),
              "f.json: the file is UTF-16; save it as UTF-8");
  }
  ondrava::Source source{"f.json", {}};
  ondrava::Json read;
  ondrava::readJson("\xEF\xBB\xBF[1]", source, {5, 100}, [&](const ondrava::Json &json) { read = json; });
  EXPECT_EQ(read, ondrava::Json::array({1}));
}

TEST(ReadJson, AHugeTokenIsQuotedShort) {
  const std::string text = "[" + std::string(100000, '7') + "x]";
  const FatalError error = errorOf([&] {
    ondrava::Source source{"f.json", {}};
    ondrava::readJson(text, source, {5, 100}, ignore);
  });
  EXPECT_LT(error.text().size(), 300u) << error.text();
}

TEST(ParseSetting, ValuesAreCheckedAgainstTheKey) {
  const struct {
    std::string setting;
    std::string error; // empty: accepted
  } cases[] = {
      {"DoSetMin=true", ""},
      {"DoSetMin=7", ""},
      {"MinP=1e-8", ""},
      {"Overlay=1e400", ""}, // text, as typed
      // The largest float as printf("%.9g") writes it, and the last decimals that round to it.
      {"Max=3.4028235e38", ""},
      {"Max=-3.40282356e38", ""},
      {"Max=3.40282357e38", "--set Max=3.40282357e38: 3.40282357e38 does not fit a 32-bit float"},
      {"Min=1e400", "--set Min=1e400: the number 1e400 is out of range"},
      {"Min=+.1e400", "--set Min=+.1e400: the number +.1e400 is out of range"},
      {"Min=3.5e38", "--set Min=3.5e38: 3.5e38 does not fit a 32-bit float"},
      {"Max=[[1]]", "--set Max=[[1]]: expected a number, got string \"[[1]]\""},
      {"Max=[]", "--set Max=[]: expected a number, got string \"[]\""},
      // A quoted value is cut after 80 characters, and its quote closed.
      {"Max=" + std::string(100, 'x'), "--set Max=" + std::string(76, 'x') +
                                           "...: expected a number, got string \"" + std::string(80, 'x') +
                                           "...\""},
      {"PNB=2147483648", "--set PNB=2147483648: 2147483648 does not fit a 32-bit signed integer"},
      {"ClusterSize=true", "--set ClusterSize=true: expected a 32-bit integer, got boolean true"},
      {"=1", "--set =1: expected KEY=VALUE"},
      // An integer is whole, with a point or an exponent or without; the number as typed.
      {"ClusterSize=15e-1", "--set ClusterSize=15e-1: expected a 32-bit integer, got number 15e-1"},
      {"PNB=5e9", "--set PNB=5e9: 5e9 does not fit a 32-bit signed integer"},
  };
  for (const auto &c : cases) {
    ondrava::Options options;
    if (c.error.empty())
      EXPECT_NO_THROW(ondrava::parseSetting(c.setting, options)) << c.setting;
    else
      EXPECT_EQ(errorOf([&] { ondrava::parseSetting(c.setting, options); }).text(), c.error);
  }
  ondrava::Options options;
  ondrava::parseSetting("Overlay=1e400", options);
  EXPECT_EQ(options.values.strings["Overlay"], "1e400");
  ondrava::parseSetting("DoSetMin=true", options);
  EXPECT_EQ(options.values.ints["DoSetMin"], 1);
  ondrava::parseSetting("Max=3.4028235e38", options);
  EXPECT_EQ(options.values.floats["Max"], std::numeric_limits<float>::max());
  // A number as long as an argument may be: an error, not a crash.
  EXPECT_EQ(errorOf([&] {
              ondrava::parseSetting("Min=" + std::string(130000, '1'), options);
            }).message.find("the number 1"),
            0u);
  // Spellings a dialog's number field does not take stay text; those it takes are numbers.
  // Hex of decimal digits alone is refused for its "x".
  for (const std::string typed : {"0x1F", "0x10", "0X10", "inf", "nan", "1,5", "1_000", ".", "e5", "null"})
    EXPECT_EQ(errorOf([&] { ondrava::parseSetting("Min=" + typed, options); }).message,
              "expected a number, got string \"" + typed + "\"");
  const std::pair<const char *, float> floats[] = {{".5", 0.5f},     {"5.", 5.0f},     {"+2", 2.0f},
                                                   {"1e3", 1000.0f}, {"-.5e1", -5.0f}, {"007.50", 7.5f},
                                                   {"+0", 0.0f},     {"2.E-1", 0.2f}};
  for (const auto &[typed, value] : floats) {
    ondrava::parseSetting(std::string("Min=") + typed, options);
    EXPECT_EQ(options.values.floats["Min"], value) << typed;
  }
  for (const auto &[typed, value] :
       {std::pair{"+25", 25}, {"-007", -7}, {"0", 0}, {"5.", 5}, {"1e3", 1000}}) {
    ondrava::parseSetting(std::string("ClusterSize=") + typed, options);
    EXPECT_EQ(options.values.ints["ClusterSize"], value) << typed;
  }
}

// The store as an unchanged dialog leaves it, and a warning for each key
// given with --set that the plugin will not use (naming the nearest switch
// that is off, or the one on that replaces it), and for each given key used
// whose value the dialog never stores (p strictly inside (0, 1), the other
// limits with their ends included) or which a float makes 0 or 1, and for a
// lower threshold above the upper one. An options file's unused keys are
// what the dialog writes every day: no warning.
TEST(StartStore, DefaultsAndWarningsAtTheDialogsLimits) {
  const std::string demo = ondrava::kDemoOptions;
  const struct {
    std::string file; // an options file, read before the settings
    std::vector<std::string> settings;
    std::vector<std::string> warnings; // each warning's start
  } cases[] = {
      {"", {}, {}},
      {"", {"DoSetMin=1", "DoSetMinP=1", "MinP=0.5"}, {}},
      {"", {"DoSetMin=1", "DoSetMinP=1", "MinP=0"}, {"MinP has a value the dialog never stores; "}},
      {"", {"DoSetMin=1", "DoSetMinP=1", "MinP=1"}, {"MinP has a value the dialog never stores; "}},
      {"", {"DoTransparancy=1", "Trans=0"}, {}},
      {"", {"DoTransparancy=1", "Trans=1"}, {}},
      {"", {"DoTransparancy=1", "Trans=-0.01"}, {"Trans has a value the dialog never stores; "}},
      {"", {"DoTransparancy=1", "Trans=1.01"}, {"Trans has a value the dialog never stores; "}},
      {"", {"DoClusterSize=1", "ClusterSize=0"}, {}},
      {"", {"DoClusterSize=1", "ClusterSize=-1"}, {"ClusterSize has a value the dialog never stores; "}},
      {"", {"DoShowPosNegBoth=1", "PNB=2"}, {}},
      {"", {"DoShowPosNegBoth=1", "PNB=3"}, {"PNB has a value the dialog never stores; "}},
      {"", {"DoShowPosNegBoth=1", "PNB=-1"}, {"PNB has a value the dialog never stores; "}},
      // A switch is 0 or 1.
      {"", {"DoSetMax=2"}, {"DoSetMax has a value the dialog never stores; the plugin takes it as on"}},
      {"", {"DoSetMax=-1"}, {"DoSetMax has a value the dialog never stores; "}},
      {"", {"DoUseClusterSize=1", "UseCluster=5"}, {"UseCluster has a value the dialog never stores; "}},
      {R"({"DoTransparancy": 2, "Trans": 0.5})",
       {},
       {"DoTransparancy has a value the dialog never stores; "}},
      // A key given at its default is still a key given.
      {"", {"Trans=1"}, {"Trans is set, but DoTransparancy is off, so the plugin does not use it"}},
      {"", {"DoSetMin=1", "MinP=0.01"}, {"MinP is set, but DoSetMinP is off"}},
      {"",
       {"DoSetMinP=1", "MinP=0.01"},
       {"DoSetMinP is set, but DoSetMin is off", "MinP is set, but DoSetMin is off"}},
      // Out of range, but unused: the switch is what is said.
      {"", {"MinP=0"}, {"MinP is set, but DoSetMinP is off"}},
      // The p takes the lower threshold's place.
      {"",
       {"DoSetMin=1", "DoSetMinP=1", "Min=2"},
       {"Min is set, but DoSetMinP is on, so the plugin does not use it"}},
      // Only keys the user gave: not the demo's own DoSetMinP, nor an options file's unused keys.
      {demo, {"DoSetMin=0"}, {}},
      {R"({"DoSetMin": 0, "Min": 1e-50, "MinP": 2, "Overlay": "1-"})", {}, {}},
      {R"({"DoTransparancy": 1, "Trans": 7})", {}, {"Trans has a value the dialog never stores; "}},
      // What a 32-bit float makes of the value, and what the plugin then does.
      {"",
       {"DoSetMin=1", "DoSetMinP=1", "MinP=0.99999999"},
       {"MinP=0.99999999 becomes 1 as a 32-bit float; the plugin sets every t map's lower threshold to 0"}},
      {R"({"DoSetMin": 1, "Min": -1e-50})",
       {},
       {"Min=-1e-50 becomes 0 as a 32-bit float; the plugin writes that"}},
      {"", {"DoSetMin=1", "Min=1e-45"}, {}}, // the least float above 0
      {R"({"DoSetMin": 1, "DoSetMinP": 1, "MinP": 0.1e-49})",
       {},
       {"MinP=0.1e-49 becomes 0 as a 32-bit float; "}},
      // Rounded to the nearest float, as anyone expects, where that is not 0 or a p of 1.
      {"", {"DoSetMin=1", "Min=1.00000001"}, {}},
      {"", {"DoTransparancy=1", "Trans=0.999999999"}, {}},
      // Both thresholds set, the lower above the upper.
      {"", {"DoSetMin=1", "Min=9", "DoSetMax=1", "Max=8"}, {"Min is above Max"}},
      {"", {"DoSetMin=1", "Min=8", "DoSetMax=1", "Max=8"}, {}},
      {"", {"DoSetMin=1", "Min=9", "DoSetMax=1", "Max=8", "Min=7"}, {}}, // the last --set of a key holds
      {"",
       {"DoSetMin=1", "DoSetMinP=1", "Min=9", "DoSetMax=1", "Max=8"},
       {"Min is set, but DoSetMinP is on"}},
      {"", {"Min=9", "DoSetMax=1", "Max=8"}, {"Min is set, but DoSetMin is off"}},
  };
  for (const auto &c : cases) {
    ondrava::Options named;
    if (!c.file.empty())
      ondrava::parseOptions(c.file, {"options.json", {}}, named);
    for (const std::string &setting : c.settings)
      ondrava::parseSetting(setting, named);
    ondrava::ParameterStore store;
    const std::vector<std::string> warnings = ondrava::startStore(named, store);
    const std::string shown = c.file + ::testing::PrintToString(c.settings);
    ASSERT_EQ(warnings.size(), c.warnings.size()) << shown << ": " << ::testing::PrintToString(warnings);
    for (std::size_t i = 0; i < warnings.size(); ++i)
      EXPECT_EQ(warnings[i].rfind(c.warnings[i], 0), 0u) << shown << ": " << warnings[i];
    if (c.settings.empty() && c.file.empty()) {
      EXPECT_EQ(store.ints, (std::map<std::string, std::int32_t, std::less<>>{{"DoSetMin", 0},
                                                                              {"DoSetMinP", 0},
                                                                              {"DoSetMax", 0},
                                                                              {"DoClusterSize", 0},
                                                                              {"ClusterSize", 25},
                                                                              {"DoUseClusterSize", 0},
                                                                              {"UseCluster", 1},
                                                                              {"DoShowPosNegBoth", 0},
                                                                              {"PNB", 2},
                                                                              {"DoTransparancy", 0},
                                                                              {"DoOverlayMaps", 0}}));
      EXPECT_EQ(store.floats, (std::map<std::string, float, std::less<>>{
                                  {"Min", 3.0f}, {"MinP", 0.05f}, {"Max", 8.0f}, {"Trans", 1.0f}}));
      EXPECT_EQ(store.strings, (std::map<std::string, std::string, std::less<>>{{"Overlay", "All"}}));
    }
  }
}

// A key given twice is ambiguous; the first problem named is the first in
// the file, a workspace given as options says so.
TEST(ParseOptions, TheFirstProblemInTheFileIsNamedAndAKeyGivenTwiceIsOne) {
  const std::string known =
      " (known: DoSetMin, Min, DoSetMinP, MinP, DoSetMax, Max, DoClusterSize, ClusterSize, "
      "DoUseClusterSize, UseCluster, DoShowPosNegBoth, PNB, DoTransparancy, Trans, "
      "DoOverlayMaps, Overlay)";
  const struct {
    const char *text;
    std::string error;
  } cases[] = {
      {R"({"DoSetMin":1,"Min":2,"Min":4})",
       "o.json at /Min: the key \"Min\" is given twice in this object, which is ambiguous"},
      {R"({"Zed":1,"Alpha":2})", "o.json at /Zed: unknown option \"Zed\"" + known},
      {R"({"Min":"x","Alpha":2})", "o.json at /Min: expected a number, got string \"x\""},
      {R"({"Min":null})", "o.json at /Min: expected a number, got null"},
      {R"({"Min":"x","documents":[{}]})", "o.json at /Min: expected a number, got string \"x\""},
      {R"({"Min":1,"Max":[1,2})", "o.json at /Max: expected a number, got an array"},
      {R"({"currentDocument":1,"documents":[{"id":1,"maps":[]}]})",
       "o.json at /currentDocument: unknown option \"currentDocument\"" + known +
           "; this looks like a workspace: give it with --workspace"},
      {R"({"Min":1,"Max":)", "o.json:1:16: malformed JSON: syntax error while parsing value"},
  };
  for (const auto &c : cases) {
    ondrava::Options options;
    const std::string text = errorOf([&] { ondrava::parseOptions(c.text, {"o.json", {}}, options); }).text();
    EXPECT_EQ(text.substr(0, c.error.size()), c.error) << c.text;
  }
}

TEST(Workspace, AKeyGivenTwiceIsAmbiguousAndFieldsMayComeInAnyOrder) {
  EXPECT_EQ(
      errorOf([] {
        ondrava::parseWorkspace(R"({"documents": [{"maps": [{"df": 1, "df": 2}]}]})", {"w.json", {}});
      }).text(),
      "w.json at /documents/0/maps/0/df: the key \"df\" is given twice in this object, which is ambiguous");
  // The named fields lie over hostBytes, wherever they stand.
  const ondrava::Map map = ondrava::parseWorkspace(R"({"documents": [{"maps": [{"type": 1, "hostBytes": ")" +
                                                       std::string(224, 'f') + "\"}]}]}",
                                                   {"w.json", {}})
                               .documents.at(0)
                               .maps.at(0);
  EXPECT_EQ(map.record[8], 1);
  EXPECT_EQ(map.record[0], 0xff);
}

TEST(Workspace, AFloatThatIsNotFiniteTravelsInHostBytesAndReadsBack) {
  namespace rec = kelvane::record;
  ondrava::Workspace workspace;
  workspace.currentDocument = 1;
  ondrava::Document document;
  document.id = 1;
  ondrava::Map map;
  rec::write(map.record.data(), rec::kLowerThreshold, std::numeric_limits<float>::quiet_NaN());
  rec::write(map.record.data(), rec::kTransparency, -std::numeric_limits<float>::infinity());
  rec::write(map.record.data(), rec::kUpperThreshold, 8.0f);
  document.maps.push_back(map);
  workspace.documents.push_back(document);

  const nlohmann::ordered_json saved = ondrava::toJson(workspace);
  const nlohmann::ordered_json &savedMap = saved["documents"][0]["maps"][0];
  EXPECT_FALSE(savedMap.contains("lowerThreshold"));
  EXPECT_FALSE(savedMap.contains("transparency"));
  EXPECT_EQ(savedMap["upperThreshold"], 8.0);
  ASSERT_TRUE(savedMap.contains("hostBytes"));

  const ondrava::Workspace again = ondrava::parseWorkspace(ondrava::dumpJson(saved), {"saved.json", {}});
  EXPECT_EQ(again.documents.at(0).maps.at(0).record, map.record);
}

// hostBytes is the whole 112-byte record as 224 hex digits of either case,
// and nothing else; a named field is written over it.
TEST(Workspace, HostBytesAreTheWholeRecordInHexDigits) {
  const std::string digits = "0aF1" + std::string(220, '0');
  const auto workspace = [](const std::string &hex, const std::string &more = "") {
    return R"({"documents": [{"maps": [{"hostBytes": ")" + hex + "\"" + more + "}]}]}";
  };
  const ondrava::Map map =
      ondrava::parseWorkspace(workspace(digits, R"(, "type": 1)"), {"w.json", {}}).documents.at(0).maps.at(0);
  EXPECT_EQ(map.record[0], 0x0a);
  EXPECT_EQ(map.record[1], 0xf1);
  EXPECT_EQ(map.record[8], 1); // the map type, at offset 8
  const std::string error = "w.json at /documents/0/maps/0/hostBytes: hostBytes must be 224 hex digits";
  for (const std::string &bad : {digits.substr(1), digits + "0", "g" + digits.substr(1),
                                 "+" + digits.substr(1), " " + digits.substr(1), "-" + digits.substr(1)})
    EXPECT_EQ(errorOf([&] { ondrava::parseWorkspace(workspace(bad), {"w.json", {}}); }).text(), error) << bad;
}

// What --save writes must read back: indented while that fits an input
// file's limit, else on one line, else nothing.
// The shortest text that reads back as the same float; where read twice
// rounded (to double, then to float) it would not, the float's own double.
TEST(Workspace, FloatsAreSavedAsTheShortestTextThatReadsBack) {
  namespace rec = kelvane::record;
  const struct {
    float value;
    const char *saved;
  } cases[] = {{0.3f, "0.3"},
               {2.1f, "2.1"},
               {-1e-45f, "-1e-45"},
               {3.4028235e38f, "3.4028235e+38"},
               {0x1.5c87fap-84f, "7.038530691851209e-26"}};
  for (const auto &c : cases) {
    ondrava::Workspace workspace;
    workspace.documents.resize(1);
    workspace.documents[0].maps.resize(1);
    unsigned char *record = workspace.documents[0].maps[0].record.data();
    rec::write(record, rec::kTransparency, c.value);
    const std::string text = ondrava::savedText(workspace, "w.json", 1u << 20);
    EXPECT_NE(text.find(std::string("\"transparency\": ") + c.saved + ","), std::string::npos) << text;
    const ondrava::Workspace again = ondrava::parseWorkspace(text, {"w.json", {}});
    EXPECT_EQ(rec::read<float>(again.documents.at(0).maps.at(0).record.data(), rec::kTransparency), c.value);
  }
}

TEST(Workspace, TheSavedTextAlwaysFitsTheLimitOfAnInput) {
  ondrava::Workspace workspace;
  workspace.documents.resize(1);
  workspace.documents[0].maps.resize(1);
  workspace.documents[0].maps[0].name = std::string(1000, 'n');
  const std::string indented = ondrava::savedText(workspace, "w.json", 1u << 20);
  const std::string compact = ondrava::savedText(workspace, "w.json", indented.size() - 1);
  EXPECT_NE(indented.find("\n  "), std::string::npos);
  EXPECT_EQ(compact.find('\n'), compact.size() - 1);
  EXPECT_LT(compact.size(), indented.size());
  EXPECT_EQ(ondrava::parseWorkspace(compact, {"w.json", {}}).documents.at(0).maps.at(0).name,
            std::string(1000, 'n'));
  const FatalError error = errorOf([&] { ondrava::savedText(workspace, "w.json", compact.size() - 1); });
  EXPECT_EQ(error.file, "w.json");
  EXPECT_NE(error.message.find("could be read back from"), std::string::npos) << error.message;
}

// The whole workspace's maps and documents, counted as the user counts them.
TEST(Workspace, MoreMapsThanTheHostHoldsIsAnError) {
  std::string maps = R"({"maps": [{})";
  std::string documents = "{}";
  for (int i = 0; i < 60000; ++i)
    maps += ",{}";
  for (int i = 0; i < 10001; ++i)
    documents += ",{}";
  maps += "]}";
  const std::pair<std::string, std::string> cases[] = {
      {maps + "," + maps,
       "/documents/1/maps: the workspace holds 120,002 maps; the stand-in host holds at most 100,000"},
      {documents,
       "/documents: the workspace holds 10,002 documents; the stand-in host holds at most 10,000"}};
  for (const auto &c : cases)
    EXPECT_EQ(errorOf([&] {
                ondrava::parseWorkspace(R"({"documents": [)" + c.first + "]}", {"many.json", {}});
              }).text(),
              "many.json at " + c.second);
  // At the limits, taken.
  std::string half = "{}";
  for (int i = 1; i < 50000; ++i)
    half += ",{}";
  const std::string twoHalves =
      R"({"documents": [{"id": 1, "maps": [)" + half + R"(]}, {"id": 2, "maps": [)" + half + "]}]}";
  EXPECT_EQ(ondrava::parseWorkspace(twoHalves, {"many.json", {}}).documents.at(1).maps.size(), 50000u);
  std::string most = R"({"documents": [{"id": 0})";
  for (int i = 1; i < 10000; ++i)
    most += R"(,{"id": )" + std::to_string(i) + "}";
  EXPECT_EQ(ondrava::parseWorkspace(most + "]}", {"many.json", {}}).documents.size(), 10000u);
}

// A document without a type is a VMR, without an id 0. A whole number may
// have a point or an exponent, and a number is quoted as written; nothing
// given as nonzero is held as 0.
TEST(Workspace, NumbersAsPeopleWriteThem) {
  const auto workspace = [](const std::string &fields) {
    return R"({"documents": [{"maps": [{)" + fields + "}]}]}";
  };
  const ondrava::Document document =
      ondrava::parseWorkspace(workspace(R"("df": 12.0, "clusterSize": 1e3)"), {"w.json", {}}).documents.at(0);
  EXPECT_EQ(document.type, 3);
  EXPECT_EQ(document.id, 0);
  EXPECT_EQ(kelvane::record::read<std::int32_t>(document.maps.at(0).record.data(), 32), 12);
  EXPECT_EQ(kelvane::record::read<std::int32_t>(document.maps.at(0).record.data(), 24), 1000);
  const std::pair<const char *, std::string> cases[] = {
      {R"("df": 12.50)", "df: expected a 32-bit integer, got number 12.50"},
      {R"("type": 3E9)", "type: 3E9 does not fit a 32-bit signed integer"},
      {R"("transparency": -0.1e-49)", "transparency: -0.1e-49 becomes 0 as a 32-bit float"},
      {R"("name": 1.50)", "name: expected text, got number 1.50"}};
  for (const auto &c : cases)
    EXPECT_EQ(errorOf([&] {
                ondrava::parseWorkspace(workspace(c.first), {"w.json", {}});
              }).text(),
              "w.json at /documents/0/maps/0/" + c.second);
  EXPECT_NO_THROW(ondrava::parseWorkspace(workspace(R"("lowerThreshold": -0.0, "upperThreshold": 1e-45)"),
                                          {"w.json", {}}));
}

// A document id is one the host could give: never negative, which means
// "no document" to the plugin, and never another document's.
TEST(Workspace, ADocumentIdTheHostCouldNotGiveIsAnError) {
  const std::string negative =
      "w.json at /documents/0/id: a document id is 0 or more; a negative id means no document";
  const struct {
    const char *text;
    std::string error;
  } cases[] = {
      {R"({"documents": [{"id": -1, "type": 3, "maps": [{"type": 1, "df": 10}]}]})", negative},
      {R"({"documents": [{"id": -2147483648}]})", negative},
      {R"({"documents": [{"id": 1}, {"id": 2}, {"id": 1}]})",
       "w.json at /documents/2: another document has the id 1"},
      {R"({"documents": [{}, {"type": 3}]})", "w.json at /documents/1: another document has the id 0"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(errorOf([&] { ondrava::parseWorkspace(c.text, {"w.json", {}}); }).text(), c.error);
}

class AtomicSave : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("kelvane_atomic_save_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  static std::string contents(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::size_t filesInFolder() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
  }

  fs::path folder_;
};

void save(const fs::path &path, const std::string &text) {
  ondrava::TempFile file(path.string());
  file.write(text);
  EXPECT_EQ(file.keep(), 0);
}

TEST_F(AtomicSave, ReplacesTheTargetAndLeavesNothingElse) {
  const fs::path target = folder_ / "workspace.json";
  std::ofstream(target) << "old";
  save(target, "new contents\n");
  EXPECT_EQ(contents(target), "new contents\n");
  EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(AtomicSave, UntilCommittedTheTargetStaysAsItWas) {
  const fs::path target = folder_ / "workspace.json";
  std::ofstream(target) << "old";
  {
    ondrava::TempFile staged(target.string());
    staged.write("new");
  }
  EXPECT_EQ(contents(target), "old");
  EXPECT_EQ(filesInFolder(), 1u);
}

// The new file's own name must fit wherever the target's does.
TEST_F(AtomicSave, ANameAsLongAsTheFolderTakesCanBeSaved) {
  const fs::path target = folder_ / (std::string(250, 'a') + ".json");
  save(target, "new");
  EXPECT_EQ(contents(target), "new");
}

TEST_F(AtomicSave, AFailedSaveLeavesTheTargetAndNoTemporaryFile) {
  const fs::path intoFolder = folder_ / "a folder";
  fs::create_directories(intoFolder);
  FatalError error = errorOf([&] { save(intoFolder, "x"); });
  EXPECT_EQ(error.file, intoFolder.string());
  EXPECT_NE(error.message.find("cannot write the file"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(intoFolder));

  const fs::path missing = folder_ / "no such folder" / "out.json";
  EXPECT_EQ(errorOf([&] { save(missing, "x"); }).file, missing.string());
  EXPECT_EQ(filesInFolder(), 1u);
}

// The save under way is the one a signal handler reaches: there is never a
// second.
TEST_F(AtomicSave, ASecondSaveWhileOneIsUnderWayIsRefused) {
  const fs::path target = folder_ / "w.json";
  ondrava::TempFile first(target.string());
  EXPECT_EQ(errorOf([&] { save(folder_ / "other.json", "second"); }).message,
            "cannot write the file: another save is under way");
  first.write("first");
  first.keep();
  EXPECT_EQ(contents(target), "first");
  EXPECT_EQ(filesInFolder(), 1u);
}

// A save is refused as its new file would be made, before anything runs,
// making nothing.
TEST_F(AtomicSave, TheTargetIsCheckedBeforeAnythingIsWritten) {
  ASSERT_EQ(mkfifo((folder_ / "pipe").c_str(), 0600), 0);
  fs::create_symlink("loop", folder_ / "loop");
  for (const fs::path &path : {folder_, folder_ / "no such folder" / "w.json", folder_ / "pipe",
                               folder_ / "loop", fs::path("/dev/stdout")}) {
    const FatalError refused = errorOf([&] { ondrava::TempFile file(path.string()); });
    EXPECT_EQ(refused.message.rfind("cannot write the file: ", 0), 0u) << refused.message;
  }
  EXPECT_EQ(filesInFolder(), 2u);
}

TEST_F(AtomicSave, APipeIsNotReplacedByAFile) {
  const fs::path pipe = folder_ / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(errorOf([&] { save(pipe, "x"); }).message,
            "cannot write the file: it is not a regular file (a folder, device, pipe or socket)");
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_EQ(filesInFolder(), 1u);
}

// Through a link the file it names is written, whether it exists yet or not,
// and the link stays.
TEST_F(AtomicSave, ThroughALinkTheFileItNamesIsWritten) {
  fs::create_directories(folder_ / "real");
  fs::create_directories(folder_ / "sub");
  std::ofstream(folder_ / "real" / "old.json") << "old";
  for (const char *name : {"old.json", "new.json"}) {
    const fs::path link = folder_ / "sub" / name;
    fs::create_symlink(fs::path("..") / "real" / name, link);
    save(link, "saved");
    EXPECT_TRUE(fs::is_symlink(link)) << name;
    EXPECT_EQ(contents(folder_ / "real" / name), "saved") << name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "real"), fs::directory_iterator()), 2);
}

TEST_F(AtomicSave, TheSavedFileKeepsThePermissionsOfTheOldOne) {
  const fs::path target = folder_ / "private.json";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  save(target, "new");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}
// Complete, the new file takes the old one's permissions, or a new file's
// (0666 less the umask), whatever the umask it was written under.
TEST_F(AtomicSave, CompleteTheNewFileTakesTheOldOnesPermissionsOrANewFiles) {
  const struct {
    int old; // -1: no old file
    mode_t umask;
    int saved;
  } cases[] = {{0644, 077, 0644}, {0640, 0, 0640}, {-1, 027, 0640}, {-1, 077, 0600}};
  for (const auto &c : cases) {
    const fs::path target = folder_ / "w.json";
    fs::remove(target);
    if (c.old >= 0) {
      std::ofstream(target) << "old";
      fs::permissions(target, fs::perms(c.old));
    }
    const mode_t before = umask(c.umask);
    save(target, "new");
    umask(before);
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(c.saved)) << c.old << " " << c.umask;
  }
}

// While it is written, the new file is its owner's alone, even where the
// umask and the old file let everyone read: a write cut short by a file size
// limit shows it as it was made.
TEST_F(AtomicSave, WhileItIsWrittenTheNewFileIsTheOwnersAlone) {
  const fs::path target = folder_ / "shared.json";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms(0644));
  const auto saveCutShort = [&] {
    std::signal(SIGXFSZ, SIG_DFL);
    umask(0);
    const rlimit limit{1024, 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    save(target, std::string(4096, 'x'));
  };
  EXPECT_EXIT(saveCutShort(), ::testing::KilledBySignal(SIGXFSZ), "");
  EXPECT_EQ(filesInFolder(), 2u);
  for (const fs::directory_entry &entry : fs::directory_iterator(folder_)) {
    if (entry.path() == target)
      continue;
    EXPECT_EQ(entry.status().permissions(), fs::perms::owner_read | fs::perms::owner_write);
  }
}

// A signal that ends the program while it saves removes the new file; the
// target stays whole. A crash says so.
TEST_F(AtomicSave, ASignalThatEndsTheProgramLeavesNoNewFile) {
  const fs::path target = folder_ / "workspace.json";
  std::ofstream(target) << "old";
  // Every signal whose default action ends the program, but SIGKILL, which
  // no handler sees, the two the program ignores, and glibc's own (32, 33).
  const std::set<int> notEnding = {SIGCHLD, SIGCONT, SIGURG,  SIGWINCH, SIGSTOP, SIGTSTP,
                                   SIGTTIN, SIGTTOU, SIGKILL, SIGPIPE,  SIGXFSZ};
  const std::set<int> crashes = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS, SIGTRAP};
  for (int number = 1; number <= SIGRTMAX; ++number) {
    if (notEnding.count(number) != 0 || (number >= 32 && number < SIGRTMIN))
      continue;
    SCOPED_TRACE(number);
    const std::string said = crashes.count(number) != 0
                                 ? "^Ondrava.exe: ended by SIG" + std::string(sigabbrev_np(number)) + "\n$"
                                 : "^$";
    EXPECT_EXIT(
        {
          std::signal(number, SIG_DFL); // as a program started in the foreground has it
          const rlimit noCore{};        // no core files left behind
          setrlimit(RLIMIT_CORE, &noCore);
          ondrava::prepareProcess();
          ondrava::TempFile file(target.string());
          file.write("new");
          std::raise(number);
        },
        ::testing::KilledBySignal(number), said.c_str());
    EXPECT_EQ(contents(target), "old");
    EXPECT_EQ(filesInFolder(), 1u);
  }
}

// The new file goes to the old one's owner and group where the saver may
// give them, with the old mode. Where the saver may not give the group, the
// mode shuts out the group the file has instead; where it may not give the
// owner or the group, "other" lets in no one the old owner's or group's bits
// shut out. A save that cannot succeed, or would replace a file the saver may
// not write, is refused as the new file would be made, and nothing changes.
TEST_F(AtomicSave, TheNewFileIsTheOldOwnersAndAFileTheSaverMayNotWriteIsRefused) {
  if (geteuid() != 0)
    GTEST_SKIP() << "a save by another user needs root to become one";
  const std::string sticky = "another user's file in a folder whose sticky bit";
  const struct {
    uid_t saver;
    std::vector<gid_t> groups; // the saver's own first
    uid_t owner;               // the old file's
    gid_t group;
    mode_t mode;
    uid_t savedOwner;
    gid_t savedGroup;
    mode_t savedMode;
    std::string refused = {}; // part of the error, when the save is refused
    mode_t folderMode = 0777;
  } cases[] = {
      {65534, {65534, 4242}, 65534, 4242, 0640, 65534, 4242, 0640}, // its owner, in its group
      {0, {0}, 65534, 65534, 0600, 65534, 65534, 0600},             // root, a user's private file
      {65534, {65534, 4242}, 0, 4242, 0664, 65534, 4242, 0664},     // another's, in its group
      {65534, {65534}, 0, 4242, 0666, 65534, 65534, 0606},          // another's, not in its group
      {65534, {65534}, 0, 4243, 0662, 65534, 65534, 0602},
      {65534, {65534}, 4244, 4243, 0426, 65534, 65534, 0400}, // other bits no wider than the owner's
      {65534, {65534}, 4244, 4243, 0646, 65534, 65534, 0604}, // nor than the group's
      {65534, {65534}, 65534, 65534, 0444, 0, 0, 0, "it is read-only"},
      {65534, {65534}, 0, 4242, 0640, 0, 0, 0, "not yours to write"},
      {65534, {65534, 4242}, 4244, 4242, 0046, 0, 0, 0, "not yours to write"}, // the group bits rule
      {65534, {65534}, 4244, 4244, 0666, 0, 0, 0, sticky, 01777},
      {65534,
       {65534},
       65534,
       65534,
       0644,
       0,
       0,
       0,
       "cannot create a file in its folder (Permission denied)",
       0755},
  };
  for (const auto &c : cases) {
    fs::permissions(folder_, fs::perms(c.folderMode));
    const fs::path target = folder_ / "w.json";
    std::ofstream(target) << "old";
    ASSERT_EQ(chown(target.c_str(), c.owner, c.group), 0);
    ASSERT_EQ(chmod(target.c_str(), c.mode), 0);
    const pid_t child = fork();
    if (child == 0) {
      if (setgroups(c.groups.size(), c.groups.data()) != 0 || setgid(c.groups[0]) != 0 ||
          setuid(c.saver) != 0)
        _exit(3);
      try {
        save(target, "new");
      } catch (const FatalError &error) {
        _exit(!c.refused.empty() && error.message.find(c.refused) != std::string::npos ? 1 : 2);
      }
      _exit(0);
    }
    int status = -1;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (c.refused.empty() ? 0 : 1))
        << status << c.refused;
    struct stat saved {};
    ASSERT_EQ(stat(target.c_str(), &saved), 0);
    EXPECT_EQ(saved.st_uid, c.refused.empty() ? c.savedOwner : c.owner) << std::oct << c.mode;
    EXPECT_EQ(saved.st_gid, c.refused.empty() ? c.savedGroup : c.group) << std::oct << c.mode;
    EXPECT_EQ(saved.st_mode & 07777, c.refused.empty() ? c.savedMode : c.mode) << std::oct << c.mode;
    EXPECT_EQ(contents(target), c.refused.empty() ? "new" : "old");
    EXPECT_EQ(filesInFolder(), 1u);
    fs::remove(target);
  }
}

std::size_t openDescriptors() {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// However a save ends, no descriptor stays open: an error that only closing
// the new file reports would be lost with it.
TEST_F(AtomicSave, NoSaveLeavesADescriptorOpen) {
  const fs::path target = folder_ / "w.json";
  std::ofstream(target) << "old";
  const struct {
    const char *how;
    std::string path;
    bool keep;
    bool refused;
  } cases[] = {{"kept", target.string(), true, false},
               {"written, not kept", target.string(), false, false},
               {"refused at the rename", (folder_ / std::string(300, 'n')).string(), true, true}};
  for (const auto &c : cases) {
    const std::size_t before = openDescriptors();
    const auto save = [&] {
      ondrava::TempFile file(c.path);
      file.write("new");
      if (c.keep)
        file.keep();
    };
    if (c.refused)
      errorOf(save);
    else
      save();
    EXPECT_EQ(openDescriptors(), before) << c.how;
  }
  EXPECT_EQ(contents(target), "new");
  EXPECT_EQ(filesInFolder(), 1u);
}

// Whoever puts a file of their own under the new file's name while it is
// written changes nothing through it, and nothing is saved.
TEST_F(AtomicSave, ANewFileTakenAwayWhileWrittenIsNeitherFollowedNorSaved) {
  const fs::path target = folder_ / "w.json";
  const fs::path other = folder_ / "private";
  std::ofstream(target) << "old";
  std::ofstream(other) << "private";
  fs::permissions(target, fs::perms(0664));
  fs::permissions(other, fs::perms(0600));
  ondrava::TempFile staged(target.string());
  staged.write("new");
  fs::path made;
  for (const fs::directory_entry &entry : fs::directory_iterator(folder_))
    if (entry.path().filename().string().rfind(".Ondrava-saving-", 0) == 0)
      made = entry.path();
  ASSERT_FALSE(made.empty());
  fs::rename(made, folder_ / "taken");
  fs::create_symlink(other, made);
  EXPECT_EQ(errorOf([&] { staged.keep(); }).message,
            "cannot write the file: the new file was taken away while it was written; it was left as it was");
  EXPECT_EQ(contents(target), "old");
  EXPECT_EQ(contents(other), "private");
  EXPECT_EQ(fs::status(other).permissions(), fs::perms(0600));
  EXPECT_TRUE(fs::is_symlink(made)); // not the program's to remove
}

// Any path a workspace can be read by, it can be saved by: the new file's
// name is taken in the folder and adds nothing to the path.
TEST_F(AtomicSave, APathAsLongAsTheSystemTakesCanBeSaved) {
  // However the test ends, the deep tree goes (by a relative path: no
  // absolute one reaches into it) and the current folder is as it was.
  struct Leave {
    fs::path started;
    ~Leave() {
      std::error_code code;
      fs::remove_all(std::string(250, 'd'), code);
      fs::current_path(started, code);
    }
  } leave{fs::current_path()};
  fs::current_path(folder_);
  std::string path;
  for (int i = 0; i < 16; ++i)
    path += std::string(250, 'd') + "/";
  path += std::string(53, 'd') + "/";
  fs::create_directories(path);
  path += "w.json.old"; // 4,080 bytes, with a name shorter than the new file's
  std::ofstream(path) << "old";
  save(path, "new");
  EXPECT_EQ(ondrava::readFile(path), "new");
}

// The program's own output is never replaced, whatever name leads to it;
// nor is a file made under a name the kernel gives a deleted one.
TEST_F(AtomicSave, TheProgramsOwnOutputIsNeverReplaced) {
  const fs::path log = folder_ / "run.log";
  std::ofstream(log) << "old\n";
  fs::create_symlink("/proc/self/fd/1", folder_ / "link");
  const int deleted = open((folder_ / "gone.txt").c_str(), O_WRONLY | O_CREAT, 0600);
  fs::remove(folder_ / "gone.txt");
  const std::string stdoutOwn = "cannot write the file: it is the program's own standard output";
  const struct {
    int stream; // made the log's, or the deleted file's
    bool toDeleted;
    std::string path;
    std::string error;
  } cases[] = {
      {1, false, "/dev/stdout", stdoutOwn},
      {1, false, "/proc/self/fd/1", stdoutOwn},
      {1, false, (folder_ / "link").string(), stdoutOwn},
      {2, false, "/dev/stderr", "cannot write the file: it is the program's own standard error"},
      {1, true, "/dev/stdout", stdoutOwn},
      {1, false, "/proc/self/fd/" + std::to_string(deleted),
       "cannot write the file: the link it names cannot be followed"},
  };
  std::vector<std::string> errors;
  for (const auto &c : cases) {
    const int kept = dup(c.stream);
    const int out = c.toDeleted ? dup(deleted) : open(log.c_str(), O_WRONLY | O_APPEND);
    dup2(out, c.stream);
    errors.push_back(errorOf([&] { save(c.path, "new"); }).message);
    dup2(kept, c.stream);
    close(kept);
    close(out);
  }
  close(deleted);
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(errors[i], cases[i].error) << cases[i].path;
  EXPECT_EQ(contents(log), "old\n");
  EXPECT_EQ(filesInFolder(), 2u); // the log and the link, and nothing made
}

// A file whose opening would wait (another process holds a lease on it) is
// refused at once, wherever a file is read, the plugin module too.
TEST(InputFile, AFileThatWouldMakeTheProgramWaitIsRefusedAtOnce) {
  const fs::path path = fs::temp_directory_path() / ("kelvane_leased_" + std::to_string(getpid()));
  std::ofstream(path) << "{}";
  const auto before = std::signal(SIGIO, SIG_IGN); // how the lease's holder is told
  const int holder = open(path.c_str(), O_WRONLY);
  ASSERT_EQ(fcntl(holder, F_SETLEASE, F_WRLCK), 0) << std::strerror(errno);
  const std::string refused = "cannot open the file (" + std::string(std::strerror(EWOULDBLOCK)) + ")";
  EXPECT_EQ(errorOf([&] { ondrava::readFile(path.string()); }).message, refused);
  ondrava::PluginModule module;
  EXPECT_FALSE(module.load(path.string()));
  EXPECT_EQ(module.error(), refused);
  close(holder);
  std::signal(SIGIO, before);
  fs::remove(path);
}

// What /proc shows of a process: a line of its status ("ShdPnd:", say) or
// its system call, empty once it has ended.
std::string shown(pid_t process, const std::string &file, const std::string &key = "") {
  std::ifstream in("/proc/" + std::to_string(process) + "/" + file);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0)
      return line.substr(key.size());
  return {};
}

// A second signal that comes while the first one's handler cleans up and
// says its line waits for it: the line is whole, the first signal ends the
// program. Here standard error is a full pipe, so that the handler is still
// writing when the second comes.
TEST(Signals, ASecondSignalWaitsForTheFirstOnesHandler) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], STDERR_FILENO);
    fcntl(STDERR_FILENO, F_SETFL, O_NONBLOCK);
    const char fill[512] = {};
    for (std::size_t size : {sizeof fill, std::size_t{1}})
      while (write(STDERR_FILENO, fill, size) > 0) {
      }
    fcntl(STDERR_FILENO, F_SETFL, 0);
    std::signal(SIGSEGV, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    ondrava::prepareProcess();
    std::raise(SIGSEGV);
    _exit(0);
  }
  close(pipeEnds[1]);
  // The handler is under way once the child waits to write to standard error.
  const std::string writing = std::to_string(SYS_write) + " 0x2 ";
  for (int i = 0; i < 1000 && shown(child, "syscall").rfind(writing, 0) != 0; ++i)
    usleep(10000);
  EXPECT_EQ(shown(child, "syscall").rfind(writing, 0), 0u) << shown(child, "syscall");
  kill(child, SIGTERM);
  // Held back while the handler runs (pending), or wrongly taken at once (the child ends).
  const auto heldOrEnded = [child] {
    const std::string pending = shown(child, "status", "ShdPnd:\t");
    return shown(child, "status", "State:\t").rfind('Z', 0) == 0 ||
           (!pending.empty() && (std::stoull(pending, nullptr, 16) & (1ull << (SIGTERM - 1))) != 0);
  };
  for (int i = 0; i < 1000 && !heldOrEnded(); ++i)
    usleep(10000);
  std::string said;
  char buffer[4096];
  for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    said.append(buffer, static_cast<std::size_t>(got));
  close(pipeEnds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
  const std::size_t start = said.find_first_not_of('\0'); // after what filled the pipe
  EXPECT_EQ(start == std::string::npos ? "" : said.substr(start), "Ondrava.exe: ended by SIGSEGV\n");
}

// A module whose headers name bytes past the end of its file, in its first
// segment or in a later one's data, is refused before the loader maps it:
// touching such a segment would end the program with a signal.
TEST(PluginModule, ASegmentPastTheEndOfItsFileIsRefusedBeforeLoading) {
  const struct {
    const char *what;
    Elf64_Off offset[2]; // of two segments in a file of 4096 bytes
    Elf64_Xword size[2];
  } cases[] = {
      {"the first segment", {0, 2048}, {4097, 1024}},
      {"a later segment's data", {0, 2048}, {2048, 2049}},
      {"a later segment's start", {0, 4097}, {2048, 0}},
  };
  const fs::path path = fs::temp_directory_path() / ("kelvane_cut_" + std::to_string(getpid()) + ".so");
  for (const auto &c : cases) {
    std::string image(4096, '\0');
    Elf64_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_DYN;
    header.e_machine = EM_X86_64;
    header.e_version = EV_CURRENT;
    header.e_phoff = sizeof header;
    header.e_ehsize = sizeof header;
    header.e_phentsize = sizeof(Elf64_Phdr);
    header.e_phnum = 2;
    std::memcpy(image.data(), &header, sizeof header);
    for (int i = 0; i < 2; ++i) {
      Elf64_Phdr segment{};
      segment.p_type = PT_LOAD;
      segment.p_flags = PF_R;
      segment.p_offset = segment.p_vaddr = c.offset[i];
      segment.p_filesz = segment.p_memsz = c.size[i];
      segment.p_align = 4096;
      std::memcpy(image.data() + sizeof header + i * sizeof segment, &segment, sizeof segment);
    }
    std::ofstream(path, std::ios::binary) << image;
    ondrava::PluginModule module;
    EXPECT_FALSE(module.load(path.string())) << c.what;
    EXPECT_EQ(module.error(), "the file is cut short: a segment its headers name lies past its end")
        << c.what;
  }
  fs::remove(path);
}

TEST(ReadFile, AFolderOrAMissingPathIsAnError) {
  EXPECT_EQ(errorOf([] { ondrava::readFile(fs::temp_directory_path().string()); }).message,
            "is a folder, not a file");
  const std::string missing = errorOf([] { ondrava::readFile("no/such/file.json"); }).message;
  EXPECT_EQ(missing.rfind("cannot open the file", 0), 0u) << missing;
}

TEST(RunReport, TheRefusalIsTheOneThatHappened) {
  ondrava::RunReport report;
  report.initialised = false;
  report.messages = {"No current document available."};
  EXPECT_EQ(report.refusal().value_or("none"), "No current document available.");
  report.initialised = true;
  report.executed = false;
  report.log = {"Kelvane>  -----", "Kelvane>  No options selected"};
  EXPECT_EQ(report.refusal().value_or("none"), "No options selected");
  report.executed = true;
  EXPECT_FALSE(report.refusal().has_value());
}

} // namespace
