#include "report.h"

#include <boost/algorithm/hex.hpp>
#include <boost/locale/utf.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ondrava {
namespace {

namespace rec = kelvane::record;

// A cell is plain ASCII: a number, nan or inf, and a * for a change.
std::string cell(const Map &map, const MapField &field) {
  const unsigned char *record = map.record.data();
  const std::size_t offset = field.field->offset;
  return field.isFloat() ? formatTableFloat(rec::read<float>(record, offset), field.decimals)
                         : std::to_string(rec::read<std::int32_t>(record, offset));
}

std::string right(const std::string &text, std::size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

std::string mapTable(const std::vector<Map> &before, const std::vector<Map> &after) {
  // The titles, then each map's cells before and after the run, all of them
  // first, so that each column is as wide as its widest cell.
  std::vector<std::vector<std::string>> rows(1 + 2 * before.size());
  std::vector<std::size_t> widths;
  for (const MapField &field : kMapFields) {
    rows[0].push_back(field.title);
    for (std::size_t i = 0; i < before.size(); ++i) {
      const std::string old = cell(before[i], field);
      const std::string now = cell(after[i], field);
      rows[1 + 2 * i].push_back(old);
      rows[2 + 2 * i].push_back((old == now ? "" : "*") + now);
    }
    widths.push_back(field.width);
    for (const std::vector<std::string> &row : rows)
      widths.back() = std::max(widths.back(), row.back().size());
  }
  std::string out = "Maps before and after the run (* marks a changed value):\n";
  const std::size_t numbers = std::max<std::size_t>(3, std::to_string(before.size()).size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    // The name comes last, so that no column has to follow its width on a
    // terminal, which no table of characters gets right everywhere.
    const std::string name = r == 0 ? "name" : r % 2 == 1 ? escapeText(before[r / 2].name) : "";
    out += r == 0       ? "  map" + std::string(numbers + 5, ' ')
           : r % 2 == 1 ? "  " + right(std::to_string(r / 2 + 1), numbers) + "  before"
                        : std::string(numbers + 4, ' ') + "after ";
    for (std::size_t c = 0; c < widths.size(); ++c)
      out += " " + right(rows[r][c], widths[c]);
    out += (name.empty() ? "" : "  " + name) + "\n";
  }
  return out + "Codes: type 1 is a t map; sign 1 positive, 2 negative, 3 both; use 1 applied.\n";
}

} // namespace

std::string escapeText(const std::string &text) {
  namespace utf = boost::locale::utf;
  std::string out;
  for (auto next = text.begin(); next != text.end();) {
    auto start = next;
    // Overlong forms, surrogates and code points beyond Unicode are not
    // UTF-8: such a byte is escaped alone, and the next starts afresh.
    const utf::code_point code = utf::utf_traits<char>::decode(next, text.end());
    if (!utf::is_valid_codepoint(code))
      next = start + 1;
    // Bidirectional controls (Unicode's Bidi_Control, all twelve) would turn
    // the rest of the line around.
    const bool bidi = (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069) ||
                      code == 0x200E || code == 0x200F || code == 0x061C;
    // Shown as it is, named, or else (a control character: C0, DEL, C1 or
    // bidirectional; or a byte that is not UTF-8) escaped byte by byte.
    if (utf::is_valid_codepoint(code) && code >= 0x20 && !(code >= 0x7F && code < 0xA0) && !bidi)
      out.append(start, next);
    else if (code == '\n' || code == '\t' || code == '\r')
      out += code == '\n' ? "\\n" : code == '\t' ? "\\t" : "\\r";
    else
      for (; start != next; ++start)
        out += "\\x" + boost::algorithm::hex_lower(std::string(1, *start));
  }
  return out;
}

std::string formatTableFloat(float value, int decimals) {
  const double v = static_cast<double>(value);
  if (std::isnan(v))
    return "nan";
  // Fixed form only where it has at most six digits before the point and
  // does not round a nonzero value to zero.
  const double a = std::fabs(v);
  const bool fixed = a < 1e6 && !(a > 0 && a < 0.5 * std::pow(10.0, -decimals));
  char text[64];
  std::snprintf(text, sizeof text, fixed ? "%.*f" : "%.*e", decimals, v);
  return text;
}

std::optional<std::string> RunReport::refusal() const {
  if (initialised && executed)
    return std::nullopt;
  if (!initialised)
    return messages.empty() ? std::string("no message") : messages.back();
  // The plugin's last log line, without its prefix.
  std::string last = log.empty() ? std::string() : log.back();
  if (last.rfind("Kelvane>", 0) == 0)
    last.erase(0, std::min(last.find_first_not_of(' ', 8), last.size()));
  return last;
}

std::string textReport(const RunReport &report) {
  std::string out = "Plugin: " + escapeText(report.pluginName) + " " + escapeText(report.pluginVersion) +
                    " (" + escapeText(report.pluginPath) + ")\n";
  out += "Workspace: " + escapeText(report.workspace) + "\n\nLog pane:\n";
  for (const std::string &line : report.log)
    out += "  " + escapeText(line) + "\n";
  for (const std::string &message : report.messages)
    out += "\nMessage box: " + escapeText(message) + "\n";
  out += "\n" + (!report.noMaps.empty()  ? report.noMaps + "\n"
                 : report.before.empty() ? "No maps are loaded on the current document.\n"
                                         : mapTable(report.before, report.after));
  const std::string refusal = escapeText(report.refusal().value_or(""));
  return out + "\nResult: " +
         (!report.initialised ? "initPlugin refused (" + refusal + "), execute not called\n"
          : !report.executed  ? "initPlugin true, execute refused (" + refusal + ")\n"
                              : "initPlugin true, execute true\n");
}

nlohmann::ordered_json jsonReport(const RunReport &report) {
  const std::optional<std::string> refusal = report.refusal();
  nlohmann::ordered_json result = {
      {"plugin",
       {{"name", report.pluginName}, {"version", report.pluginVersion}, {"path", report.pluginPath}}},
      {"workspace", report.workspace},
      {"warnings", report.warnings},
      {"initialised", report.initialised},
      {"executed", report.executed},
      {"refusal", refusal ? nlohmann::ordered_json(*refusal) : nullptr},
      {"log", report.log},
      {"messages", report.messages},
      {"noMaps", report.noMaps.empty() ? nullptr : nlohmann::ordered_json(report.noMaps)},
      {"maps", nlohmann::ordered_json::array()}};
  // Each map's name once, "" for none, ahead of its values.
  for (std::size_t i = 0; i < report.before.size(); ++i) {
    nlohmann::ordered_json before = report.before[i], after = report.after[i];
    before.erase("name"), after.erase("name");
    result["maps"].push_back({{"name", report.before[i].name}, {"before", before}, {"after", after}});
  }
  return result;
}

std::string dumpJson(const nlohmann::ordered_json &value) {
  return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace ondrava
