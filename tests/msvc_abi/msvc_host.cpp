// A stand-in for the host as the real one is built: with the Microsoft C++
// ABI. It exports the host functions under their names (this file is
// Ondrava.exe), loads the module with LoadLibrary, takes createPlugin by name
// and drives the object through its vtable as an MSVC-built host does:
// slot 0 the scalar deleting destructor (delete), slot 1 execute, slot 2
// initPlugin. A module built for another C++ ABI calls the wrong functions
// here, which is what this program exists to catch.
//
//   Ondrava.exe <module> <case>      runs one case; exit 0 when it passed
//
// It uses only the header-only parts of the C++ library, since this build has
// no compiled one; its state is fixed-size and lives in one static object
// with no constructor to run.
#include "host_api.h"
#include "map_record.h"
#include "option_keys.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <windows.h>

#include <psapi.h>

// The interface as the host declares it: no data, the virtual destructor
// first, then execute and initPlugin.
class ODZUPluginInterface {
public:
  virtual ~ODZUPluginInterface() {}
  virtual bool execute() = 0;
  virtual bool initPlugin() = 0;
};

namespace {

using kelvane::kMapCountRecordSize;
using kelvane::kMapRecordSize;
using kelvane::kStringParameterSize;
namespace field = kelvane::record;

constexpr int kMaxMaps = 8;
constexpr int kMaxLines = 64;
constexpr int kLineSize = 600;

struct Parameter {
  const char *key;
  std::int32_t intValue;
  float floatValue;
  const char *text;
};

struct Host {
  std::int32_t version[3];
  std::int32_t currentDocument;
  std::int32_t documentType;
  int mapCount;
  bool mapsLoaded;
  unsigned char maps[kMaxMaps][kMapRecordSize];
  Parameter parameters[kelvane::kOptionKeyCount];
  // Every log line and message box, kept while there is room, counted always.
  char log[kMaxLines][kLineSize];
  int logLines;
  char messages[kMaxLines][kLineSize];
  int messageCount;
  int logTabShown;
  int redraws;
  int recordReads[kMaxMaps];
  int recordWrites[kMaxMaps];
  std::int32_t overlayWritten[kMaxMaps][4]; // overlay state of each write, in order
  int stringBufferOverrun;
};

Host host; // zero-initialised: no constructor runs before main

void keep(char (*store)[kLineSize], int *count, const char *text) {
  if (*count < kMaxLines)
    std::snprintf(store[*count], kLineSize, "%s", text);
  ++*count;
}

bool validIndex(std::int32_t index) { return index >= 0 && index < host.mapCount && index < kMaxMaps; }

const Parameter *parameter(const char *key) {
  for (const Parameter &p : host.parameters)
    if (p.key != nullptr && std::strcmp(p.key, key) == 0)
      return &p;
  return nullptr;
}

} // namespace

// The host functions the plugin calls, declared from the plugin's own list
// with the types it calls them through: a definition below of any other type
// does not compile.
#define DECLARE_HOST_EXPORT(Name, Result, Parameters, fallback)                                              \
  extern "C" __declspec(dllexport) Result zu##Name Parameters;
KELVANE_CALLED_HOST_FUNCTIONS(DECLARE_HOST_EXPORT)
#undef DECLARE_HOST_EXPORT

