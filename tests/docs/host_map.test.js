// design.md's map of host/ names every file there, so that a file added or
// renamed is placed on the map.
//   node --test host_map.test.js
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { codeSpans } = require("./markdown.js");

const SOURCE = path.join(__dirname, "..", "..");

// The file names a code span such as `files.{h,cpp}` stands for.
function expand(span) {
  const m = /^(.*)\{([^}]*)\}(.*)$/.exec(span);
  return m ? m[2].split(",").map((ext) => m[1] + ext + m[3]) : [span];
}

function unnamed(page, files) {
  const named = new Set(codeSpans(page).flatMap(expand));
  return files.filter((f) => !named.has(f));
}

test("design.md names every file of host/", () => {
  const page = fs.readFileSync(path.join(SOURCE, "docs", "design.md"), "utf8");
  assert.deepEqual(unnamed(page, fs.readdirSync(path.join(SOURCE, "host")).sort()), []);
});

test("a file the page does not name is caught", () => {
  assert.deepEqual(unnamed("`a.{h,cpp}` and `b.json`", ["a.h", "a.cpp", "b.json", "c.cpp"]), ["c.cpp"]);
});
