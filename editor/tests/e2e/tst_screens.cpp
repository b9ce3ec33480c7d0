// The main window on screens of any scale: the bars and the tools at the
// layout's device-independent sizes times the scale, the tool pictures drawn
// from their own pictures for that scale (sharp, not enlarged). Run once as
// is and once with QT_SCALE_FACTOR=2; the grabs go to REELWRIGHT_GRAB_DIR.
#include "track_packages.h"

#include <session.h>

#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The share of pixels of a device rectangle of the grab that differ from the
// picture (drawn over `ground`) by more than a small tolerance.
double mismatch(const QImage& grab, QRect rect, const QString& pictureFile, const QColor& ground) {
    QImage picture(rect.size(), QImage::Format_ARGB32);
    picture.fill(ground);
    {
        QPainter painter(&picture);
        painter.drawImage(QRect(QPoint(0, 0), rect.size()), QImage(pictureFile));
    }
    int differing = 0;
    for (int y = 0; y < rect.height(); ++y) {
        for (int x = 0; x < rect.width(); ++x) {
            const QColor a = grab.pixelColor(rect.x() + x, rect.y() + y);
            const QColor b = picture.pixelColor(x, y);
            if (qAbs(a.red() - b.red()) > 24 || qAbs(a.green() - b.green()) > 24 ||
                qAbs(a.blue() - b.blue()) > 24)
                ++differing;
        }
    }
    return double(differing) / (rect.width() * rect.height());
}

}  // namespace

class ScreensTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<Session> s;

private slots:
    void init() { s = std::make_unique<Session>(); }
    void cleanup() { s.reset(); }

    void barsAndToolsAtTheScreensScale() {
        QVector<PackageEntry> entries = {{0, "a", "-1"}, {30, "b", "1"}, {60, "c", "-1"}};
        QVERIFY(s->open(makeTrack(dir.path(), "scaled", entries, QSize(1600, 1200))));
        QVERIFY(s->waitForPictures());
        QTest::qWait(200);
        QQuickWindow* w = s->window;
        const qreal ratio = w->effectiveDevicePixelRatio();
        const qreal expected = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                   ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                   : 1.0;
        QCOMPARE(ratio, expected);
        const QImage grab = w->grabWindow();
        QCOMPARE(grab.size(), (QSizeF(w->size()) * ratio).toSize());
        const QString folder = qEnvironmentVariable("REELWRIGHT_GRAB_DIR");
        if (!folder.isEmpty()) {
            QDir().mkpath(folder);
            grab.save(QStringLiteral("%1/main-window-%2x.png").arg(folder).arg(ratio));
        }
        const int r = qRound(ratio);
        const int height = grab.height();

        // Title bar: 72 device-independent pixels of green, then the grid's ground.
        for (int y : {0, 72 * r - 1})
            QVERIFY2(near(grab.pixelColor(20 * r, y), "#16A949", 4),
                     qPrintable(QString::number(y)));
        QVERIFY(near(grab.pixelColor(20 * r, 72 * r), "#FAFDFC", 4));
        // Control bar: the bottom 72, dark.
        for (int y : {height - 1, height - 72 * r})
            QVERIFY2(near(grab.pixelColor(8 * r, y), "#222222", 4), qPrintable(QString::number(y)));
        QVERIFY(near(grab.pixelColor(8 * r, height - 72 * r - 1), "#FAFDFC", 4));

        // The open tool covers device x 48r..72r, y 24r..48r: green around
        // it, and inside exactly its own picture for this scale.
        QVERIFY(near(grab.pixelColor(48 * r - 2, 36 * r), "#16A949", 4));
        QVERIFY(near(grab.pixelColor(72 * r + 1, 36 * r), "#16A949", 4));
        const QString picture = r >= 2 ? QStringLiteral(":/image/open-normal@2x.png")
                                       : QStringLiteral(":/image/open-normal.png");
        QVERIFY(QFile::exists(picture));
        const double off =
            mismatch(grab, QRect(48 * r, 24 * r, 24 * r, 24 * r), picture, QColor("#16A949"));
        QVERIFY2(off < 0.02, qPrintable(QString::number(off)));
        // Thumbnails are decoded for the device pixels they cover.
        QQuickItem* thumbnail = s->cellPart(0, "picture");
        QTRY_COMPARE(thumbnail->property("status").toInt(), 1);
        // (The engine asks the picture provider for sourceSize in device pixels.)
        QCOMPARE(thumbnail->property("sourceSize").toSize(), QSize(223, 163));
        QVERIFY(thumbnail->implicitHeight() > 163 - 2);
        // The other tools in their places.
        QQuickItem* insert = s->item("insertButton");
        QCOMPARE(insert->mapToScene(QPointF(0, 0)) * ratio, QPointF(48 + 4 * 72, 24) * ratio);
        QQuickItem* preview = s->item("previewButton");
        QCOMPARE(preview->mapToScene(QPointF(40, 40)) * ratio,
                 QPointF(w->width() - 16, w->height() - 16) * ratio);
        const QString previewPicture = r >= 2 ? QStringLiteral(":/image/preview-normal@2x.png")
                                              : QStringLiteral(":/image/preview-normal.png");
        const QPoint corner = (preview->mapToScene(QPointF(0, 0)) * ratio).toPoint();
        const double previewOff =
            mismatch(grab, QRect(corner, QSize(40 * r, 40 * r)), previewPicture, QColor("#222222"));
        QVERIFY2(previewOff < 0.02, qPrintable(QString::number(previewOff)));
    }
};

int runScreensTests(int argc, char** argv) {
    ScreensTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screens.moc"
