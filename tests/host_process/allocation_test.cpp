// What a run allocates, counted at the global allocator. The core is linked
// into this program directly, so the count sees every allocation it makes.
#include "host_state.h"
#include "run.h"
#include "startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

// The replacements below pair malloc with free on purpose; GCC sees the
// standard library's inlined new/delete pairs through them and objects.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
bool counting = false;
int allocations = 0;
bool failArrays = false;

void *allocate(std::size_t size) {
  if (counting)
    ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
} // namespace

void *operator new(std::size_t size) {
  if (void *p = allocate(size))
    return p;
  throw std::bad_alloc();
}
void *operator new[](std::size_t size) {
  if (void *p = allocate(size))
    return p;
  throw std::bad_alloc();
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept {
  if (counting && failArrays) {
    ++allocations;
    return nullptr;
  }
  return allocate(size);
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }

namespace {

class AllocationTest : public ::testing::Test {
protected:
  void SetUp() override {
    ondrava::resetState();
    auto &host = ondrava::state();
    host.maps.assign(100, ondrava::MapRecord{});
    for (auto &map : host.maps)
      map[8] = 1; // t maps
    host.ints = {{"DoSetMin", 1},       {"DoSetMinP", 1},        {"DoSetMax", 1},
                 {"DoClusterSize", 1},  {"DoUseClusterSize", 1}, {"DoShowPosNegBoth", 1},
                 {"DoTransparancy", 1}, {"DoOverlayMaps", 1}};
    host.floats = {{"MinP", 0.01f}};
    host.strings = {{"Overlay", "1-3,5,7-9,1- 0 0 0"}};
    ASSERT_TRUE(kelvane::startPlugin());
    host.quiet = true;
  }
  void TearDown() override {
    counting = false;
    failArrays = false;
  }
};

TEST_F(AllocationTest, ARunAllocatesOnlyItsOverlayFlags) {
  allocations = 0;
  counting = true;
  const bool result = kelvane::runEditor();
  counting = false;
  EXPECT_TRUE(result);
  EXPECT_EQ(allocations, 1);
  EXPECT_EQ(ondrava::state().redraws, 1);
}

TEST_F(AllocationTest, FailedAllocationTouchesNoMap) {
  auto &host = ondrava::state();
  host.quiet = false;
  const auto before = host.maps;
  allocations = 0;
  failArrays = true;
  counting = true;
  const bool result = kelvane::runEditor();
  counting = false;
  EXPECT_FALSE(result);
  EXPECT_EQ(host.maps, before);
  EXPECT_EQ(host.redraws, 0);
  ASSERT_FALSE(host.log.empty());
  EXPECT_EQ(host.log.back(), "Kelvane>  Not enough memory for 100 maps");
  for (const std::string &call : host.calls)
    EXPECT_EQ(call.find("NRVMPOf"), std::string::npos) << call;
}

} // namespace
