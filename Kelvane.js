// Kelvane's dialog. The host builds the dialog from this script, lets the user
// choose, and on OK stores the key table's values in its parameter store, where
// the plugin reads them. Written against the small dialog interface described
// in docs/dialog-interface.md; plain ECMAScript 5 so that any host engine
// runs it. Its keys, defaults and limits are those of the key table,
// binding/option_keys.h: tests/js/dialog.test.js holds the two together.
var Kelvane = (function () {
  "use strict";

  var SIGN_CHOICES = ["Positive values", "Negative values", "Both (positive and negative)"];

  // Each number field once: its label, its default and its limits.
  var NUMBER_FIELDS = {
    Min: { label: "Lower threshold", initial: 3.0, limits: { decimals: 2 } },
    // Significant digits rather than decimals, so that a p such as 1e-8 can be
    // typed and shown. 0 and 1 themselves are not p values a threshold can
    // use: inside names the nearest 32-bit floats the field stores.
    MinP: { label: "p value (between 0 and 1)", initial: 0.05,
      limits: { significant: 6, min: 0, max: 1, exclusive: true },
      inside: [1.401298464324817e-45, 0.9999999403953552] },
    Max: { label: "Upper threshold", initial: 8.0, limits: { decimals: 2 } },
    ClusterSize: { label: "Cluster size (voxels)", initial: 25, limits: { integer: true, min: 0 } },
    Trans: { label: "Transparency factor", initial: 1.0, limits: { decimals: 2, min: 0, max: 1 } }
  };
  // The choice's value is an index, held to its items as a field to its limits.
  var SIGN_FIELD = { initial: 2, limits: { integer: true, min: 0, max: SIGN_CHOICES.length - 1 } };

  function addNumberField(dialog, key) {
    var field = NUMBER_FIELDS[key];
    dialog.addNumberField(key, field.label, field.initial, field.limits);
  }

  // One row per property: the switch that says "change it", then its value.
  function buildDialog(dialog) {
    dialog.addCheckBox("DoSetMin", "Set the lower threshold", false);
    addNumberField(dialog, "Min");
    // Ticking this box alone sets the lower threshold too (see storeChoices).
    dialog.addCheckBox("DoSetMinP", "Give the lower threshold as a two-tailed p value (t maps)", false);
    addNumberField(dialog, "MinP");

    dialog.addCheckBox("DoSetMax", "Set the upper threshold", false);
    addNumberField(dialog, "Max");

    dialog.addCheckBox("DoClusterSize", "Set the cluster-size threshold", false);
    addNumberField(dialog, "ClusterSize");

    dialog.addCheckBox("DoUseClusterSize", "Change whether the cluster-size threshold is applied", false);
    dialog.addCheckBox("UseCluster", "Apply the cluster-size threshold", true);

    dialog.addCheckBox("DoShowPosNegBoth", "Change which values are shown", false);
    dialog.addChoice("PNB", "Show", SIGN_CHOICES, SIGN_FIELD.initial);

    dialog.addCheckBox("DoTransparancy", "Set the transparency", false);
    addNumberField(dialog, "Trans");

    dialog.addCheckBox("DoOverlayMaps", "Choose which maps are overlaid", false);
    dialog.addTextField("Overlay", "Maps (for example 1,3-5 or 4- or All)", "All");
  }

  // What the host's 32-bit store holds.
  var INT_RANGE = [-2147483648, 2147483647];
  var FLOAT_RANGE = [-3.4028234e38, 3.4028234e38];

  // The value a field stores: its default for a value that is not a number
  // (Number would make "", blanks and null 0), else the number brought to the
  // nearest of its limits and of what the store holds.
  function storedNumber(field, value) {
    var number = typeof value === "number" ? value
      : typeof value === "string" && value.trim() !== "" ? Number(value) : NaN;
    if (isNaN(number)) return field.initial;
    var limits = field.limits;
    var range = limits.integer ? INT_RANGE : FLOAT_RANGE;
    var low = field.inside ? field.inside[0] : limits.min !== undefined ? limits.min : range[0];
    var high = field.inside ? field.inside[1] : limits.max !== undefined ? limits.max : range[1];
    if (limits.integer) number = Math.round(number);
    return Math.max(low, Math.min(high, number));
  }

  function storeNumber(dialog, store, key) {
    var field = NUMBER_FIELDS[key];
    var number = storedNumber(field, dialog.value(key));
    if (field.limits.integer) store.setInt(key, number);
    else store.setFloat(key, number);
  }

  // The longest start of text that fits in limit bytes of UTF-8, cut between
  // characters: a surrogate pair is one character of four bytes, a lone
  // surrogate one of three (as its replacement character).
  function cutToUtf8Bytes(text, limit) {
    var bytes = 0;
    for (var i = 0; i < text.length; i++) {
      var unit = text.charCodeAt(i);
      var next = i + 1 < text.length ? text.charCodeAt(i + 1) : 0;
      var pair = unit >= 0xd800 && unit <= 0xdbff && next >= 0xdc00 && next <= 0xdfff;
      var size = unit < 0x80 ? 1 : unit < 0x800 ? 2 : pair ? 4 : 3;
      if (bytes + size > limit) return text.substring(0, i);
      bytes += size;
      if (pair) i++;
    }
    return text;
  }

  function storeSwitch(dialog, store, key) {
    store.setInt(key, dialog.value(key) ? 1 : 0);
  }

  // Called when the user accepts the dialog, before the plugin runs.
  function storeChoices(dialog, store) {
    // The plugin takes the p value only together with DoSetMin, so a ticked p
    // box sets the lower threshold whether or not its own box is ticked.
    var fromP = Boolean(dialog.value("DoSetMinP"));
    store.setInt("DoSetMin", dialog.value("DoSetMin") || fromP ? 1 : 0);
    storeNumber(dialog, store, "Min");
    store.setInt("DoSetMinP", fromP ? 1 : 0);
    storeNumber(dialog, store, "MinP");
    storeSwitch(dialog, store, "DoSetMax");
    storeNumber(dialog, store, "Max");
    storeSwitch(dialog, store, "DoClusterSize");
    storeNumber(dialog, store, "ClusterSize");
    storeSwitch(dialog, store, "DoUseClusterSize");
    storeSwitch(dialog, store, "UseCluster");
    storeSwitch(dialog, store, "DoShowPosNegBoth");
    store.setInt("PNB", storedNumber(SIGN_FIELD, dialog.value("PNB")));
    storeSwitch(dialog, store, "DoTransparancy");
    storeNumber(dialog, store, "Trans");
    storeSwitch(dialog, store, "DoOverlayMaps");
    // The host's buffer holds 511 bytes of text.
    store.setString("Overlay", cutToUtf8Bytes(String(dialog.value("Overlay")), 511));
  }

  return { buildDialog: buildDialog, storeChoices: storeChoices };
})();

if (typeof module !== "undefined" && module.exports) {
  module.exports = Kelvane;
}
