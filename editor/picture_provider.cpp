#include "picture_provider.h"
#include "picture_gate.h"

#include "picture_decoding.h"

#include <QFont>
#include <QPainter>
#include <QUrl>

#include <algorithm>

namespace {

// Shown where a picture is not decoded: a light field with a struck-out
// picture (frame, hill and sun) and the reason under it.
QImage placeholder(const QSize& size, const QString& reason) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0xEE, 0xF1, 0xF0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::max(8, std::min(size.width(), size.height()) / 4);
    const QRectF mark(size.width() / 2.0 - side / 2.0, size.height() / 2.0 - side * 0.75, side,
                      side * 0.75);
    painter.setPen(QPen(QColor(0x9A, 0xA3, 0xA1), std::max(1.0, side / 20.0)));
    painter.drawRect(mark);
    const QPointF hill[] = {{mark.left(), mark.bottom()},
                            {mark.left() + side * 0.35, mark.top() + side * 0.35},
                            {mark.left() + side * 0.6, mark.bottom() - side * 0.2},
                            {mark.left() + side * 0.75, mark.top() + side * 0.5},
                            {mark.right(), mark.bottom()}};
    painter.drawPolyline(hill, 5);
    painter.drawEllipse(QPointF(mark.right() - side * 0.2, mark.top() + side * 0.18), side * 0.08,
                        side * 0.08);
    painter.drawLine(mark.topRight() + QPointF(side * 0.1, -side * 0.1),
                     mark.bottomLeft() + QPointF(-side * 0.1, side * 0.1));
    QFont font;
    font.setPixelSize(std::max(10, size.height() / 12));
    painter.setFont(font);
    const QRectF below(0, mark.bottom() + side / 8.0, size.width(), size.height() - mark.bottom());
    painter.drawText(below, Qt::AlignHCenter | Qt::AlignTop, reason);
    return image;
}

}  // namespace

PictureProvider::PictureProvider()
    : QQuickImageProvider(QQuickImageProvider::Image,
                          QQmlImageProviderBase::ForceAsynchronousImageLoading) {}

QImage PictureProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    const QUrl url(id);
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    const QSize box =
        requestedSize.width() > 0 && requestedSize.height() > 0 ? requestedSize : QSize();
    // A long track's pictures may still be on their way into the store.
    picturegate::waitFor(path);
    const picture::Picture read = picture::read(path, box);
    QImage image = read.image;
    // A missing or broken file shows nothing, as a failed Image does.
    if (read.problem == picture::Problem::TooLarge || read.problem == picture::Problem::Incomplete)
        image = placeholder(box.isValid() ? box : QSize(320, 240), picture::problemText(read));
    if (size)
        *size = image.size();
    return image;
}
