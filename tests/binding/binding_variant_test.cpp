// Binding and start-up against hosts that lack functions, one host per
// program: KELVANE_HOST_VARIANT names which one this program was linked with.
#include "host_table.h"
#include "startup.h"

#if !defined(KELVANE_HOST_NONE)
#include "host_state.h"
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

[[maybe_unused]] std::size_t boundEntries() {
  std::size_t bound = 0;
  for (std::size_t i = 0; i < kelvane::kHostEntryCount; ++i)
    bound += kelvane::hostEntry(i) != nullptr;
  return bound;
}

#if defined(KELVANE_HOST_NONE)

TEST(NoHostModule, BindingFailsAndLeavesTheTableNull) {
  EXPECT_FALSE(kelvane::bindHostEntryPoints());
  EXPECT_EQ(boundEntries(), 0u);
  EXPECT_FALSE(kelvane::startPlugin());
  EXPECT_EQ(boundEntries(), 0u);
}

#elif defined(KELVANE_HOST_VERSION_ONLY)

TEST(VersionOnlyHost, BindsTheVersionEntryAlone) {
  EXPECT_TRUE(kelvane::bindHostEntryPoints());
  EXPECT_NE(kelvane::hostEntry(kelvane::HostEntry::GetVersionOfOndravaZU), nullptr);
  EXPECT_EQ(boundEntries(), 1u);
}

TEST(VersionOnlyHost, StartRefusesWithoutCallingAnythingElse) {
  ondrava::resetState();
  EXPECT_FALSE(kelvane::startPlugin());
  // No message box to show the refusal in, and nothing else is called.
  EXPECT_EQ(ondrava::state().calls, std::vector<std::string>{"zuGetVersionOfOndravaZU()"});
}

#elif defined(KELVANE_HOST_NO_VERSION)

TEST(HostWithoutVersion, BindingFails) {
  EXPECT_FALSE(kelvane::bindHostEntryPoints());
  EXPECT_EQ(kelvane::hostEntry(kelvane::HostEntry::GetVersionOfOndravaZU), nullptr);
  EXPECT_EQ(boundEntries(), 0u);
}

TEST(HostWithoutVersion, StartFailsSilently) {
  ondrava::resetState();
  EXPECT_FALSE(kelvane::startPlugin());
  EXPECT_TRUE(ondrava::state().calls.empty());
}

#elif defined(KELVANE_HOST_NO_REDRAW)

TEST(HostWithoutRedraw, StartNamesTheMissingFunction) {
  ondrava::resetState();
  ondrava::state().maps.resize(1);
  EXPECT_FALSE(kelvane::startPlugin());
  EXPECT_EQ(ondrava::state().messages,
            std::vector<std::string>{
                "Can not execute this plugin - the host does not provide zuUpdateActiveWindow."});
  EXPECT_TRUE(ondrava::state().log.empty());
  EXPECT_EQ(ondrava::state().logTabShown, 0);
}

TEST(HostWithoutRedraw, AnOldVersionIsStillReportedFirst) {
  ondrava::resetState();
  ondrava::state().version[0] = 2;
  EXPECT_FALSE(kelvane::startPlugin());
  EXPECT_EQ(ondrava::state().messages,
            std::vector<std::string>{"Can not execute this plugin - Ondrava version 20 or higher required."});
}

#elif defined(KELVANE_HOST_NO_MESSAGE_BOX)

TEST(HostWithoutMessageBox, StartRefusesWithoutAWord) {
  ondrava::resetState();
  ondrava::state().maps.resize(1);
  EXPECT_FALSE(kelvane::startPlugin());
  EXPECT_TRUE(ondrava::state().messages.empty());
  EXPECT_TRUE(ondrava::state().log.empty());
  EXPECT_EQ(ondrava::state().calls, std::vector<std::string>{"zuGetVersionOfOndravaZU()"});
}

#else
#error "KELVANE_HOST_* names the host this program is linked with"
#endif

} // namespace
