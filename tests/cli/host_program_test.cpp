// The host program's pieces where a table of cases says more than a run of
// the whole program: escaping, number formatting, cutting quotes, JSON
// reading limits, --set values, the atomic save and the workspace round trip.
#include "checked_json.h"
#include "file_io.h"
#include "map_record.h"
#include "options_input.h"
#include "report.h"
#include "workspace.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using ondrava::InputError;

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
      {"\xc0\xaf", "\\xc0\\xaf"},          // overlong
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"}, // a surrogate
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

TEST(Shorten, CutsAfterTheLimitBetweenCharacters) {
  const std::string limit(ondrava::kQuoteLimit, 'a');
  EXPECT_EQ(ondrava::shorten(limit), limit);
  EXPECT_EQ(ondrava::shorten(limit + "b"), limit + "...");
  // A two-byte character across the limit is left out whole.
  const std::string before(ondrava::kQuoteLimit - 1, 'a');
  EXPECT_EQ(ondrava::shorten(before + "\xc3\xa9" + "zz"), before + "...");
}

TEST(MemberPointer, EscapesTildeAndSlash) {
  EXPECT_EQ(ondrava::memberPointer("", "a/b~c"), "/a~1b~0c");
  EXPECT_EQ(ondrava::memberPointer("/documents/0", "maps"), "/documents/0/maps");
}

TEST(ReadJson, EveryLimitEndsInAnErrorThatSaysWhere) {
  const struct {
    std::string text;
    ondrava::JsonLimits limits;
    std::string message;
    std::string pointer; // empty: a line and column instead
  } cases[] = {
      {R"({"a": [1, 2, 1e999]})", {5, 100}, "the number 1e999 is out of range", "/a/2"},
      {R"({"a": -1e400})", {5, 100}, "the number -1e400 is out of range", "/a"},
      {"[[[]]]", {2, 100}, "nested deeper than 2 levels, more than the format needs", "/0/0"},
      {R"({"x": {"y": 1}})", {1, 100}, "nested deeper than 1 level, more than the format needs", "/x"},
      {"[1, 2, 3]", {5, 3}, "more than 3 values; the format needs far fewer", "/2"},
      {R"({"a" 1})", {5, 100}, "malformed JSON: syntax error while parsing object separator", ""},
  };
  for (const auto &c : cases) {
    ondrava::Source source;
    source.file = "f.json";
    nlohmann::json out;
    InputError error;
    ASSERT_FALSE(ondrava::readJson(c.text, source, c.limits, out, error)) << c.text;
    EXPECT_EQ(error.message.substr(0, c.message.size()), c.message) << c.text;
    EXPECT_EQ(error.pointer, c.pointer) << c.text;
    EXPECT_EQ(error.file, "f.json");
    if (c.pointer.empty()) {
      EXPECT_EQ(error.line, 1u) << c.text;
    }
  }
}

TEST(ReadJson, AHugeTokenIsQuotedShort) {
  ondrava::Source source;
  source.file = "f.json";
  nlohmann::json out;
  InputError error;
  const std::string text = "[" + std::string(100000, '7') + "x]";
  ASSERT_FALSE(ondrava::readJson(text, source, {5, 100}, out, error));
  EXPECT_LT(error.text().size(), 300u) << error.text();
}

TEST(ParseSetting, ValuesAreCheckedAgainstTheKey) {
  const struct {
    const char *setting;
    const char *error; // empty: accepted
  } cases[] = {
      {"DoSetMin=true", ""},
      {"DoSetMin=7", ""},
      {"MinP=1e-8", ""},
      {"Overlay=1e400", ""}, // text, as typed
      {"Min=1e400", "--set Min=1e400: the number 1e400 is out of range"},
      {"Min=3.5e38", "--set Min=3.5e38: 3.5e+38 does not fit a 32-bit float"},
      {"Max=[[1]]", "--set Max=[[1]]: expected a number, got string \"[[1]]\""},
      {"PNB=2147483648", "--set PNB=2147483648: 2147483648 does not fit a 32-bit signed integer"},
      {"ClusterSize=true", "--set ClusterSize=true: expected a 32-bit integer, got boolean true"},
      {"=1", "--set =1: expected KEY=VALUE"},
  };
  for (const auto &c : cases) {
    ondrava::Options options;
    InputError error;
    const bool accepted = ondrava::parseSetting(c.setting, options, error);
    EXPECT_EQ(accepted, *c.error == '\0') << c.setting;
    if (!accepted) {
      EXPECT_EQ(error.text(), c.error);
    }
  }
  ondrava::Options options;
  InputError error;
  ASSERT_TRUE(ondrava::parseSetting("Overlay=1e400", options, error));
  EXPECT_EQ(options.strings["Overlay"], "1e400");
  ASSERT_TRUE(ondrava::parseSetting("DoSetMin=true", options, error));
  EXPECT_EQ(options.ints["DoSetMin"], 1);
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

  ondrava::Source source;
  source.file = "saved.json";
  ondrava::Workspace again;
  InputError error;
  ASSERT_TRUE(ondrava::parseWorkspace(ondrava::dumpJson(saved), source, again, error)) << error.text();
  EXPECT_EQ(again.documents.at(0).maps.at(0).record, map.record);
}

