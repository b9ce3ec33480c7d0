// Reading pictures without trusting what their files claim. Qt sets no limit
// on the memory a decoder takes: a file of a few hundred bytes can state a
// size of 40000 x 40000 and have 6 GB allocated for it. So the size comes
// from the header before any pixel is decoded, a picture beyond the limits is
// not decoded at all, and a picture shown small is decoded small.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace picture {

// 100 megapixels take 400 MB decoded, more than a phone photo (12 to 50
// megapixels) or a scanned page needs; a side beyond 20,000 pixels is a strip
// no screen shows.
constexpr qint64 kMaxPixels = 100 * 1000 * 1000;
constexpr int kMaxSide = 20000;

enum class Problem { None, Unreadable, TooLarge, Incomplete };

struct Picture {
    QImage image;  // upright; null unless problem is None
    Problem problem = Problem::None;
    QSize claimed;  // the size its header states, as stored; invalid when unknown
};

// Whether a picture of the stated size may be decoded.
bool withinLimits(const QSize& size);

// Reads the picture at `path` upright (a camera's orientation tag applied)
// into an image of its own. A file shorter than its header says is
// Incomplete: some readers report success for it and leave rows unwritten.
// With a valid `box` the picture is fitted inside it, never enlarged: a JPEG
// is decoded at that size, any other format decoded once and reduced band by
// band, so it never costs a second copy at full size.
Picture read(const QString& path, const QSize& box = QSize());

// Why the picture cannot be used, short and in Chinese, for the window;
// empty for a picture without a problem.
QString problemText(const Picture& picture);

}  // namespace picture
