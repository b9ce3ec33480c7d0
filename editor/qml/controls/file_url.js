.pragma library
// Pictures as URLs that any file name survives.

// `text` is a file URL (kept as it is) or a local path, "/" or "\" separated,
// with or without a drive ("C:/…"). A path becomes "file:///" followed by its
// segments, each percent-encoded, so that "#", "?" and "%" in a name stay part
// of the name instead of starting a fragment, a query or an escape.
function fromPathOrUrl(text) {
    var value = String(text);
    if (/^file:/i.test(value))
        return value;
    var segments = value.replace(/\\/g, "/").replace(/^\/+/, "").split("/");
    for (var k = 0; k < segments.length; ++k) {
        // A drive letter stays readable: "C:" is no segment of a name.
        if (!(k === 0 && /^[A-Za-z]:$/.test(segments[k])))
            segments[k] = encodeURIComponent(segments[k]);
    }
    return "file:///" + segments.join("/");
}
