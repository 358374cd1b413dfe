// Writes the help page with its threshold table, computed by the plugin's own
// statistics exactly as a run computes them (p as a float, the result
// narrowed to float).
//   help_page <template> <output>
#include "t_threshold.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char **argv) {
  if (argc != 3) {
    std::cerr << "usage: help_page TEMPLATE OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "help_page: cannot read " << argv[1] << "\n";
    return 2;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string page = buffer.str();

  const float ps[] = {0.05f, 0.01f, 0.005f, 0.001f, 0.0001f, 1e-6f};
  const char *const pTitles[] = {"0.05", "0.01", "0.005", "0.001", "0.0001", "10<sup>&minus;6</sup>"};
  const int dfs[] = {5, 10, 20, 30, 50, 100, 200, 1000};
  std::string table = "<table class=\"thresholds\">\n<tr><th>df \\ p</th>";
  for (const char *title : pTitles)
    table += std::string("<th>") + title + "</th>";
  table += "</tr>\n";
  for (const int df : dfs) {
    table += "<tr><th>" + std::to_string(df) + "</th>";
    for (const float p : ps) {
      const float t = static_cast<float>(kelvane::stats::t_from_p(df, static_cast<double>(p), 1e-7));
      char cell[64];
      std::snprintf(cell, sizeof cell, "<td>%.3f</td>", static_cast<double>(t));
      table += cell;
    }
    table += "</tr>\n";
  }
  table += "</table>";

  const std::string marker = "@THRESHOLD_TABLE@";
  const std::size_t at = page.find(marker);
  if (at == std::string::npos) {
    std::cerr << "help_page: " << argv[1] << " has no " << marker << "\n";
    return 2;
  }
  page.replace(at, marker.size(), table);
  std::ofstream out(argv[2]);
  out << page;
  if (!out) {
    std::cerr << "help_page: cannot write " << argv[2] << "\n";
    return 2;
  }
  return 0;
}
