.pragma library
// Pixel statistics over a grab (TestCase.grabImage) of w x h pixels.

// Highest value of one channel ("red", "green" or "blue").
function maxChannel(image, w, h, channel) {
    var best = 0;
    for (var y = 0; y < h; ++y)
        for (var x = 0; x < w; ++x)
            best = Math.max(best, image[channel](x, y));
    return best;
}

// Number of pixels within `tolerance` of the colour (r, g, b).
function countNear(image, w, h, r, g, b, tolerance) {
    var count = 0;
    for (var y = 0; y < h; ++y) {
        for (var x = 0; x < w; ++x) {
            if (Math.abs(image.red(x, y) - r) <= tolerance && Math.abs(image.green(x, y) - g) <= tolerance
                    && Math.abs(image.blue(x, y) - b) <= tolerance)
                ++count;
        }
    }
    return count;
}