extern "C" {
bool zuGetVersionOfOndravaZU(std::int32_t *major, std::int32_t *minor, std::int32_t *third) {
  *major = host.version[0];
  *minor = host.version[1];
  *third = host.version[2];
  return true;
}
void zuShowLogTab() { ++host.logTabShown; }
void zuLogText(const char *line) { keep(host.log, &host.logLines, line); }
void zuMessageBox(const char *text) { keep(host.messages, &host.messageCount, text); }
std::int32_t zuGetIDOfCurrentDocument() { return host.currentDocument; }
std::int32_t zuGetDocumentType(std::int32_t id) {
  // As the native stand-in: an id that names no document has no type, and
  // gets a negative code that no document type has.
  return id == host.currentDocument ? host.documentType : -1;
}
void *zuGetNRVMPsOfCurrentVMR(void *mapCountRecord) {
  const std::int32_t count = host.mapCount;
  std::memcpy(mapCountRecord, &count, sizeof count);
  return host.mapsLoaded ? mapCountRecord : nullptr;
}
bool zuGetNRVMPOfCurrentVMR(std::int32_t index, void *record) {
  if (!validIndex(index))
    return false;
  ++host.recordReads[index];
  std::memcpy(record, host.maps[index], kMapRecordSize);
  return true;
}
bool zuSetNRVMPParametersOfCurrentVMR(std::int32_t index, void *record) {
  if (!validIndex(index))
    return false;
  std::memcpy(host.maps[index], record, kMapRecordSize);
  const int write = host.recordWrites[index]++;
  if (write < 4)
    host.overlayWritten[index][write] = field::read<std::int32_t>(host.maps[index], field::kOverlayState);
  return true;
}
void zuUpdateActiveWindow() { ++host.redraws; }
std::int32_t zuGetIntParameter(const char *key) {
  const Parameter *p = parameter(key);
  return p != nullptr ? p->intValue : 0;
}
float zuGetFloatParameter(const char *key) {
  const Parameter *p = parameter(key);
  return p != nullptr ? p->floatValue : 0.0f;
}
bool zuGetStringParameter(const char *key, char *buffer) {
  const Parameter *p = parameter(key);
  const char *text = p != nullptr && p->text != nullptr ? p->text : "";
  if (std::strlen(text) >= kStringParameterSize)
    ++host.stringBufferOverrun;
  std::snprintf(buffer, kStringParameterSize, "%s", text);
  return true;
}
}

