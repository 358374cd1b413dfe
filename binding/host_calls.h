// Calls into the host through the entry-point table. A call whose entry is not
// bound does nothing and yields a zero value: the plugin never calls through a
// null entry, whatever order the host drives it in.
#pragma once

#include <cstdint>

namespace kelvane::host {

bool getVersion(std::int32_t *major, std::int32_t *minor, std::int32_t *third);
void showLogTab();
void logText(const char *line);
void messageBox(const char *text);
std::int32_t getIDOfCurrentDocument();
std::int32_t getDocumentType(std::int32_t documentId);
void *getNRVMPsOfCurrentVMR(void *mapCountRecord);
void getNRVMPOfCurrentVMR(std::int32_t mapIndex, void *record);
void setNRVMPParametersOfCurrentVMR(std::int32_t mapIndex, void *record);
void updateActiveWindow();
std::int32_t getIntParameter(const char *key);
float getFloatParameter(const char *key);
void getStringParameter(const char *key, char *buffer);

} // namespace kelvane::host
