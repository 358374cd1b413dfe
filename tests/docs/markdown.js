// The tables of a Markdown page, as the docs checks read them: a header row,
// a rule row, then body rows, outside fenced code and example sessions.
"use strict";

// A row's cells: split at "|" outside backtick spans, trimmed.
function cells(line) {
  const out = [];
  let cell = "";
  let inCode = false;
  const text = line.trim().replace(/^\|/, "").replace(/\|$/, "");
  for (const ch of text) {
    if (ch === "`") inCode = !inCode;
    if (ch === "|" && !inCode) {
      out.push(cell.trim());
      cell = "";
    } else {
      cell += ch;
    }
  }
  out.push(cell.trim());
  return out;
}

// Every table of the page: { header, rows, first } with `first` the 0-based
// line of its first body row, so that a table can be written back.
function tables(page) {
  const lines = page.split("\n");
  const found = [];
  let fenced = false;
  for (let i = 0; i < lines.length; ++i) {
    if (/^\s*```/.test(lines[i])) fenced = !fenced;
    if (fenced || !lines[i].startsWith("|") || !/^\|[\s:|-]+\|$/.test((lines[i + 1] || "").trim())) continue;
    const table = { header: cells(lines[i]), rows: [], first: i + 2 };
    for (i += 2; i < lines.length && lines[i].startsWith("|"); ++i) table.rows.push(cells(lines[i]));
    found.push(table);
  }
  return found;
}

// The names in backticks in a cell.
const codeSpans = (cell) => [...cell.matchAll(/`([^`]+)`/g)].map((m) => m[1]);

module.exports = { cells, tables, codeSpans };
