// Kelvane's dialog. The host builds the dialog from this script, lets the user
// choose, and on OK stores the key table's values in its parameter store, where
// the plugin reads them. Written against the small dialog interface described
// in docs/dialog-interface.md; plain ECMAScript 5 so that any host engine
// runs it. Its keys, defaults and limits are those of the key table,
// binding/option_keys.h: tests/js/dialog.test.js holds the two together.
var Kelvane = (function () {
  "use strict";

  var SIGN_CHOICES = ["Positive values", "Negative values", "Both (positive and negative)"];

  // One row per property: the switch that says "change it", then its value.
  function buildDialog(dialog) {
    dialog.addCheckBox("DoSetMin", "Set the lower threshold", false);
    dialog.addNumberField("Min", "Lower threshold", 3.0, { decimals: 2 });
    // Ticking this box alone sets the lower threshold too (see storeChoices).
    dialog.addCheckBox("DoSetMinP", "Give the lower threshold as a two-tailed p value (t maps)", false);
    // Significant digits rather than decimals, so that a p such as 1e-8 can be
    // typed and shown; 0 and 1 themselves are not p values a threshold can use.
    dialog.addNumberField("MinP", "p value (between 0 and 1)", 0.05,
      { significant: 6, min: 0, max: 1, exclusive: true });

    dialog.addCheckBox("DoSetMax", "Set the upper threshold", false);
    dialog.addNumberField("Max", "Upper threshold", 8.0, { decimals: 2 });

    dialog.addCheckBox("DoClusterSize", "Set the cluster-size threshold", false);
    dialog.addNumberField("ClusterSize", "Cluster size (voxels)", 25, { integer: true, min: 0 });

    dialog.addCheckBox("DoUseClusterSize", "Change whether the cluster-size threshold is applied", false);
    dialog.addCheckBox("UseCluster", "Apply the cluster-size threshold", true);

    dialog.addCheckBox("DoShowPosNegBoth", "Change which values are shown", false);
    dialog.addChoice("PNB", "Show", SIGN_CHOICES, 2);

    dialog.addCheckBox("DoTransparancy", "Set the transparency", false);
    dialog.addNumberField("Trans", "Transparency factor", 1.0, { decimals: 2, min: 0, max: 1 });

    dialog.addCheckBox("DoOverlayMaps", "Choose which maps are overlaid", false);
    dialog.addTextField("Overlay", "Maps (for example 1,3-5 or 4- or All)", "All");
  }

  function toInt32(value) {
    var number = Math.round(Number(value));
    if (!isFinite(number)) return 0;
    return Math.max(-2147483648, Math.min(2147483647, number));
  }

  // Floats outside the 32-bit range would not survive the host's store.
  function toFloat(value) {
    var number = Number(value);
    if (!isFinite(number)) return 0;
    return Math.max(-3.4028234e38, Math.min(3.4028234e38, number));
  }

  // The p value strictly inside (0, 1) as a 32-bit float holds it, for a host
  // that does not enforce the field's limits: the smallest positive float and
  // the largest float below 1 are the nearest values the plugin can use.
  var SMALLEST_P = 1.401298464324817e-45;
  var LARGEST_P = 0.9999999403953552;
  function toP(value) {
    var number = Number(value);
    if (isNaN(number)) return 0.05;
    return Math.max(SMALLEST_P, Math.min(LARGEST_P, number));
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
    store.setFloat("Min", toFloat(dialog.value("Min")));
    store.setInt("DoSetMinP", fromP ? 1 : 0);
    store.setFloat("MinP", toP(dialog.value("MinP")));
    storeSwitch(dialog, store, "DoSetMax");
    store.setFloat("Max", toFloat(dialog.value("Max")));
    storeSwitch(dialog, store, "DoClusterSize");
    store.setInt("ClusterSize", toInt32(dialog.value("ClusterSize")));
    storeSwitch(dialog, store, "DoUseClusterSize");
    storeSwitch(dialog, store, "UseCluster");
    storeSwitch(dialog, store, "DoShowPosNegBoth");
    store.setInt("PNB", toInt32(dialog.value("PNB")));
    storeSwitch(dialog, store, "DoTransparancy");
    store.setFloat("Trans", toFloat(dialog.value("Trans")));
    storeSwitch(dialog, store, "DoOverlayMaps");
    // The host's buffer holds 511 bytes of text.
    store.setString("Overlay", cutToUtf8Bytes(String(dialog.value("Overlay")), 511));
  }

  return { buildDialog: buildDialog, storeChoices: storeChoices };
})();

if (typeof module !== "undefined" && module.exports) {
  module.exports = Kelvane;
}
