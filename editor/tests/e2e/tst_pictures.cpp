// Pictures in the real windows: pictures whose headers claim gigabytes show a
// placeholder in the grid and in the player without being decoded, and a
// picture of another shape than the grid's frame is shown whole inside it.
#include <picture_samples.h>
#include <session.h>
#include <testsupport.h>

#include <QBuffer>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

QByteArray jpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

QImage filled(QSize size, const QColor& colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The placeholder's ground.
const char* const kPlaceholder = "#EEF1F0";

}  // namespace

class PicturesTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<Session> s;

    // A package with one entry per picture, a second apart, in the given order.
    QString package(const QString& name, const QList<QPair<QString, QByteArray>>& pictures) {
        QList<QPair<QString, QByteArray>> files;
        QString entries;
        for (int k = 0; k < pictures.size(); ++k) {
            entries += QStringLiteral(
                           "<track><ticks>%1</ticks><picture>%2</picture>"
                           "<description>%2</description></track>")
                           .arg(k + 1)
                           .arg(pictures[k].first);
            files.append({name + "/res/" + pictures[k].first, pictures[k].second});
        }
        files.prepend({name + "/tracks.xml", trackXml(entries)});
        const QString path = dir.filePath(name + ".zip");
        return writeZip(path, files) ? path : QString();
    }

    // Kept in REELWRIGHT_GRAB_DIR, when set, as <test function>-<what>.png.
    QImage grabOf(QQuickWindow* window, const char* what) {
        QTest::qWait(100);
        const QImage grab = window->grabWindow();
        const QByteArray folder = qgetenv("REELWRIGHT_GRAB_DIR");
        if (!folder.isEmpty())
            grab.save(QStringLiteral("%1/%2-%3.png")
                          .arg(QString::fromLocal8Bit(folder), QTest::currentTestFunction(), what));
        return grab;
    }

    // The window's pixels with the cell scrolled into view and its picture in.
    QImage cellInView(int cell) {
        QQuickItem* picture = s->cellPart(cell, "picture");
        if (!QTest::qWaitFor([&] { return picture->property("status").toInt() != 2; }, 30000))
            return {};
        return grabOf(s->window, "grid");
    }
    QColor seen(int cell, QPointF point) {
        const QImage grab = cellInView(cell);
        return pixel(grab, s->window, s->cellPart(cell, "picture")->mapToScene(point));
    }

private slots:
    void init() { s = std::make_unique<Session>(); }
    void cleanup() { s.reset(); }

    // The pictures: a few kilobytes each, gigabytes when decoded.
    void bombsShowPlaceholders() {
        const QString path =
            package("bombs", {{"ordinary.jpg", jpeg(filled({400, 300}, Qt::darkCyan))},
                              {"tiles.png", pngClaiming({30000, 30000})},
                              {"layers.jpg", jpegClaiming({65000, 65000}, true)},
                              {"wall.jpg", jpegClaiming({40000, 40000})}});
        QVERIFY(!path.isEmpty());
        resetPeak();
        const qint64 before = peakKib();
        QVERIFY(s->open(path));
        for (int k = 1; k < 4; ++k) {
            const QColor corner = seen(k, {6, 6});
            QQuickItem* picture = s->cellPart(k, "picture");
            QCOMPARE(picture->property("status").toInt(), 1);  // Image.Ready
            QCOMPARE(QSizeF(picture->implicitWidth(), picture->implicitHeight()), QSizeF(223, 163));
            QVERIFY(near(corner, kPlaceholder, 4));
        }

        s->clickCell(2);
        s->call("showPreview");
        QQuickWindow* player = s->player();
        QVERIFY(player);
        QQuickItem* shown = s->playerItem("picture");
        QTRY_COMPARE(shown->property("status").toInt(), 1);
        QVERIFY(QTest::qWaitForWindowExposed(player));
        const QImage full = grabOf(player, "player");
        QVERIFY(near(pixel(full, player, shown->mapToScene({6, 6})), kPlaceholder, 4));
        // The track holds 4 x 3.6 GB of claimed pixels; none were decoded.
        QVERIFY2(peakKib() - before < 160 * 1024, qPrintable(QString::number(peakKib() - before)));
    }

    // A picture is decoded for the device pixels of its cell: stripes one
    // device pixel high stay apart on a 2x screen.
    void decodedForDevicePixels() {
        QImage stripes(446, 326, QImage::Format_RGB32);
        for (int y = 0; y < stripes.height(); ++y)
            std::fill_n(reinterpret_cast<QRgb*>(stripes.scanLine(y)), stripes.width(),
                        y % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(stripes.save(&buffer, "PNG"));
        QVERIFY(s->open(package("stripes", {{"stripes.png", png}})));
        const QImage grab = cellInView(0);
        const qreal ratio = s->window->effectiveDevicePixelRatio();
        const QPoint centre = (s->cellPart(0, "picture")->mapToScene({111, 80}) * ratio).toPoint();
        const int step = qAbs(qGray(grab.pixel(centre)) - qGray(grab.pixel(centre + QPoint(0, 1))));
        if (ratio >= 2)
            QVERIFY2(step > 128, qPrintable(QString::number(step)));
        else  // two stripes to a pixel: grey
            QVERIFY2(step < 64, qPrintable(QString::number(step)));
    }

    // Upright, square, wide and frame-shaped pictures: each whole inside its
    // frame, the frame's white around those of another shape.
    void picturesKeepTheirShape() {
        QImage upright = filled({300, 400}, Qt::red);
        QPainter(&upright).fillRect(0, 0, 300, 40, Qt::blue);  // a top that must stay visible
        const QString path =
            package("shapes", {{"upright.jpg", jpeg(upright)},
                               {"square.jpg", jpeg(filled({500, 500}, Qt::darkGreen))},
                               {"wide.jpg", jpeg(filled({1600, 900}, Qt::darkBlue))},
                               {"frame.jpg", jpeg(filled({400, 300}, Qt::darkCyan))}});
        QVERIFY(!path.isEmpty());
        QVERIFY(s->open(path));
        auto at = [&](int cell, QPointF point) { return seen(cell, point); };
        // 300x400 in 223x163: 122 wide, centred, white beside it; its top is there.
        QVERIFY(near(at(0, {111, 80}), "#FF0000", 40));
        QVERIFY(near(at(0, {111, 4}), "#0000FF", 40));
        QVERIFY(near(at(0, {20, 80}), "#FFFFFF", 4));
        QVERIFY(near(at(0, {203, 80}), "#FFFFFF", 4));
        QVERIFY(near(at(1, {111, 80}), "#006400", 40));
        QVERIFY(near(at(1, {20, 80}), "#FFFFFF", 4));
        // 16:9 in 223x163: 125 high, white above and below.
        QVERIFY(near(at(2, {111, 80}), "#00008B", 40));
        QVERIFY(near(at(2, {111, 8}), "#FFFFFF", 4));
        QVERIFY(near(at(2, {111, 155}), "#FFFFFF", 4));
        // 4:3 fills the frame to its edges, as before.
        for (const QPointF& point : {QPointF(1, 1), QPointF(221, 161), QPointF(111, 80)})
            QVERIFY(near(at(3, point), "#008B8B", 40));
    }
};

int runPicturesTests(int argc, char** argv) {
    PicturesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_pictures.moc"
