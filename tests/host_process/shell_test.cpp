// The module's exports, the object lifecycle and the start-up checks, seen
// from the host.
#include "plugin_fixture.h"

#include <cstring>

using testing_support::PluginTest;

namespace {

using testing_support::Strings;

const Strings kBanner = {" ", "Kelvane>  Running Kelvane Plugin...", "Kelvane>"};

TEST_F(PluginTest, MetadataTextsAndStablePointers) {
  const struct {
    const char *getter;
    const char *text;
  } rows[] = {
      {"getPluginName", "Kelvane"},
      {"getPluginDescription", "Can change certain properties for all VMP files currently loaded."},
      {"getAuthor", "<i>TQ</i>"},
      {"getHelpFile", "HelpFolder/index.html"},
      {"getGUIScript", "Kelvane.js"},
      {"getPluginVersion", "1.0"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.getter);
    const char *before = module_.text(row.getter);
    ASSERT_NE(before, nullptr);
    EXPECT_STREQ(before, row.text);
    delete create();
    EXPECT_EQ(module_.text(row.getter), before);
  }
  EXPECT_TRUE(host().calls.empty()) << "getters and an unbound object must not call the host";
}

TEST_F(PluginTest, ObjectWithoutInitMakesNoHostCall) {
  ODZUPluginInterface *first = create();
  ODZUPluginInterface *second = create();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  delete first;
  delete second;
  EXPECT_TRUE(host().calls.empty());
  EXPECT_TRUE(host().log.empty());
}

TEST_F(PluginTest, EachEndedObjectWritesOneBlankLine) {
  loadMaps(1);
  ODZUPluginInterface *first = create();
  ODZUPluginInterface *second = create();
  ASSERT_TRUE(first->initPlugin());
  host().log.clear();
  delete first;
  EXPECT_EQ(host().log, Strings{" "});
  delete second;
  EXPECT_EQ(host().log, (Strings{" ", " "}));
}

TEST_F(PluginTest, PassingInitCallsTheHostInOrder) {
  loadMaps(2);
  host().currentDocument = 0; // zero is a valid id
  ODZUPluginInterface *plugin = create();
  EXPECT_TRUE(plugin->initPlugin());
  EXPECT_EQ(host().calls, testing_support::kPassingInitCalls);
  EXPECT_TRUE(host().messages.empty());
  delete plugin;
}

TEST_F(PluginTest, InitTwiceWritesTheBannerTwice) {
  loadMaps(1);
  ODZUPluginInterface *plugin = create();
  EXPECT_TRUE(plugin->initPlugin());
  EXPECT_TRUE(plugin->initPlugin());
  Strings twice = kBanner;
  twice.insert(twice.end(), kBanner.begin(), kBanner.end());
  EXPECT_EQ(host().log, twice);
  EXPECT_EQ(host().logTabShown, 2);
  delete plugin;
}

TEST_F(PluginTest, VersionCheck) {
  const struct {
    std::int32_t major, minor, third;
    bool passes;
  } rows[] = {
      {3, 0, 0, true},   {3, 0, 5, true},    {3, 1, -7, true},  {20, 0, 0, true}, {2, 99, 99, false},
      {3, 0, -1, false}, {3, -1, 50, false}, {-5, 0, 0, false}, {0, 0, 0, false},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(std::to_string(row.major) + "." + std::to_string(row.minor) + "." +
                 std::to_string(row.third));
    ondrava::resetState();
    loadMaps(1);
    host().version[0] = row.major;
    host().version[1] = row.minor;
    host().version[2] = row.third;
    ODZUPluginInterface *plugin = create();
    EXPECT_EQ(plugin->initPlugin(), row.passes);
    if (row.passes) {
      EXPECT_TRUE(host().messages.empty());
      EXPECT_EQ(host().log, kBanner);
    } else {
      EXPECT_EQ(host().messages,
                Strings{"Can not execute this plugin - Ondrava version 20 or higher required."});
      EXPECT_TRUE(host().log.empty());
      EXPECT_EQ(host().logTabShown, 0);
      EXPECT_EQ(host().calls,
                (Strings{"zuGetVersionOfOndravaZU()",
                         "zuMessageBox(Can not execute this plugin - Ondrava version 20 or higher "
                         "required.)"}));
    }
    host().log.clear();
    delete plugin;
  }
}

TEST_F(PluginTest, DocumentRefusalsLeaveTheBanner) {
  struct Row {
    const char *name;
    std::int32_t document;
    std::int32_t type;
    int maps;
    std::optional<bool> mapsLoaded;
    std::optional<std::int32_t> count;
    const char *message; // null: passes
  };
  const Row rows[] = {
      {"no document", -1, 3, 2, {}, {}, "No current document available."},
      {"lowest negative id", INT32_MIN, 3, 2, {}, {}, "No current document available."},
      {"type 0", 0, 0, 2, {}, {}, "The currently active document is not a VMR document."},
      {"type 1", 4, 1, 2, {}, {}, "The currently active document is not a VMR document."},
      {"type 2", 4, 2, 2, {}, {}, "The currently active document is not a VMR document."},
      {"type 4", 4, 4, 2, {}, {}, "The currently active document is not a VMR document."},
      {"type -3", 4, -3, 2, {}, {}, "The currently active document is not a VMR document."},
      {"no maps", 0, 3, 0, {}, {}, "No VMPs are currently loaded."},
      {"null result despite a count", 0, 3, 3, false, 3, "No VMPs are currently loaded."},
      {"maps, whatever the count says", 7, 3, 0, true, 0, nullptr},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name);
    ondrava::resetState();
    loadMaps(row.maps);
    host().currentDocument = row.document;
    host().documentType = row.type;
    host().mapsLoadedResult = row.mapsLoaded;
    host().reportedMapCount = row.count;
    ODZUPluginInterface *plugin = create();
    EXPECT_EQ(plugin->initPlugin(), row.message == nullptr);
    EXPECT_EQ(host().log, kBanner);
    EXPECT_EQ(host().logTabShown, 1);
    if (row.message != nullptr)
      EXPECT_EQ(host().messages, Strings{row.message});
    else
      EXPECT_TRUE(host().messages.empty());
    for (const std::string &call : host().calls) {
      EXPECT_EQ(call.find("zuSetNRVMP"), std::string::npos) << "a refusal changed a map";
      EXPECT_EQ(call.find("zuGetNRVMPOf"), std::string::npos);
    }
    host().log.clear();
    delete plugin;
  }
}

TEST_F(PluginTest, ExecuteWithoutInitDoesNothingHarmful) {
  // The host is not supposed to do this; with nothing bound, nothing is called.
  loadMaps(1);
  host().parameters.ints["DoSetMax"] = 1;
  ODZUPluginInterface *plugin = create();
  EXPECT_FALSE(plugin->execute());
  delete plugin;
  EXPECT_TRUE(host().calls.empty());
}

} // namespace
