// Binding when the host is this process's main executable.
#include "host_state.h"
#include "host_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

extern "C" {
bool zuGetVersionOfOndravaZU(std::int32_t *, std::int32_t *, std::int32_t *);
void zuShowLogTab();
void zuLogText(const char *);
void zuMessageBox(const char *);
void zuUpdateActiveWindow();
std::int32_t zuGetDocumentType(std::int32_t);
std::int32_t zuGetIDOfCurrentDocument();
void *zuGetNRVMPsOfCurrentVMR(void *);
bool zuGetNRVMPOfCurrentVMR(std::int32_t, void *);
bool zuSetNRVMPParametersOfCurrentVMR(std::int32_t, void *);
bool zuGetStringParameter(const char *, char *);
std::int32_t zuGetIntParameter(const char *);
float zuGetFloatParameter(const char *);
}

namespace {

using kelvane::HostEntry;
using kelvane::HostProc;

template <typename F> HostProc address(F *function) {
  HostProc proc;
  std::memcpy(&proc, &function, sizeof proc);
  return proc;
}

TEST(MainExecutableHost, BindsEveryExportedNameToItsFunction) {
  ASSERT_TRUE(kelvane::bindHostEntryPoints());
  const struct {
    HostEntry entry;
    HostProc function;
  } rows[] = {
      {HostEntry::GetVersionOfOndravaZU, address(&zuGetVersionOfOndravaZU)},
      {HostEntry::ShowLogTab, address(&zuShowLogTab)},
      {HostEntry::LogText, address(&zuLogText)},
      {HostEntry::MessageBox, address(&zuMessageBox)},
      {HostEntry::UpdateActiveWindow, address(&zuUpdateActiveWindow)},
      {HostEntry::GetDocumentType, address(&zuGetDocumentType)},
      {HostEntry::GetIDOfCurrentDocument, address(&zuGetIDOfCurrentDocument)},
      {HostEntry::GetNRVMPsOfCurrentVMR, address(&zuGetNRVMPsOfCurrentVMR)},
      {HostEntry::GetNRVMPOfCurrentVMR, address(&zuGetNRVMPOfCurrentVMR)},
      {HostEntry::SetNRVMPParametersOfCurrentVMR, address(&zuSetNRVMPParametersOfCurrentVMR)},
      {HostEntry::GetStringParameter, address(&zuGetStringParameter)},
      {HostEntry::GetIntParameter, address(&zuGetIntParameter)},
      {HostEntry::GetFloatParameter, address(&zuGetFloatParameter)},
  };
  std::size_t bound = 0;
  for (std::size_t i = 0; i < kelvane::kHostEntryCount; ++i)
    bound += kelvane::hostEntry(i) != nullptr;
  EXPECT_EQ(bound, std::size(rows)) << "the stand-in exports nothing else";
  for (const auto &row : rows) {
    SCOPED_TRACE(kelvane::hostEntryName(row.entry));
    EXPECT_EQ(kelvane::hostEntry(row.entry), row.function);
  }
}

// The host has maps 0 to count - 1: any other index, the count itself
// included, is refused, and no record is copied either way.
TEST(MainExecutableHost, AMapIndexTheHostDoesNotHaveIsRefused) {
  ondrava::resetState();
  ondrava::MapRecord first{};
  ondrava::MapRecord second{};
  first.fill(1);
  second.fill(2);
  ondrava::state().maps = {first, second};
  unsigned char record[112];
  for (const std::int32_t index : {2, 3, -1}) {
    std::memset(record, 0xaa, sizeof record);
    EXPECT_FALSE(zuGetNRVMPOfCurrentVMR(index, record)) << index;
    EXPECT_EQ(record[0], 0xaa) << index;
    EXPECT_FALSE(zuSetNRVMPParametersOfCurrentVMR(index, record)) << index;
  }
  EXPECT_EQ(ondrava::state().maps, (std::vector<ondrava::MapRecord>{first, second}));
  EXPECT_TRUE(zuGetNRVMPOfCurrentVMR(1, record));
  EXPECT_EQ(record[111], 2);
  ondrava::resetState();
}

TEST(MainExecutableHost, BindingTwiceGivesTheSameTable) {
  ASSERT_TRUE(kelvane::bindHostEntryPoints());
  HostProc first[kelvane::kHostEntryCount];
  for (std::size_t i = 0; i < kelvane::kHostEntryCount; ++i)
    first[i] = kelvane::hostEntry(i);
  ASSERT_TRUE(kelvane::bindHostEntryPoints());
  for (std::size_t i = 0; i < kelvane::kHostEntryCount; ++i)
    EXPECT_EQ(kelvane::hostEntry(i), first[i]) << kelvane::kHostEntryNames[i];
}

TEST(MainExecutableHost, TableNamesAreDistinctHostNames) {
  for (std::size_t i = 0; i < kelvane::kHostEntryCount; ++i) {
    EXPECT_EQ(std::strncmp(kelvane::kHostEntryNames[i], "zu", 2), 0) << i;
    for (std::size_t j = 0; j < i; ++j)
      EXPECT_STRNE(kelvane::kHostEntryNames[i], kelvane::kHostEntryNames[j]);
  }
  EXPECT_STREQ(kelvane::kHostEntryNames[0], "zuGetVersionOfOndravaZU");
  EXPECT_STREQ(kelvane::kHostEntryNames[183], "zuLaunchICADialog");
}

} // namespace
