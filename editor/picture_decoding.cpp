#include "picture_decoding.h"

#include <QFile>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <vector>

namespace picture {

namespace {

// Counts reads that found the end of the file. A decoder of the formats
// below reads no further than its picture's data; if it still asks for
// more, the file ended early (a JPEG reader then fills the rest with grey).
class WatchedFile : public QFile {
public:
    using QFile::QFile;
    int readsAtEnd = 0;

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 got = QFile::readData(data, maxSize);
        if (got == 0 && maxSize > 0)
            ++readsAtEnd;
        return got;
    }
};

bool stopsAtItsEnd(const QByteArray& format) {
    static const QList<QByteArray> formats = {"jpeg", "jpg", "png", "bmp", "ico",
                                              "cur",  "pbm", "pgm", "ppm"};
    return formats.contains(format);
}

// The smallest file an uncompressed BMP fits in, from its headers; 0 when the
// headers do not tell (compressed data, or not a BMP). Qt's BMP reader stops
// at the end of a shorter file, reports success and leaves the rows unread.
qint64 bmpBytesNeeded(const QByteArray& head) {
    if (head.size() < 30 || !head.startsWith("BM"))
        return 0;
    const auto at = [&](int offset) { return head.constData() + offset; };
    const qint64 dataAt = qFromLittleEndian<quint32>(at(10));
    const qint64 headerSize = qFromLittleEndian<quint32>(at(14));
    qint64 width = 0, height = 0, bits = 0, compression = 0;
    if (headerSize == 12) {  // OS/2
        width = qFromLittleEndian<quint16>(at(18));
        height = qFromLittleEndian<quint16>(at(20));
        bits = qFromLittleEndian<quint16>(at(24));
    } else if (headerSize >= 40 && head.size() >= 34) {
        width = qFromLittleEndian<qint32>(at(18));
        height = qAbs(qint64(qFromLittleEndian<qint32>(at(22))));  // negative: top-down
        bits = qFromLittleEndian<quint16>(at(28));
        compression = qFromLittleEndian<quint32>(at(30));
    } else {
        return 0;
    }
    // Plain pixels, or plain pixels with colour masks.
    if (compression != 0 && compression != 3 && compression != 6)
        return 0;
    const qint64 rowBytes = (width * bits + 31) / 32 * 4;
    return std::max(dataAt, 14 + headerSize) + rowBytes * height;
}

// The size Qt's GIF reader allocates (and clears) for a GIF's first frame:
// the logical screen the file states, unless that is absurd next to the frame
// or zero, then the frame's extent. Its size() tells only the first frame's
// size, so 250 bytes could have 42 x 65310 or 16000 x 16000 pixels allocated.
// Invalid when the bytes are no GIF or end before the first frame.
QSize gifCanvas(const uchar* data, qint64 size) {
    if (size < 13 || (memcmp(data, "GIF87a", 6) != 0 && memcmp(data, "GIF89a", 6) != 0))
        return {};
    const auto word = [&](qint64 at) { return int(qFromLittleEndian<quint16>(data + at)); };
    qint64 at = 13;
    if (data[10] & 0x80)
        at += 3 << ((data[10] & 7) + 1);
    // Extensions (a label, then sub-blocks) until the first frame.
    while (at + 1 < size && data[at] == 0x21) {
        at += 2;
        while (at < size && data[at] != 0)
            at += 1 + data[at];
        ++at;
    }
    if (at + 10 > size || data[at] != 0x2C)
        return {};
    int width = word(6), height = word(8);
    const int left = word(at + 1), top = word(at + 3);
    const int frameWidth = word(at + 5), frameHeight = word(at + 7);
    if (width / 10 > std::max(frameWidth, 16384) || width <= 0)
        width = left + frameWidth;
    if (height / 10 > std::max(frameHeight, 16384) || height <= 0)
        height = top + frameHeight;
    return QSize(width, height);
}

// Formats whose decoder itself produces fewer pixels when asked for a smaller
// size. The others (PNG among them, although it accepts a scaled size) decode
// everything and scale afterwards, through a 32-bit copy of the whole picture.
bool decodesScaled(const QByteArray& format) {
    return format == "jpeg" || format == "jpg" || format == "svg" || format == "svgz";
}

// The size inside `box` with the picture's proportions, never larger than the
// picture, at least one pixel a side.
QSize fitted(const QSize& size, const QSize& box) {
    if (size.width() <= box.width() && size.height() <= box.height())
        return size;
    const QSize inside = size.scaled(box, Qt::KeepAspectRatio);
    return inside.expandedTo(QSize(1, 1));
}

// Averages blocks of factor x factor pixels, converting one band of `factor`
// rows to 32 bits at a time: a 1-bit picture of 100 megapixels never becomes
// 400 MB of 32-bit pixels.
QImage reduceByBlocks(const QImage& source, int factor) {
    const int width = (source.width() + factor - 1) / factor;
    const int height = (source.height() + factor - 1) / factor;
    QImage result(
        width, height,
        source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (result.isNull())
        return {};
    std::vector<quint64> sums(size_t(width) * 4);
    for (int y = 0; y < height; ++y) {
        const int top = y * factor;
        const int rows = std::min(factor, source.height() - top);
        const QImage band = source.copy(0, top, source.width(), rows)
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (band.isNull())
            return {};
        std::fill(sums.begin(), sums.end(), 0);
        for (int r = 0; r < rows; ++r) {
            const QRgb* line = reinterpret_cast<const QRgb*>(band.constScanLine(r));
            for (int block = 0; block < width; ++block) {
                quint64* sum = &sums[size_t(block) * 4];
                const int end = std::min(source.width(), (block + 1) * factor);
                for (int x = block * factor; x < end; ++x) {
                    sum[0] += quint64(qRed(line[x]));
                    sum[1] += quint64(qGreen(line[x]));
                    sum[2] += quint64(qBlue(line[x]));
                    sum[3] += quint64(qAlpha(line[x]));
                }
            }
        }
        QRgb* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int block = 0; block < width; ++block) {
            const quint64* sum = &sums[size_t(block) * 4];
            const quint64 count =
                quint64(std::min(factor, source.width() - block * factor)) * quint64(rows);
            out[block] = qRgba(int(sum[0] / count), int(sum[1] / count), int(sum[2] / count),
                               int(sum[3] / count));
        }
    }
    return result;
}

// A decoded picture brought to `target`: whole blocks first where it is at
// least twice as large, so the smooth scaling that follows works on a copy
// about the size of the target.
QImage shrink(const QImage& image, const QSize& target) {
    if (image.size() == target)
        return image;
    const int factor = std::min(image.width() / target.width(), image.height() / target.height());
    const QImage reduced = factor >= 2 ? reduceByBlocks(image, factor) : image;
    if (reduced.isNull())
        return {};
    return reduced.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

bool withinLimits(const QSize& size) {
    return size.width() <= kMaxSide && size.height() <= kMaxSide &&
           qint64(size.width()) * size.height() <= kMaxPixels;
}

Picture read(const QString& path, const QSize& box) {
    Picture picture;
    // Unbuffered, so every read the decoder asks for reaches readData.
    WatchedFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        picture.problem = Problem::Unreadable;
        return picture;
    }
    const qint64 needed = bmpBytesNeeded(file.read(34));
    if (!file.seek(0)) {
        picture.problem = Problem::Unreadable;
        return picture;
    }
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    // Only the header has been read so far.
    picture.claimed = reader.size();
    if (picture.claimed.isEmpty()) {
        picture.problem = Problem::Unreadable;
        return picture;
    }
    // Asked now: once the picture is read, the reader no longer tells.
    const QByteArray format = reader.format();
    if (format == "gif") {
        const qint64 size = file.size();
        if (const uchar* bytes = file.map(0, size)) {
            const QSize canvas = gifCanvas(bytes, size);
            file.unmap(const_cast<uchar*>(bytes));
            if (canvas.isValid() && !withinLimits(canvas)) {
                picture.claimed = canvas;
                picture.problem = Problem::TooLarge;
                return picture;
            }
        }
    }
    if (!withinLimits(picture.claimed)) {
        picture.problem = Problem::TooLarge;
        return picture;
    }
    if (file.size() < needed) {
        picture.problem = Problem::Incomplete;
        return picture;
    }

    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize upright = turned ? picture.claimed.transposed() : picture.claimed;
    const QSize target = box.isValid() ? fitted(upright, box) : upright;
    const bool scaledWhileDecoding = target != upright && decodesScaled(format);
    if (scaledWhileDecoding)
        reader.setScaledSize(turned ? target.transposed() : target);
    // A fresh image: nothing of an earlier picture can show through.
    QImage image;
    file.readsAtEnd = 0;
    if (!reader.read(&image)) {
        picture.problem = Problem::Unreadable;
        return picture;
    }
    if (file.readsAtEnd > 0 && stopsAtItsEnd(format)) {
        picture.problem = Problem::Incomplete;
        return picture;
    }
    // A picture larger than its header claimed (a GIF's frame beyond its
    // screen) escaped the limits that the claim was checked against.
    if (!scaledWhileDecoding &&
        qint64(image.width()) * image.height() > qint64(upright.width()) * upright.height()) {
        picture.problem = Problem::Unreadable;
        return picture;
    }
    if (!scaledWhileDecoding && target != upright)
        image = shrink(image, target);
    if (image.isNull()) {
        picture.problem = Problem::Unreadable;
        return picture;
    }
    picture.image = image;
    return picture;
}

QString problemText(const Picture& picture) {
    switch (picture.problem) {
        case Problem::None:
            return {};
        case Problem::TooLarge:
            return QStringLiteral("图片过大：%1×%2")
                .arg(picture.claimed.width())
                .arg(picture.claimed.height());
        case Problem::Incomplete:
            return QStringLiteral("文件不完整");
        case Problem::Unreadable:
            break;
    }
    return QStringLiteral("无法读取");
}

}  // namespace picture
