// What a run allocates, counted at the global allocator. The core is linked
// into this program directly, so the count sees every allocation it makes.
#include "host_state.h"
#include "run.h"
#include "startup.h"

#include <gtest/gtest.h>

#include "allocation_counter.h"

namespace {

class AllocationTest : public ::testing::Test {
protected:
  void SetUp() override {
    ondrava::resetState();
    auto &host = ondrava::state();
    host.maps.assign(100, ondrava::MapRecord{});
    for (auto &map : host.maps)
      map[8] = 1; // t maps
    host.parameters.ints = {{"DoSetMin", 1},       {"DoSetMinP", 1},        {"DoSetMax", 1},
                            {"DoClusterSize", 1},  {"DoUseClusterSize", 1}, {"DoShowPosNegBoth", 1},
                            {"DoTransparancy", 1}, {"DoOverlayMaps", 1}};
    host.parameters.floats = {{"MinP", 0.01f}};
    host.parameters.strings = {{"Overlay", "1-3,5,7-9,1- 0 0 0"}};
    ASSERT_TRUE(kelvane::startPlugin());
    host.quiet = true;
  }
  void TearDown() override {
    testing_support::stopCountingAllocations();
    testing_support::failNothrowArrayAllocations(false);
    testing_support::failThrowingAllocations(false);
  }
};

TEST_F(AllocationTest, ARunAllocatesOnlyItsOverlayFlags) {
  testing_support::startCountingAllocations();
  const bool result = kelvane::runEditor();
  EXPECT_EQ(testing_support::stopCountingAllocations(), 1);
  EXPECT_TRUE(result);
  EXPECT_EQ(ondrava::state().redraws, 1);
}

TEST_F(AllocationTest, FailedAllocationTouchesNoMap) {
  auto &host = ondrava::state();
  host.quiet = false;
  const auto before = host.maps;
  testing_support::failNothrowArrayAllocations(true);
  testing_support::startCountingAllocations();
  const bool result = kelvane::runEditor();
  testing_support::stopCountingAllocations();
  EXPECT_FALSE(result);
  EXPECT_EQ(host.maps, before);
  EXPECT_EQ(host.redraws, 0);
  ASSERT_FALSE(host.log.empty());
  EXPECT_EQ(host.log.back(), "Kelvane>  Not enough memory for 100 maps");
  for (const std::string &call : host.calls)
    EXPECT_EQ(call.find("NRVMPOf"), std::string::npos) << call;
}

// The host's functions are C functions called from inside the plugin: out
// of memory, none lets an exception out; the host knows what it lost.
TEST_F(AllocationTest, AHostOutOfMemoryThrowsNothingIntoThePlugin) {
  auto &host = ondrava::state();
  host.quiet = false;
  testing_support::failThrowingAllocations(true);
  testing_support::startCountingAllocations();
  const bool result = kelvane::runEditor();
  testing_support::stopCountingAllocations();
  testing_support::failThrowingAllocations(false);
  EXPECT_TRUE(result);
  EXPECT_TRUE(host.outOfMemory);
}

} // namespace
