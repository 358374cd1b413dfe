// The help page in headless Chromium: it renders with its threshold table,
// every link resolves, and a screenshot is saved.
//   node help_page.test.js <page.html> <screenshot.png>
// Exits 77 (skipped) when Chromium is not installed.
"use strict";
const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");

const [page, screenshot] = process.argv.slice(2);
const chromium = process.env.CHROMIUM || "/usr/bin/chromium";
if (!fs.existsSync(chromium)) {
  console.log(`SKIPPED: Chromium is not installed at ${chromium} (Debian: apt-get install chromium)`);
  process.exit(77);
}

const profile = fs.mkdtempSync(path.join(os.tmpdir(), "kelvane-chromium-"));
// Headless, and quiet on a machine without a network.
const flags = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
  "--disable-background-networking", "--disable-component-update", "--disable-sync",
  `--user-data-dir=${profile}`];
const url = "file://" + path.resolve(page);
function chrome(args) {
  return execFileSync(chromium, [...flags, ...args], { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"],
    timeout: 60000 });
}

try {
  const dom = chrome(["--dump-dom", url]);
  assert.match(dom, /<h1>Kelvane<\/h1>/, "the page rendered its heading");
  assert.doesNotMatch(dom, /@THRESHOLD_TABLE@/, "the threshold table was generated");

  const table = dom.match(/<table class="thresholds">([\s\S]*?)<\/table>/);
  assert.ok(table, "threshold table present");
  const rows = table[1].match(/<tr>[\s\S]*?<\/tr>/g).slice(1);
  assert.equal(rows.length, 8, "one row per df");
  for (const row of rows) {
    const cells = [...row.matchAll(/<td>([^<]*)<\/td>/g)].map((m) => Number(m[1]));
    assert.equal(cells.length, 6, row);
    assert.ok(cells.every((t) => t > 1.5 && t < 100), row);
    for (let i = 1; i < cells.length; ++i) assert.ok(cells[i] > cells[i - 1], `smaller p, larger t: ${row}`);
  }

  // The example of the search against the exact quantile quotes the table's own cell.
  const example = dom.match(/<span id="walk-example">[\s\S]*?<strong>([0-9.]+)<\/strong>/);
  assert.ok(example, "the example sentence is there");
  const row200 = rows.find((row) => /<th>200<\/th>/.test(row));
  const cell = [...row200.matchAll(/<td>([^<]*)<\/td>/g)].map((m) => m[1])[3];
  assert.equal(example[1], cell, "the example quotes the table's threshold for df 200, p 0.001");

  const ids = new Set([...dom.matchAll(/\sid="([^"]+)"/g)].map((m) => m[1]));
  const links = [...dom.matchAll(/\s(?:href|src)="([^"]+)"/g)].map((m) => m[1]);
  assert.ok(links.length > 0, "the page has links");
  for (const link of links) {
    if (link.startsWith("#")) {
      assert.ok(ids.has(link.slice(1)), `broken anchor ${link}`);
    } else {
      assert.ok(!/^[a-z]+:/i.test(link), `link leaves the help folder: ${link}`);
      const target = path.resolve(path.dirname(page), link.split("#")[0]);
      assert.ok(fs.existsSync(target), `broken link ${link}`);
    }
  }

  fs.rmSync(screenshot, { force: true });
  chrome([`--screenshot=${path.resolve(screenshot)}`, "--window-size=1200,2600", "--hide-scrollbars", url]);
  assert.ok(fs.statSync(screenshot).size > 20000, "screenshot saved");
  console.log(`help page OK: ${links.length} links checked, screenshot ${screenshot}`);
} finally {
  fs.rmSync(profile, { recursive: true, force: true });
}
