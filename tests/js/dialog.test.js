// Kelvane.js against a mock of the dialog interface: every key is stored once
// with its type, the defaults select nothing and are the key table's, and the
// user's choices arrive.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const path = require("node:path");
const { execFileSync } = require("node:child_process");

const Kelvane = require(path.join(__dirname, "..", "..", "Kelvane.js"));

const INT_KEYS = ["DoSetMin", "DoSetMinP", "DoSetMax", "DoClusterSize", "ClusterSize", "DoUseClusterSize",
  "UseCluster", "DoShowPosNegBoth", "PNB", "DoTransparancy", "DoOverlayMaps"];
const FLOAT_KEYS = ["Min", "MinP", "Max", "Trans"];
const STRING_KEYS = ["Overlay"];

function mockDialog() {
  const controls = new Map();
  const add = (kind) => (name, label, value, extra) => {
    assert.ok(!controls.has(name), `control ${name} added twice`);
    assert.equal(typeof label, "string");
    controls.set(name, { kind, value, extra });
  };
  return {
    controls,
    addCheckBox: add("check"),
    addNumberField: add("number"),
    addTextField: add("text"),
    addChoice: (name, label, items, index) => add("choice")(name, label, index, items),
    value: (name) => {
      assert.ok(controls.has(name), `no control ${name}`);
      return controls.get(name).value;
    },
    // As the user types it: a number field keeps what it can show.
    set(name, value) {
      const control = controls.get(name);
      control.value = control.kind === "number" ? shown(value, control.extra) : value;
    },
    // As a careless host hands it over, limits and all ignored.
    setRaw(name, value) { controls.get(name).value = value; },
  };
}

// The value a number field holds after showing it with its digits.
function shown(value, limits) {
  assert.ok(!(limits.decimals !== undefined && limits.significant !== undefined), "decimals or significant");
  if (typeof value !== "number") return value;
  if (limits.integer) return Math.round(value);
  if (limits.significant !== undefined) return Number(value.toPrecision(limits.significant));
  if (limits.decimals !== undefined) return Number(value.toFixed(limits.decimals));
  return value;
}

function mockStore() {
  const stored = new Map();
  const put = (type) => (key, value) => {
    assert.ok(!stored.has(key), `${key} stored twice`);
    stored.set(key, { type, value });
  };
  return { stored, setInt: put("int"), setFloat: put("float"), setString: put("string") };
}

function run(choose) {
  const dialog = mockDialog();
  Kelvane.buildDialog(dialog);
  if (choose) choose(dialog);
  const store = mockStore();
  Kelvane.storeChoices(dialog, store);
  return { dialog, stored: store.stored };
}

test("every key is stored once with its type", () => {
  const { stored } = run();
  assert.deepEqual([...stored.keys()].sort(), [...INT_KEYS, ...FLOAT_KEYS, ...STRING_KEYS].sort());
  for (const key of INT_KEYS) {
    assert.equal(stored.get(key).type, "int", key);
    const v = stored.get(key).value;
    assert.ok(Number.isInteger(v) && v >= -2147483648 && v <= 2147483647, `${key}: ${v}`);
  }
  for (const key of FLOAT_KEYS) {
    assert.equal(stored.get(key).type, "float", key);
    assert.ok(Number.isFinite(stored.get(key).value), key);
  }
  assert.equal(stored.get("Overlay").type, "string");
});

test("defaults select nothing and overlay All", () => {
  const { stored } = run();
  for (const key of INT_KEYS.filter((k) => k.startsWith("Do")))
    assert.equal(stored.get(key).value, 0, key);
  assert.equal(stored.get("Overlay").value, "All");
  assert.ok(stored.get("MinP").value > 0 && stored.get("MinP").value < 1);
});

test("the user's choices reach the store", () => {
  const { stored } = run((d) => {
    for (const key of INT_KEYS.filter((k) => k.startsWith("Do"))) d.set(key, true);
    d.set("Min", 2.5);
    d.set("MinP", 0.001);
    d.set("ClusterSize", 12.6);
    d.set("UseCluster", false);
    d.set("PNB", 1);
    d.set("Trans", 0.4);
    d.set("Overlay", "1,3-5");
  });
  for (const key of INT_KEYS.filter((k) => k.startsWith("Do"))) assert.equal(stored.get(key).value, 1, key);
  assert.equal(stored.get("Min").value, 2.5);
  assert.equal(stored.get("MinP").value, 0.001);
  assert.equal(stored.get("ClusterSize").value, 13);
  assert.equal(stored.get("UseCluster").value, 0);
  assert.equal(stored.get("PNB").value, 1);
  assert.equal(stored.get("Trans").value, 0.4);
  assert.equal(stored.get("Overlay").value, "1,3-5");
});

