// The help page's overlay examples are what a run does: each typed list, run
// by the stand-in host on seven overlaid maps, overlays the maps the page names
// and logs what the page quotes.
//   KELVANE_PROGRAM=<Ondrava.exe> node --test help_overlay.test.js
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { execFileSync } = require("node:child_process");

const PAGE = path.join(__dirname, "..", "..", "HelpFolder", "index.html.in");
const MAPS = 7;

const text = (html) => html.replace(/<[^>]*>/g, "").replace(/&ldquo;|&rdquo;/g, "\"").replace(/&gt;/g, ">")
  .replace(/&lt;/g, "<").replace(/&amp;/g, "&").replace(/\s+/g, " ").trim();

// "none", "4 to 7", "1, 3, 4 and 5": the map numbers.
function maps(cell) {
  if (cell === "none") return [];
  return cell.split(/, | and /).flatMap((item) => {
    const m = item.match(/^(\d+)(?: to (\d+))?$/);
    assert.ok(m, `"${cell}" is a list of map numbers, "A to B" ranges or "none"`);
    const [low, high] = [Number(m[1]), Number(m[2] ?? m[1])];
    return Array.from({ length: high - low + 1 }, (_, k) => low + k);
  });
}

// The example table's rows: { typed, overlaid, logged }.
function examples(page) {
  const table = page.match(/<table class="overlay">([\s\S]*?)<\/table>/);
  assert.ok(table, "the page has its overlay table");
  return table[1].match(/<tr>[\s\S]*?<\/tr>/g).slice(1).map((row) => {
    const cells = [...row.matchAll(/<td>([\s\S]*?)<\/td>/g)].map((m) => m[1]);
    assert.equal(cells.length, 4, row);
    const typed = cells[0] === "an empty text" ? "" : cells[0].match(/^<code>([^<]*)<\/code>$/)?.[1];
    assert.ok(typed !== undefined, `the first cell is <code>TEXT</code> or "an empty text": ${row}`);
    const logged = text(cells[2]);
    return { typed: text(typed), overlaid: maps(text(cells[1])),
             logged: logged === "" ? [] : [`Kelvane>  ${logged.replace(/^"|"$/g, "")}`] };
  });
}

// What a run does with the list: the maps overlaid after it and the lines
// logged between the echo and the first map.
function run(workspace, typed) {
  const out = JSON.parse(execFileSync(process.env.KELVANE_PROGRAM, ["--workspace", workspace, "--json",
    "--set", "DoOverlayMaps=1", "--set", `Overlay=${typed}`], { encoding: "utf8" }));
  const echoEnd = out.log.indexOf("Kelvane>  -----", out.log.indexOf("Kelvane>  -----") + 1);
  const firstMap = out.log.findIndex((line) => line.startsWith("Kelvane>  Setting parameters"));
  return { overlaid: out.maps.flatMap((m, i) => (m.after.overlay === 1 ? [i + 1] : [])),
           logged: out.log.slice(echoEnd + 1, firstMap) };
}

// The rows whose run differs from the page, one line each.
function faults(page, workspace) {
  return examples(page).flatMap((row) => {
    const done = run(workspace, row.typed);
    return JSON.stringify(done) === JSON.stringify({ overlaid: row.overlaid, logged: row.logged }) ? []
      : [`"${row.typed}": the page says ${JSON.stringify(row)}, the run does ${JSON.stringify(done)}`];
  });
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), "kelvane-help-overlay-"));
const workspace = path.join(dir, "seven_maps.json");
// Every map starts overlaid, so that a map left out is the list's doing.
fs.writeFileSync(workspace, JSON.stringify({ documents: [{ id: 1, type: 3,
  maps: Array.from({ length: MAPS }, () => ({ type: 1, df: 10, overlay: 1 })) }] }));
test.after(() => fs.rmSync(dir, { recursive: true, force: true }));

test("every overlay example on the help page is what a run does", () => {
  assert.ok(process.env.KELVANE_PROGRAM, "KELVANE_PROGRAM names the stand-in host (ctest sets it)");
  const page = fs.readFileSync(PAGE, "utf8");
  assert.ok(examples(page).length >= 10);
  assert.deepEqual(faults(page, workspace), []);
});

test("an example the run contradicts is caught", () => {
  const page = fs.readFileSync(PAGE, "utf8");
  const row = "<tr><td><code>1,3-5</code></td><td>1, 3, 4 and 5</td>";
  assert.ok(page.includes(row));
  assert.equal(faults(page.replace(row, "<tr><td><code>1,3-5</code></td><td>1, 3 and 5</td>"), workspace).length, 1);
});
