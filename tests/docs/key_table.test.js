// The key table of docs/dialog-interface.md is the build's: key, type,
// default and meaning of each key, in order, as tests/js/option_table
// prints binding/option_keys.h.
//   KELVANE_OPTION_TABLE=<option_table> node --test key_table.test.js
// With KELVANE_RECORD_SESSIONS=1 the page's rows are first written from the build.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { execFileSync } = require("node:child_process");
const { tables } = require("./markdown.js");

const PAGE = path.join(__dirname, "..", "..", "docs", "dialog-interface.md");
const HEADER = ["Key", "Type", "Default", "What it does"];

function buildTable() {
  const program = process.env.KELVANE_OPTION_TABLE;
  assert.ok(program, "KELVANE_OPTION_TABLE names the build's option_table program (ctest sets it)");
  return JSON.parse(execFileSync(program, { encoding: "utf8" }));
}

// A meaning states the values the dialog stores (dialog_script holds it to
// the key's limits), so the page has no column of its own for them.
const rowOf = (key) => [`\`${key.name}\``, key.type, key.initial, key.meaning];

// The page's one key table, or a failed assertion.
function keyTable(page) {
  const found = tables(page).filter((t) => t.header.join("|") === HEADER.join("|"));
  assert.equal(found.length, 1, `the page has one table headed | ${HEADER.join(" | ")} |`);
  return found[0];
}

// Where the page's table and the build's differ, one line each.
function differences(page, keys) {
  const table = keyTable(page);
  const out = [];
  for (let i = 0; i < Math.max(table.rows.length, keys.length); ++i) {
    const want = keys[i] ? rowOf(keys[i]) : null;
    const have = table.rows[i] || null;
    if (JSON.stringify(want) !== JSON.stringify(have))
      out.push(`row ${i + 1}: the page has | ${have ? have.join(" | ") : "nothing"} |, ` +
               `the build | ${want ? want.join(" | ") : "nothing"} |`);
  }
  return out;
}

if (process.env.KELVANE_RECORD_SESSIONS) {
  const page = fs.readFileSync(PAGE, "utf8");
  const lines = page.split("\n");
  const table = keyTable(page);
  lines.splice(table.first, table.rows.length, ...buildTable().map((key) => `| ${rowOf(key).join(" | ")} |`));
  fs.writeFileSync(PAGE, lines.join("\n"));
}

test("the page's key table is the build's", () => {
  const keys = buildTable();
  assert.equal(keys.length, 16);
  assert.deepEqual(differences(fs.readFileSync(PAGE, "utf8"), keys), []);
});

test("a default changed in the page alone is caught", () => {
  const keys = buildTable();
  const page = fs.readFileSync(PAGE, "utf8");
  const row = `| ${rowOf(keys[3]).join(" | ")} |`;
  assert.ok(page.includes(row), row);
  const changed = page.replace(row, row.replace(` | ${keys[3].initial} | `, " | 0.01 | "));
  assert.notEqual(changed, page);
  assert.equal(differences(changed, keys).length, 1);
});
