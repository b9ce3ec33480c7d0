.pragma library
// Times of track entries in whole seconds, as the windows show and read them,
// and the search that keeps the track lists ordered by time.

function twoDigits(value) {
    var text = String(value);
    return text.length < 2 ? "0" + text : text;
}

// "hh:mm:ss"; hours grow past two digits.
function timeTickToString(timeTick) {
    var hours = Math.floor(timeTick / 3600);
    var rest = timeTick % 3600;
    return twoDigits(hours) + ":" + twoDigits(Math.floor(rest / 60)) + ":" + twoDigits(rest % 60);
}

// "mm:ss"; minutes grow past two digits.
function minutesToString(time) {
    var minutes = Math.floor(time / 60);
    var seconds = time % 60;
    return (minutes <= 9 ? "0" : "") + minutes + ":" + (seconds <= 9 ? "0" : "") + seconds;
}

// Reads "h:m:s" (fields not range-checked). Returns NaN when a field holds no
// number; callers treat that as no change.
function parseTimeTick(text) {
    var first = text.indexOf(":");
    var last = text.lastIndexOf(":");
    if (first < 0)
        return NaN;
    var hours = parseInt(text.substring(0, first), 10);
    var minutes = parseInt(text.substring(first + 1, last), 10);
    var seconds = parseInt(text.substring(last + 1), 10);
    if (isNaN(hours) || isNaN(minutes) || isNaN(seconds))
        return NaN;
    return (hours * 60 + minutes) * 60 + seconds;
}

// Position in `model` (ordered by `role`) before the first entry whose `role`
// is >= value, or model.count when there is none: where a new entry goes so
// that it follows the entries of an earlier time and precedes those of the same.
function insertionIndex(model, role, value) {
    var lo = 0;
    var hi = model.count;
    while (lo < hi) {
        var mid = (lo + hi) >> 1;
        if (model.get(mid)[role] >= value)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}