namespace {

int failures = 0;

#define CHECK(condition, ...)                                                                                \
  do {                                                                                                       \
    if (!(condition)) {                                                                                      \
      ++failures;                                                                                            \
      std::printf("%s(%d): failed: %s: ", __FILE__, __LINE__, #condition);                                   \
      std::printf(__VA_ARGS__);                                                                              \
      std::printf("\n");                                                                                     \
    }                                                                                                        \
  } while (false)

using CreatePlugin = ODZUPluginInterface *(*)();
using Getter = const char *(*)();

HMODULE module = nullptr;

template <typename Fn> Fn exported(const char *name) {
  const FARPROC proc = GetProcAddress(module, name);
  Fn fn = nullptr;
  static_assert(sizeof fn == sizeof proc);
  std::memcpy(&fn, &proc, sizeof fn);
  return fn;
}

ODZUPluginInterface *create() {
  const auto createPlugin = exported<CreatePlugin>("createPlugin");
  return createPlugin != nullptr ? createPlugin() : nullptr;
}

using Key = kelvane::OptionKeyId;

void setParameter(Key key, std::int32_t intValue, float floatValue = 0.0f, const char *text = nullptr) {
  host.parameters[static_cast<std::size_t>(key)] = {kelvane::optionKey(key).name, intValue, floatValue, text};
}

// The bytes that belong to the host: a pattern no plugin would write.
unsigned char hostByte(int map, std::size_t offset) {
  return static_cast<unsigned char>(0xA5 ^ (map * 37) ^ (offset * 11));
}

bool isPluginField(std::size_t offset) {
  for (const field::Field &f : field::kFields)
    if (offset >= f.offset && offset < f.offset + field::kFieldWidth)
      return true;
  return false;
}

struct MapSetup {
  std::int32_t type;
  std::int32_t df;
  std::int32_t overlay;
};

// A 3.0.0 host with a VMR as current document and the given maps.
void setUpHost(const MapSetup *maps, int count) {
  host.version[0] = 3;
  host.currentDocument = 0;
  host.documentType = 3;
  host.mapCount = count;
  host.mapsLoaded = count > 0;
  for (int i = 0; i < count; ++i) {
    for (std::size_t b = 0; b < kMapRecordSize; ++b)
      host.maps[i][b] = hostByte(i, b);
    field::write<std::int32_t>(host.maps[i], field::kMapType, maps[i].type);
    field::write<float>(host.maps[i], field::kLowerThreshold, 3.0f);
    field::write<float>(host.maps[i], field::kUpperThreshold, 8.0f);
    field::write<std::int32_t>(host.maps[i], field::kClusterSize, 4);
    field::write<std::int32_t>(host.maps[i], field::kUseCluster, 0);
    field::write<std::int32_t>(host.maps[i], field::kDegreesOfFreedom, maps[i].df);
    field::write<std::int32_t>(host.maps[i], field::kSignShown, 3);
    field::write<float>(host.maps[i], field::kTransparency, 1.0f);
    field::write<std::int32_t>(host.maps[i], field::kOverlayState, maps[i].overlay);
  }
}

void expectLog(const char *const *expected, int count) {
  CHECK(host.logLines == count, "%d log lines, expected %d", host.logLines, count);
  for (int i = 0; i < count && i < host.logLines && i < kMaxLines; ++i)
    CHECK(std::strcmp(host.log[i], expected[i]) == 0, "log line %d is \"%s\", expected \"%s\"", i + 1,
          host.log[i], expected[i]);
}

void expectMessage(const char *expected) {
  CHECK(host.messageCount == 1, "%d message boxes", host.messageCount);
  if (host.messageCount >= 1)
    CHECK(std::strcmp(host.messages[0], expected) == 0, "message box \"%s\"", host.messages[0]);
}

const char *const kBanner[] = {" ", "Kelvane>  Running Kelvane Plugin...", "Kelvane>"};

// ---- the cases ----

void metadata() {
  const struct {
    const char *name;
    const char *text;
  } getters[] = {
      {"getPluginName", "Kelvane"},
      {"getPluginDescription", "Can change certain properties for all VMP files currently loaded."},
      {"getAuthor", "<i>TQ</i>"},
      {"getHelpFile", "HelpFolder/index.html"},
      {"getGUIScript", "Kelvane.js"},
      {"getPluginVersion", "1.0"}};
  for (const auto &getter : getters) {
    const Getter fn = exported<Getter>(getter.name);
    CHECK(fn != nullptr, "%s is not exported", getter.name);
    if (fn == nullptr)
      continue;
    const char *first = fn();
    CHECK(first != nullptr && std::strcmp(first, getter.text) == 0, "%s gives \"%s\"", getter.name,
          first != nullptr ? first : "(null)");
    CHECK(fn() == first, "%s gives a different pointer on its second call", getter.name);
  }
  ODZUPluginInterface *a = create();
  ODZUPluginInterface *b = create();
  CHECK(a != nullptr && b != nullptr && a != b, "createPlugin gives %p and %p", static_cast<void *>(a),
        static_cast<void *>(b));
  delete a;
  delete b;
  // Nothing was bound, so ending the objects made no call into the host.
  CHECK(host.logLines == 0, "%d log lines from objects never initialised", host.logLines);
}

void wholeRun() {
  const MapSetup maps[] = {{1, 11, 0}, {2, 0, 1}, {1, 100, 1}, {1, 20, 0}};
  setUpHost(maps, 4);
  setParameter(Key::DoSetMin, 1);
  setParameter(Key::Min, 0, 2.5f);
  setParameter(Key::DoSetMinP, 7); // any nonzero value is true
  setParameter(Key::MinP, 0, 0.001f);
  setParameter(Key::DoSetMax, 1);
  setParameter(Key::Max, 0, 9.5f);
  setParameter(Key::DoClusterSize, 1);
  setParameter(Key::ClusterSize, 25);
  setParameter(Key::DoUseClusterSize, 1);
  setParameter(Key::UseCluster, 5);
  setParameter(Key::DoShowPosNegBoth, 1);
  setParameter(Key::PNB, 1);
  setParameter(Key::DoTransparancy, 1);
  setParameter(Key::Trans, 0, 0.25f);
  setParameter(Key::DoOverlayMaps, 1);
  setParameter(Key::Overlay, 0, 0.0f, "1,3-2,4");

  ODZUPluginInterface *plugin = create();
  CHECK(plugin != nullptr, "createPlugin gave null");
  if (plugin == nullptr)
    return;
  CHECK(plugin->initPlugin(), "initPlugin refused a 3.0.0 host with maps");
  CHECK(host.messageCount == 0, "a message box: \"%s\"", host.messages[0]);
  CHECK(plugin->execute(), "execute returned false");
  delete plugin;

  const char *const expected[] = {
      " ",
      "Kelvane>  Running Kelvane Plugin...",
      "Kelvane>",
      "Kelvane>  -----",
      "Kelvane>  Set Min P to 0.0010",
      "Kelvane>  Set Max to 9.50",
      "Kelvane>  Set Cluster Size to 25",
      "Kelvane>  DO use the cluster size threshold",
      "Kelvane>  Show Negative",
      "Kelvane>  Transparancy Factor 0.25",
      "Kelvane>  Overlay the following maps: 1,3-2,4",
      "Kelvane>  -----",
      "Kelvane>  3 - 2 is not a correctly specified range",
      "Kelvane>  Setting parameters for map 1",
      "Kelvane>  Map 2 is not a T-map, setting of P threshold not supported",
      "Kelvane>  Setting parameters for map 2",
      "Kelvane>  Setting parameters for map 3",
      "Kelvane>  Setting parameters for map 4",
      "Kelvane>",
      "Kelvane>  Finished!",
      " ", // the destructor's line
  };
  expectLog(expected, static_cast<int>(sizeof expected / sizeof *expected));
  CHECK(host.logTabShown == 1, "log tab shown %d times", host.logTabShown);
  CHECK(host.redraws == 1, "%d redraws", host.redraws);

  // Thresholds for p = 0.001: df 11 and 100 lie inside the walk's reach, whose
  // results are fixed bit for bit; df 20 too.
  const float lower[] = {4.43701171875f, 3.0f, 3.390472412109375f, 3.849517822265625f};
  const std::int32_t overlay[] = {1, 0, 0, 1};
  for (int i = 0; i < 4; ++i) {
    const unsigned char *r = host.maps[i];
    CHECK(field::read<std::int32_t>(r, field::kMapType) == maps[i].type, "map %d: type changed", i + 1);
    CHECK(field::read<std::int32_t>(r, field::kDegreesOfFreedom) == maps[i].df, "map %d: df changed", i + 1);
    const float got = field::read<float>(r, field::kLowerThreshold);
    CHECK(std::memcmp(&got, &lower[i], sizeof got) == 0, "map %d: lower threshold %.17g, expected %.17g",
          i + 1, static_cast<double>(got), static_cast<double>(lower[i]));
    CHECK(field::read<float>(r, field::kUpperThreshold) == 9.5f, "map %d: upper threshold", i + 1);
    CHECK(field::read<std::int32_t>(r, field::kClusterSize) == 25, "map %d: cluster size", i + 1);
    CHECK(field::read<std::int32_t>(r, field::kUseCluster) == 1, "map %d: use-cluster %d", i + 1,
          field::read<std::int32_t>(r, field::kUseCluster));
    CHECK(field::read<std::int32_t>(r, field::kSignShown) == 2, "map %d: sign shown", i + 1);
    CHECK(field::read<float>(r, field::kTransparency) == 0.25f, "map %d: transparency", i + 1);
    CHECK(field::read<std::int32_t>(r, field::kOverlayState) == overlay[i], "map %d: overlay %d", i + 1,
          field::read<std::int32_t>(r, field::kOverlayState));
    for (std::size_t b = 0; b < kMapRecordSize; ++b)
      if (!isPluginField(b))
        CHECK(r[b] == hostByte(i, b), "map %d: host byte %u changed to 0x%02x", i + 1,
              static_cast<unsigned>(b), r[b]);
  }
  // One read and one write per map; then the first overlaid map (map 1) is
  // read again and switched off and on, and no later map is read.
  const int reads[] = {2, 1, 1, 1};
  const int writes[] = {3, 1, 1, 1};
  for (int i = 0; i < 4; ++i) {
    CHECK(host.recordReads[i] == reads[i], "map %d read %d times", i + 1, host.recordReads[i]);
    CHECK(host.recordWrites[i] == writes[i], "map %d written %d times", i + 1, host.recordWrites[i]);
  }
  CHECK(host.overlayWritten[0][1] == 0 && host.overlayWritten[0][2] == 1, "map 1's refresh wrote %d then %d",
        host.overlayWritten[0][1], host.overlayWritten[0][2]);
  CHECK(host.stringBufferOverrun == 0, "overlay text too long");
}

void oldHost() {
  const MapSetup maps[] = {{1, 10, 1}};
  setUpHost(maps, 1);
  host.version[0] = 2;
  host.version[1] = 99;
  host.version[2] = 99;
  setParameter(Key::DoSetMax, 1);
  ODZUPluginInterface *plugin = create();
  CHECK(!plugin->initPlugin(), "initPlugin accepted version 2.99.99");
  expectMessage("Can not execute this plugin - Ondrava version 20 or higher required.");
  CHECK(host.logLines == 0 && host.logTabShown == 0, "%d log lines, log tab shown %d times", host.logLines,
        host.logTabShown);
  delete plugin;
  // Binding succeeded, so the destructor's blank line is the only log line.
  const char *const expected[] = {" "};
  expectLog(expected, 1);
  CHECK(host.recordReads[0] == 0 && host.recordWrites[0] == 0 && host.redraws == 0, "the map was touched");
}

void noMaps() {
  setUpHost(nullptr, 0);
  setParameter(Key::DoSetMax, 1);
  ODZUPluginInterface *plugin = create();
  CHECK(!plugin->initPlugin(), "initPlugin accepted a VMR without maps");
  expectMessage("No VMPs are currently loaded.");
  expectLog(kBanner, 3);
  delete plugin;
}

void notAVmr() {
  const MapSetup maps[] = {{1, 10, 1}};
  setUpHost(maps, 1);
  host.documentType = 2;
  ODZUPluginInterface *plugin = create();
  CHECK(!plugin->initPlugin(), "initPlugin accepted a document of type 2");
  expectMessage("The currently active document is not a VMR document.");
  expectLog(kBanner, 3);
  delete plugin;
}

void nothingSelected() {
  const MapSetup maps[] = {{1, 10, 1}, {1, 20, 0}};
  setUpHost(maps, 2);
  setParameter(Key::DoSetMinP, 1); // qualifies DoSetMin only; not an option itself
  setParameter(Key::Overlay, 0, 0.0f, "1-2");
  ODZUPluginInterface *plugin = create();
  CHECK(plugin->initPlugin(), "initPlugin refused");
  CHECK(!plugin->execute(), "execute returned true with nothing selected");
  const char *const expected[] = {" ", "Kelvane>  Running Kelvane Plugin...", "Kelvane>", "Kelvane>  -----",
                                  "Kelvane>  No options selected"};
  expectLog(expected, 5);
  for (int i = 0; i < 2; ++i)
    CHECK(host.recordReads[i] == 0 && host.recordWrites[i] == 0, "map %d was touched", i + 1);
  CHECK(host.redraws == 0, "%d redraws", host.redraws);
  delete plugin;
}

void destructorLines() {
  const MapSetup maps[] = {{1, 10, 1}};
  setUpHost(maps, 1);
  ODZUPluginInterface *first = create();
  ODZUPluginInterface *second = create();
  CHECK(first->initPlugin(), "initPlugin refused");
  delete first;
  delete second;
  const char *const expected[] = {" ", "Kelvane>  Running Kelvane Plugin...", "Kelvane>", " ", " "};
  expectLog(expected, 5);
}

// The Min P line under the shipping runtime's printf and strtof: four
// decimals where they are within 1 % of p, elsewhere the fewest significant
// digits that read back as the same float.
void minPEcho() {
  const MapSetup maps[] = {{2, 0, 1}};
  const struct {
    float p;
    const char *line;
  } rows[] = {
      {0.05f, "Kelvane>  Set Min P to 0.0500"},
      {0.00101f, "Kelvane>  Set Min P to 0.0010"},
      {0.00099f, "Kelvane>  Set Min P to 0.00099"},
      {0.00006f, "Kelvane>  Set Min P to 6e-05"},
      {0x1.a36e3p-15f, "Kelvane>  Set Min P to 5.0000002e-05"},
      {0x1p-149f, "Kelvane>  Set Min P to 1e-45"},
  };
  for (const auto &row : rows) {
    setUpHost(maps, 1);
    host.logLines = 0;
    setParameter(Key::DoSetMin, 1);
    setParameter(Key::DoSetMinP, 1);
    setParameter(Key::MinP, 0, row.p);
    ODZUPluginInterface *plugin = create();
    CHECK(plugin != nullptr && plugin->initPlugin() && plugin->execute(), "the run failed");
    CHECK(host.logLines > 4 && std::strcmp(host.log[4], row.line) == 0, "\"%s\", expected \"%s\"",
          host.log[4], row.line);
    delete plugin;
  }
}

SIZE_T privateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage; // the private bytes: what the process allocated
}

void cycle(int count) {
  for (int i = 0; i < count; ++i) {
    ODZUPluginInterface *plugin = create();
    if (i % 8 == 0) {
      host.logLines = 0;
      plugin->initPlugin();
      plugin->execute();
    }
    delete plugin;
  }
}

// Every object and every run's overlay flags are released: the process does
// not grow over many cycles. The measure is shown to see a leak of the same
// size first, so that a flat line means something.
void cycles() {
  const MapSetup maps[] = {{1, 10, 1}, {2, 0, 0}, {1, 30, 1}};
  setUpHost(maps, 3);
  setParameter(Key::DoOverlayMaps, 1);
  setParameter(Key::Overlay, 0, 0.0f, "All");
  constexpr int kCycles = 200000;
  constexpr SIZE_T kLeakPerCycle = 16; // one plugin object or one run's flags, at the least
  cycle(kCycles / 4);                  // let the heap settle

  const SIZE_T beforeLeak = privateBytes();
  void **leaked = static_cast<void **>(HeapAlloc(GetProcessHeap(), 0, kCycles * sizeof(void *)));
  for (int i = 0; i < kCycles; ++i)
    leaked[i] = HeapAlloc(GetProcessHeap(), 0, kLeakPerCycle);
  const SIZE_T withLeak = privateBytes();
  for (int i = 0; i < kCycles; ++i)
    HeapFree(GetProcessHeap(), 0, leaked[i]);
  HeapFree(GetProcessHeap(), 0, leaked);
  CHECK(withLeak - beforeLeak >= kCycles * kLeakPerCycle, "the measure missed a leak: %zu bytes",
        static_cast<std::size_t>(withLeak - beforeLeak));

  cycle(kCycles / 4);
  const SIZE_T before = privateBytes();
  cycle(kCycles);
  const SIZE_T after = privateBytes();
  const SIZE_T grown = after > before ? after - before : 0;
  CHECK(grown < kCycles * kLeakPerCycle / 8, "%d cycles grew the process by %zu bytes", kCycles,
        static_cast<std::size_t>(grown));
  std::printf("%d create/run/delete cycles: the process grew by %zu bytes\n", kCycles,
              static_cast<std::size_t>(grown));
}

const struct {
  const char *name;
  void (*run)();
} kCases[] = {{"metadata", metadata},
              {"whole_run", wholeRun},
              {"old_host", oldHost},
              {"no_maps", noMaps},
              {"not_a_vmr", notAVmr},
              {"nothing_selected", nothingSelected},
              {"destructor_lines", destructorLines},
              {"min_p_echo", minPEcho},
              {"cycles", cycles}};

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::printf("usage: Ondrava.exe MODULE CASE\n");
    return 2;
  }
  module = LoadLibraryA(argv[1]);
  if (module == nullptr) {
    std::printf("cannot load %s (error %lu)\n", argv[1], GetLastError());
    return 2;
  }
  for (const auto &c : kCases) {
    if (std::strcmp(c.name, argv[2]) != 0)
      continue;
    c.run();
    std::printf("%s: %s\n", c.name, failures == 0 ? "passed" : "FAILED");
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
  }
  std::printf("no case %s\n", argv[2]);
  return 2;
}
