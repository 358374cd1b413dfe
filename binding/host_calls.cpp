#include "host_calls.h"

#include "host_api.h"
#include "host_table.h"

namespace kelvane::host {
namespace {

template <typename Fn> Fn entry(HostEntry which) { return reinterpret_cast<Fn>(hostEntry(which)); }

} // namespace

bool getVersion(std::int32_t *major, std::int32_t *minor, std::int32_t *third) {
  const auto fn = entry<hostfn::GetVersion>(HostEntry::GetVersionOfOndravaZU);
  return fn != nullptr && fn(major, minor, third);
}

void showLogTab() {
  if (const auto fn = entry<hostfn::ShowLogTab>(HostEntry::ShowLogTab))
    fn();
}

void logText(const char *line) {
  if (const auto fn = entry<hostfn::LogText>(HostEntry::LogText))
    fn(line);
}

void messageBox(const char *text) {
  if (const auto fn = entry<hostfn::MessageBox>(HostEntry::MessageBox))
    fn(text);
}

std::int32_t getIDOfCurrentDocument() {
  const auto fn = entry<hostfn::GetIDOfCurrentDocument>(HostEntry::GetIDOfCurrentDocument);
  return fn != nullptr ? fn() : -1;
}

std::int32_t getDocumentType(std::int32_t documentId) {
  const auto fn = entry<hostfn::GetDocumentType>(HostEntry::GetDocumentType);
  return fn != nullptr ? fn(documentId) : 0;
}

void *getNRVMPsOfCurrentVMR(void *mapCountRecord) {
  const auto fn = entry<hostfn::GetNRVMPsOfCurrentVMR>(HostEntry::GetNRVMPsOfCurrentVMR);
  return fn != nullptr ? fn(mapCountRecord) : nullptr;
}

void getNRVMPOfCurrentVMR(std::int32_t mapIndex, void *record) {
  if (const auto fn = entry<hostfn::GetNRVMPOfCurrentVMR>(HostEntry::GetNRVMPOfCurrentVMR))
    fn(mapIndex, record);
}

void setNRVMPParametersOfCurrentVMR(std::int32_t mapIndex, void *record) {
  if (const auto fn =
          entry<hostfn::SetNRVMPParametersOfCurrentVMR>(HostEntry::SetNRVMPParametersOfCurrentVMR))
    fn(mapIndex, record);
}

void updateActiveWindow() {
  if (const auto fn = entry<hostfn::UpdateActiveWindow>(HostEntry::UpdateActiveWindow))
    fn();
}

std::int32_t getIntParameter(const char *key) {
  const auto fn = entry<hostfn::GetIntParameter>(HostEntry::GetIntParameter);
  return fn != nullptr ? fn(key) : 0;
}

float getFloatParameter(const char *key) {
  const auto fn = entry<hostfn::GetFloatParameter>(HostEntry::GetFloatParameter);
  return fn != nullptr ? fn(key) : 0.0f;
}

void getStringParameter(const char *key, char *buffer) {
  if (const auto fn = entry<hostfn::GetStringParameter>(HostEntry::GetStringParameter))
    fn(key, buffer);
}

} // namespace kelvane::host
