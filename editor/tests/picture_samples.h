// Pictures that lie about themselves, written byte by byte for the tests of
// picture reading: files of a few hundred bytes whose headers claim sizes that
// would take gigabytes to decode, and the process's memory high-water mark
// to see that they were not decoded.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QtGlobal>

class QImage;

// An APP1 segment holding a camera's orientation tag (1 to 8).
QByteArray exifOrientation(quint16 orientation);
// The JPEG encoding of picture with the segment placed after its JFIF header.
QByteArray jpegWithSegment(const QImage& picture, const QByteArray& segment);
// A small JPEG whose frame header states `claimed` (baseline or progressive).
QByteArray jpegClaiming(const QSize& claimed, bool progressive = false);
// A 1-bit grey PNG whose header states `claimed`; its data holds a few rows.
QByteArray pngClaiming(const QSize& claimed);
// A valid 1-bit grey PNG of the given size, all black but for a white left half.
QByteArray monochromePng(const QSize& size);

// Peak resident memory of this process since the last resetPeak(), in KiB.
qint64 peakKib();
void resetPeak();
