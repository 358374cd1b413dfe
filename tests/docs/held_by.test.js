// Every test a page names in the "Held by" column of a table (its last
// column) is a test of this build, as ctest -N lists it, and every row names
// at least one: a promise no test holds is not made.
//   CTEST=<ctest> KELVANE_BUILD_DIR=<build tree> node --test held_by.test.js
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { execFileSync } = require("node:child_process");
const { tables, codeSpans } = require("./markdown.js");

const SOURCE = path.join(__dirname, "..", "..");
const pages = ["README.md", ...fs.readdirSync(path.join(SOURCE, "docs")).filter((f) => f.endsWith(".md"))
  .map((f) => path.join("docs", f))];

function testNames() {
  assert.ok(process.env.CTEST && process.env.KELVANE_BUILD_DIR, "CTEST and KELVANE_BUILD_DIR are set (ctest sets them)");
  const listing = execFileSync(process.env.CTEST, ["-N"], { cwd: process.env.KELVANE_BUILD_DIR, encoding: "utf8" });
  const names = new Set([...listing.matchAll(/^\s*Test\s+#\d+: (.+)$/gm)].map((m) => m[1].trim()));
  assert.ok(names.size > 0, `ctest -N lists no test:\n${listing}`);
  return names;
}

// Each fault of a page's "Held by" columns, one line each.
function faults(name, page, tests) {
  const out = [];
  for (const table of tables(page)) {
    if (table.header[table.header.length - 1].replace(/\*/g, "") !== "Held by") continue;
    for (const row of table.rows) {
      const held = codeSpans(row[table.header.length - 1] || "");
      if (held.length === 0) out.push(`${name}: "${row[0]}" names no test that holds it`);
      for (const t of held.filter((t) => !tests.has(t))) out.push(`${name}: "${row[0]}" names ${t}, which is no test`);
    }
  }
  return out;
}

test("every test a promise names exists", () => {
  const tests = testNames();
  const found = pages.flatMap((p) => faults(p, fs.readFileSync(path.join(SOURCE, p), "utf8"), tests));
  assert.deepEqual(found, []);
});

test("a name that is no test, and a row with none, are caught", () => {
  const tests = testNames();
  const [real] = tests;
  const page = ["| Promise | **Held by** |", "|---|---|", `| held | \`${real}\` |`, "| misnamed | `no_such_test` |",
    "| unheld | |"].join("\n");
  assert.deepEqual(faults("page", page, tests),
    ['page: "misnamed" names no_such_test, which is no test', 'page: "unheld" names no test that holds it']);
});
