#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ondrava {
namespace {

namespace rec = kelvane::record;

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not
// one; its code point goes to *code.
std::size_t utf8Length(const std::string &text, std::size_t i, std::uint32_t *code) {
  const auto lead = static_cast<unsigned char>(text[i]);
  *code = lead;
  if (lead < 0x80)
    return 1;
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0 || i + length > text.size())
    return 0;
  *code = lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80)
      return 0;
    *code = (*code << 6) | (next & 0x3Fu);
  }
  // Overlong forms, surrogates and code points beyond Unicode are not UTF-8.
  const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  return *code < smallest[length] || (*code >= 0xD800 && *code <= 0xDFFF) || *code > 0x10FFFF ? 0 : length;
}

// The columns of a terminal that characters take where not one: none for
// combining marks and zero-width characters, two for East Asian wide and
// full-width characters and emoji (first, last, columns).
constexpr std::uint32_t kColumns[][3] = {
    {0x0300, 0x036F, 0},   {0x0483, 0x0489, 0},   {0x0591, 0x05BD, 0},   {0x0610, 0x061A, 0},
    {0x064B, 0x065F, 0},   {0x1100, 0x115F, 2},   {0x1160, 0x11FF, 0},   {0x1AB0, 0x1AFF, 0},
    {0x1DC0, 0x1DFF, 0},   {0x200B, 0x200F, 0},   {0x202A, 0x202E, 0},   {0x2060, 0x2069, 0},
    {0x20D0, 0x20FF, 0},   {0x2E80, 0x303E, 2},   {0x3041, 0xA4CF, 2},   {0xAC00, 0xD7A3, 2},
    {0xF900, 0xFAFF, 2},   {0xFE00, 0xFE0F, 0},   {0xFE20, 0xFE2F, 0},   {0xFE30, 0xFE4F, 2},
    {0xFEFF, 0xFEFF, 0},   {0xFF00, 0xFF60, 2},   {0xFFE0, 0xFFE6, 2},   {0x1F300, 0x1F64F, 2},
    {0x1F900, 0x1F9FF, 2}, {0x20000, 0x3FFFD, 2}, {0xE0000, 0xE0FFF, 0},
};

std::size_t columns(std::uint32_t code) {
  for (const auto &range : kColumns)
    if (code >= range[0] && code <= range[1])
      return range[2];
  return 1;
}

constexpr std::size_t kNameWidth = 18;

// The escaped name cut or padded to kNameWidth columns of a terminal.
std::string nameCell(const std::string &name) {
  const std::string shown = escapeText(name);
  std::size_t width = 0;
  std::size_t end = 0;
  while (end < shown.size()) {
    std::uint32_t code = 0;
    const std::size_t length = utf8Length(shown, end, &code);
    if (width + columns(code) > kNameWidth)
      break;
    width += columns(code);
    // What escapeText gives is UTF-8 throughout; a byte that were not would count as one.
    end += std::max<std::size_t>(length, 1);
  }
  return shown.substr(0, end) + std::string(kNameWidth - width, ' ');
}

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
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r == 0)
      out += "  map  " + nameCell("name");
    else if (r % 2 == 1)
      out += "  " + right(std::to_string(r / 2 + 1), 3) + "  " + nameCell(before[r / 2].name);
    else
      out += "       " + std::string(kNameWidth, ' ');
    for (std::size_t c = 0; c < widths.size(); ++c)
      out += " " + right(rows[r][c], widths[c]);
    out += r == 0 ? "\n" : r % 2 == 1 ? "  before\n" : "  after\n";
  }
  return out;
}

} // namespace

std::string escapeText(const std::string &text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t code = 0;
    const std::size_t length = utf8Length(text, i, &code);
    if (length > 0 && code >= 0x20 && !(code >= 0x7F && code < 0xA0)) {
      out.append(text, i, length);
      i += length;
    } else if (length == 1 && (code == '\n' || code == '\t' || code == '\r')) {
      out += code == '\n' ? "\\n" : code == '\t' ? "\\t" : "\\r";
      ++i;
    } else {
      // A control character (C0, DEL, or C1 as its two bytes) or a byte
      // that is not UTF-8.
      for (const std::size_t end = i + std::max<std::size_t>(length, 1); i < end; ++i) {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[i]));
        out += escaped;
      }
    }
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
  nlohmann::ordered_json result = {{"plugin", report.pluginPath},
                                   {"initialised", report.initialised},
                                   {"executed", report.executed},
                                   {"refusal", refusal ? nlohmann::ordered_json(*refusal) : nullptr},
                                   {"log", report.log},
                                   {"messages", report.messages},
                                   {"maps", nlohmann::ordered_json::array()}};
  for (std::size_t i = 0; i < report.before.size(); ++i)
    result["maps"].push_back(
        {{"before", mapToJson(report.before[i])}, {"after", mapToJson(report.after[i])}});
  return result;
}

std::string errorText(const InputError &error) { return escapeText(error.text()); }

std::string dumpJson(const nlohmann::ordered_json &value) {
  return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace ondrava