test("values a 32-bit store cannot hold are brought into range", () => {
  const { stored } = run((d) => {
    d.set("ClusterSize", 1e12);
    d.set("Max", "not a number");
    d.set("Min", -1e300);
    d.set("Overlay", "1,".repeat(400));
  });
  assert.equal(stored.get("ClusterSize").value, 2147483647);
  assert.equal(stored.get("Max").value, 8);
  assert.ok(stored.get("Min").value >= -3.4028234e38);
  assert.equal(stored.get("Overlay").value.length, 511);
});

test("the overlay text is cut at 511 bytes of UTF-8, between characters", () => {
  const emoji = "\u{1F600}"; // four bytes, a surrogate pair
  for (const [typed, kept] of [
    ["1,3-5 \u00e9\u5730" + emoji, "1,3-5 \u00e9\u5730" + emoji],
    ["1" + "\u00e9".repeat(255), "1" + "\u00e9".repeat(255)], // 511 bytes: whole
    ["12" + "\u00e9".repeat(255), "12" + "\u00e9".repeat(254)],
    ["\u00e9".repeat(300), "\u00e9".repeat(255)],
    ["a" + "\u5730".repeat(170), "a" + "\u5730".repeat(170)],
    ["ab" + "\u5730".repeat(170), "ab" + "\u5730".repeat(169)],
    ["abc" + emoji.repeat(127), "abc" + emoji.repeat(127)],
    ["abcd" + emoji.repeat(127), "abcd" + emoji.repeat(126)],
    [emoji.repeat(200), emoji.repeat(127)], // 254 UTF-16 units
    ["\ud800".repeat(200), "\ud800".repeat(170)], // a lone surrogate: three bytes
  ]) {
    const { stored } = run((d) => d.set("Overlay", typed));
    const text = stored.get("Overlay").value;
    assert.equal(text, kept, `${typed.length} units typed, ${text.length} kept`);
    assert.ok(Buffer.byteLength(text, "utf8") <= 511);
  }
});

test("each choice control offers the three signs", () => {
  const { dialog } = run();
  const pnb = dialog.controls.get("PNB");
  assert.equal(pnb.kind, "choice");
  assert.equal(pnb.extra.length, 3);
});

test("a ticked p box sets the lower threshold from p, with or without the threshold box", () => {
  const cases = [
    { min: false, p: false, stored: [0, 0] },
    { min: true, p: false, stored: [1, 0] },
    { min: false, p: true, stored: [1, 1] },
    { min: true, p: true, stored: [1, 1] },
  ];
  for (const { min, p, stored: [doSetMin, doSetMinP] } of cases) {
    const { stored } = run((d) => {
      d.set("DoSetMin", min);
      d.set("DoSetMinP", p);
    });
    assert.equal(stored.get("DoSetMin").value, doSetMin, `threshold box ${min}, p box ${p}`);
    assert.equal(stored.get("DoSetMinP").value, doSetMinP, `threshold box ${min}, p box ${p}`);
  }
});

test("the p field takes any p strictly between 0 and 1, small ones included", () => {
  const { dialog } = run();
  const limits = dialog.controls.get("MinP").extra;
  assert.equal(limits.min, 0);
  assert.equal(limits.max, 1);
  assert.equal(limits.exclusive, true);
  for (const [typed, expected] of [[1e-8, 1e-8], [0.05, 0.05], [2.5e-30, 2.5e-30], [0.999999, 0.999999],
    [1.23456789e-12, 1.23457e-12]]) {
    const { stored } = run((d) => {
      d.set("DoSetMinP", true);
      d.set("MinP", typed);
    });
    assert.equal(stored.get("MinP").value, expected, `typed ${typed}`);
  }
});

