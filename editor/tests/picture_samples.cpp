#include "picture_samples.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QtEndian>

#include <array>

namespace {

quint32 crc32(const QByteArray& bytes) {
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xffffffffu;
    for (const char byte : bytes)
        c = table[(c ^ quint8(byte)) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

QByteArray bigEndian32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char* type, const QByteArray& data) {
    const QByteArray typed = QByteArray(type) + data;
    return bigEndian32(quint32(data.size())) + typed + bigEndian32(crc32(typed));
}

// Rows of a 1-bit picture, each with its filter byte, as the PNG data stream.
QByteArray pngFile(const QSize& size, const QByteArray& rows) {
    QByteArray header = bigEndian32(quint32(size.width())) + bigEndian32(quint32(size.height()));
    header.append(char(1)).append(char(0)).append(3, '\0');  // 1 bit, grey, no interlace
    // qCompress puts the length before the zlib stream.
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) +
           chunk("IDAT", qCompress(rows).mid(4)) + chunk("IEND", {});
}

}  // namespace

// An APP1 segment holding a big-endian TIFF header and one IFD with the
// Orientation tag (0x0112, SHORT, one value), as cameras write it.
QByteArray exifOrientation(quint16 orientation) {
    QByteArray tiff("MM\x00\x2a\x00\x00\x00\x08", 8);    // header, IFD at 8
    tiff.append("\x00\x01", 2);                          // one entry
    tiff.append("\x01\x12\x00\x03\x00\x00\x00\x01", 8);  // tag, type, count
    tiff.append(char(orientation >> 8)).append(char(orientation & 0xff)).append("\x00\x00", 2);
    tiff.append("\x00\x00\x00\x00", 4);  // no next IFD
    const QByteArray payload = QByteArray("Exif\x00\x00", 6) + tiff;
    const int length = payload.size() + 2;
    QByteArray segment("\xff\xe1", 2);
    segment.append(char(length >> 8)).append(char(length & 0xff));
    return segment + payload;
}

// The JPEG encoding of picture with the segment placed after its JFIF header.
QByteArray jpegWithSegment(const QImage& picture, const QByteArray& segment) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "JPEG", 95))
        return {};
    // SOI, then APP0 (FF E0, its length counts the two length bytes).
    if (jpeg.size() < 6 || uchar(jpeg[2]) != 0xff || uchar(jpeg[3]) != 0xe0)
        return {};
    const int app0End = 4 + (uchar(jpeg[4]) << 8 | uchar(jpeg[5]));
    return jpeg.left(app0End) + segment + jpeg.mid(app0End);
}

QByteArray jpegClaiming(const QSize& claimed, bool progressive) {
    QImage small(16, 16, QImage::Format_RGB32);
    small.fill(Qt::darkCyan);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(small))
        return {};
    // Segments after the start marker: FF, type, big-endian length; the frame
    // header (C0 baseline, C2 progressive) holds precision, height, width.
    for (int at = 2; at + 9 < jpeg.size();) {
        const quint8 type = quint8(jpeg[at + 1]);
        if (type == 0xc0 || type == 0xc2) {
            qToBigEndian(quint16(claimed.height()), jpeg.data() + at + 5);
            qToBigEndian(quint16(claimed.width()), jpeg.data() + at + 7);
            return jpeg;
        }
        at += 2 + qFromBigEndian<quint16>(jpeg.constData() + at + 2);
    }
    return {};
}

QByteArray pngClaiming(const QSize& claimed) {
    const int rowBytes = 1 + (claimed.width() + 7) / 8;
    return pngFile(claimed, QByteArray(rowBytes * 4, '\0'));
}

QByteArray monochromePng(const QSize& size) {
    const int rowBytes = (size.width() + 7) / 8;
    QByteArray row(1 + rowBytes, '\0');
    for (int x = 0; x < size.width() / 2; ++x)
        row[1 + x / 8] = char(quint8(row[1 + x / 8]) | (0x80 >> (x % 8)));
    return pngFile(size, row.repeated(size.height()));
}

qint64 peakKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void resetPeak() {
    // "5" resets the high-water mark to the current resident size.
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}
