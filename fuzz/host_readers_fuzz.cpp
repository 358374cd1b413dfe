// The host program's readers with any text: the workspace file, the options
// file and --set arguments. None may throw or crash; every error message
// stays short; a workspace that was read is saved and read back unchanged
// (what --save and a chained run rely on); whatever the table shows of it
// holds no control character.
//
// The first byte chooses the reader; the rest is its text (for --set, one
// argument per line).
#include "files.h"
#include "inputs.h"
#include "report.h"

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

namespace {

void require(bool condition) {
  if (!condition)
    std::abort();
}

void requireShort(const ondrava::FatalError &error) {
  require(!error.message.empty());
  require(error.message.size() <= 600);
  require(error.pointer.size() <= 600);
}

void requirePlain(const std::string &shown) {
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const auto byte = static_cast<unsigned char>(shown[i]);
    require(byte == '\n' || (byte >= 0x20 && byte != 0x7F));
    // C1 controls, U+0080 to U+009F.
    require(!(byte == 0xC2 && i + 1 < shown.size() && static_cast<unsigned char>(shown[i + 1]) < 0xA0));
  }
}

bool sameWorkspace(const ondrava::Workspace &a, const ondrava::Workspace &b) {
  if (a.currentDocument != b.currentDocument || a.documents.size() != b.documents.size())
    return false;
  for (std::size_t d = 0; d < a.documents.size(); ++d) {
    const ondrava::Document &x = a.documents[d];
    const ondrava::Document &y = b.documents[d];
    if (x.id != y.id || x.type != y.type || x.name != y.name || x.maps.size() != y.maps.size())
      return false;
    for (std::size_t m = 0; m < x.maps.size(); ++m)
      if (x.maps[m].name != y.maps[m].name || x.maps[m].record != y.maps[m].record)
        return false;
  }
  return true;
}

// The reader's result; a thrown error must be short.
template <typename Read> bool reads(Read read) {
  try {
    read();
    return true;
  } catch (const ondrava::FatalError &error) {
    requireShort(error);
    return false;
  }
}

void workspace(const std::string &text) {
  const ondrava::Source source{"fuzz.json", {}};
  ondrava::Workspace first;
  if (!reads([&] { first = ondrava::parseWorkspace(text, source); }))
    return;
  const std::string saved = ondrava::savedText(first, "fuzz.json", ondrava::kMaxInputFileBytes);
  require(sameWorkspace(first, ondrava::parseWorkspace(saved, source)));

  ondrava::RunReport report;
  report.pluginName = "Kelvane";
  report.workspace = text.substr(0, 64);
  if (const ondrava::Document *document = first.current()) {
    report.before = document->maps;
    report.after = document->maps;
    report.log.push_back(document->name);
  }
  requirePlain(ondrava::textReport(report));
}

void options(const std::string &text) {
  ondrava::Options options;
  if (!reads([&] { ondrava::parseOptions(text, {"options.json", {}}, options); }))
    return;
  const auto typeOf = [](const std::string &name) {
    const kelvane::OptionKey *key = kelvane::findOptionKey(name.c_str());
    require(key != nullptr);
    return key->type;
  };
  for (const auto &entry : options.values.ints)
    require(typeOf(entry.first) == kelvane::OptionType::Int);
  for (const auto &entry : options.values.floats)
    require(typeOf(entry.first) == kelvane::OptionType::Float);
  for (const auto &entry : options.values.strings)
    require(typeOf(entry.first) == kelvane::OptionType::Text &&
            entry.second.size() <= ondrava::kMaxTextBytes);
}

void settings(const std::string &text) {
  ondrava::Options options;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    try {
      ondrava::parseSetting(text.substr(start, end - start), options);
    } catch (const ondrava::FatalError &error) {
      requireShort(error);
      // At most 80 characters of at most four bytes each.
      require(error.argument.size() <= std::strlen("--set ") + 4 * ondrava::kQuoteLimit + std::strlen("..."));
      requirePlain(ondrava::escapeText(error.text()));
    }
    start = end + 1;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0)
    return 0;
  const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  switch (data[0] % 3) {
  case 0:
    workspace(text);
    break;
  case 1:
    options(text);
    break;
  default:
    settings(text);
    break;
  }
  return 0;
}
