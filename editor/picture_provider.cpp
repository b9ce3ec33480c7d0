#include "picture_provider.h"

#include "picture_decoding.h"

#include <QFont>
#include <QPainter>
#include <QUrl>

#include <algorithm>

namespace {

// Shown where a picture is not decoded: a light field with a crossed frame
// and the reason under it.
QImage placeholder(const QSize& size, const QString& reason) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0xEE, 0xF1, 0xF0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x9A, 0xA3, 0xA1);
    const int side = std::max(8, std::min(size.width(), size.height()) / 4);
    const QRect mark(size.width() / 2 - side / 2, size.height() / 2 - side * 3 / 4, side,
                     side * 3 / 4);
    painter.setPen(QPen(ink, std::max(1, side / 16)));
    painter.drawRect(mark);
    painter.drawLine(mark.topLeft(), mark.bottomRight());
    painter.drawLine(mark.bottomLeft(), mark.topRight());
    QFont font;
    font.setPixelSize(std::max(10, size.height() / 12));
    painter.setFont(font);
    const QRect below(0, mark.bottom() + side / 8, size.width(), size.height() - mark.bottom());
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
    const picture::Picture read = picture::read(path, box);
    QImage image = read.image;
    // A missing or broken file shows nothing, as a failed Image does.
    if (read.problem == picture::Problem::TooLarge)
        image = placeholder(box.isValid() ? box : QSize(320, 240), picture::problemText(read));
    if (size)
        *size = image.size();
    return image;
}
