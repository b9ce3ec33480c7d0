.pragma library
// One instance per engine, so the editor window and the player share it.

// The MouseAreaEx most recently entered or pressed, or null.
var currenMouseArea = null;