TEST(Workspace, MoreMapsThanTheHostHoldsIsAnError) {
  std::string text = R"({"documents": [{"id": 1, "maps": [)";
  for (std::size_t i = 0; i < ondrava::kMaxMaps; ++i)
    text += "{},";
  text += "{}]}]}";
  ondrava::Source source;
  source.file = "many.json";
  ondrava::Workspace workspace;
  InputError error;
  ASSERT_FALSE(ondrava::parseWorkspace(text, source, workspace, error));
  EXPECT_EQ(error.text(), "many.json at /documents/0/maps: more than 100000 maps; the stand-in host holds at "
                          "most that many");
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

TEST_F(AtomicSave, ReplacesTheTargetAndLeavesNothingElse) {
  const fs::path target = folder_ / "workspace.json";
  std::ofstream(target) << "old";
  InputError error;
  ASSERT_TRUE(ondrava::writeFileAtomically(target.string(), "new contents\n", error)) << error.text();
  EXPECT_EQ(contents(target), "new contents\n");
  EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(AtomicSave, AFailedSaveLeavesTheTargetAndNoTemporaryFile) {
  const fs::path intoFolder = folder_ / "a folder";
  fs::create_directories(intoFolder);
  InputError error;
  EXPECT_FALSE(ondrava::writeFileAtomically(intoFolder.string(), "x", error));
  EXPECT_EQ(error.file, intoFolder.string());
  EXPECT_NE(error.message.find("cannot write the file"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(intoFolder));

  const fs::path missing = folder_ / "no such folder" / "out.json";
  EXPECT_FALSE(ondrava::writeFileAtomically(missing.string(), "x", error));
  EXPECT_EQ(error.file, missing.string());
  EXPECT_EQ(filesInFolder(), 1u);
}

#if !defined(_WIN32)
TEST_F(AtomicSave, APipeIsNotReplacedByAFile) {
  const fs::path pipe = folder_ / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  InputError error;
  EXPECT_FALSE(ondrava::writeFileAtomically(pipe.string(), "x", error));
  EXPECT_EQ(error.message, "cannot write the file: it is not a regular file (a device, pipe or socket)");
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(AtomicSave, ThroughALinkTheFileItNamesIsReplaced) {
  const fs::path file = folder_ / "real.json";
  const fs::path link = folder_ / "link.json";
  std::ofstream(file) << "old";
  fs::create_symlink(file, link);
  InputError error;
  ASSERT_TRUE(ondrava::writeFileAtomically(link.string(), "new", error)) << error.text();
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(contents(file), "new");
  EXPECT_EQ(filesInFolder(), 2u);
}

TEST_F(AtomicSave, TheSavedFileKeepsThePermissionsOfTheOldOne) {
  const fs::path target = folder_ / "private.json";
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  InputError error;
  ASSERT_TRUE(ondrava::writeFileAtomically(target.string(), "new", error)) << error.text();
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}
#endif

TEST(ReadFile, OnlyRegularFilesWithinTheLimit) {
  std::string text;
  InputError error;
  EXPECT_FALSE(ondrava::readFile(fs::temp_directory_path().string(), text, error));
  EXPECT_EQ(error.message, "is a folder, not a file");
  EXPECT_FALSE(ondrava::readFile("no/such/file.json", text, error));
  EXPECT_EQ(error.message.rfind("cannot open the file", 0), 0u) << error.message;
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