test("a p outside (0, 1) from a host that ignores the limits is brought inside", () => {
  for (const [given, expected] of [[0, 1.401298464324817e-45], [-3, 1.401298464324817e-45],
    [1, 0.9999999403953552], [42, 0.9999999403953552], [Infinity, 0.9999999403953552],
    ["not a number", 0.05], [1e-8, 1e-8]]) {
    const { stored } = run((d) => d.setRaw("MinP", given));
    const p = stored.get("MinP").value;
    assert.equal(p, expected, `given ${given}`);
    assert.ok(p > 0 && p < 1 && Math.fround(p) > 0 && Math.fround(p) < 1, `given ${given}: ${p}`);
  }
});

// A careless host may hand a cleared field as "" or null: every number field,
// and the sign's index, stores its default for what is not a number, and the
// nearest of its limits for a number beyond them.
test("a value that is not a number stores the default, one beyond the limits the nearest limit", () => {
  const fields = [
    ["Min", 3, [[-Infinity, -3.4028234e38], ["12.5", 12.5]]],
    ["MinP", 0.05, [[0, 1.401298464324817e-45], [1, 0.9999999403953552]]],
    ["Max", 8, [[1e39, 3.4028234e38]]],
    ["ClusterSize", 25, [[-5, 0], [" 7 ", 7]]],
    ["PNB", 2, [[-1, 0], [7, 2]]],
    ["Trans", 1, [[-0.5, 0], [1.5, 1]]],
  ];
  for (const [key, initial, beyond] of fields) {
    const cases = ["", "  ", null, undefined, "none", NaN].map((given) => [given, initial]).concat(beyond);
    for (const [given, expected] of cases) {
      const { stored } = run((d) => d.setRaw(key, given));
      assert.equal(stored.get(key).value, expected, `${key} given ${JSON.stringify(given) ?? given}`);
    }
  }
});

// The key table of the build (binding/option_keys.h), as tests/js/option_table.cpp prints it.
function keyTable() {
  const program = process.env.KELVANE_OPTION_TABLE;
  assert.ok(program, "KELVANE_OPTION_TABLE names the build's option_table program (ctest sets it)");
  return JSON.parse(execFileSync(program, { encoding: "utf8" }));
}

test("the script's keys, types, defaults and limits are the key table's", () => {
  const table = keyTable();
  const { dialog, stored } = run();
  assert.deepEqual([...dialog.controls.keys()], table.map((key) => key.name));
  const storedAs = { "switch 0/1": "int", integer: "int", float: "float", text: "string" };
  for (const key of table) {
    const control = dialog.controls.get(key.name);
    assert.equal(stored.get(key.name).type, storedAs[key.type], key.name);
    // An unchanged dialog stores the default it shows.
    assert.equal(String(stored.get(key.name).value), key.initial, key.name);
    const limits = control.kind === "number" ? control.extra
      : control.kind === "choice" ? { min: 0, max: control.extra.length - 1 } : {};
    if (control.kind === "number" || control.kind === "choice") {
      assert.deepEqual([limits.min ?? null, limits.max ?? null, Boolean(limits.exclusive)],
        [key.low, key.high, key.open], key.name);
      assert.equal(Boolean(limits.integer) || control.kind === "choice", key.type === "integer", key.name);
    }
    // The meaning --help shows states the limits in the dialog's words.
    if (key.low !== null && key.type !== "text") {
      const words = key.open ? `strictly between ${key.low} and ${key.high}`
        : key.high === null ? `${key.low} or more` : `${key.low} to ${key.high}`;
      assert.ok(key.meaning.includes(words), `${key.name}: "${key.meaning}" lacks "${words}"`);
    }
  }
  const overlay = table.find((key) => key.type === "text");
  const { stored: long } = run((d) => d.set(overlay.name, "x".repeat(2 * overlay.high)));
  assert.equal(Buffer.byteLength(long.get(overlay.name).value, "utf8"), overlay.high);
});

// The host program's tests take this file as the dialog's own output (every
// key, nothing to warn of): it is what the script stores with one box ticked.
test("tests/cli/data/dialog_defaults.json is what the dialog stores", () => {
  const file = path.join(__dirname, "..", "cli", "data", "dialog_defaults.json");
  const { stored } = run((d) => d.set("DoSetMin", true));
  assert.deepEqual(JSON.parse(require("node:fs").readFileSync(file, "utf8")),
    Object.fromEntries([...stored].map(([key, { value }]) => [key, value])));
});
