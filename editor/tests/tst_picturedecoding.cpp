// Pictures as the grid and the player get them: decoded at the size they are
// shown, upright, one decode at most; a picture whose header claims more than
// the limits is never decoded, and one whose file is cut short is not shown:
// both show a placeholder; file URLs with odd characters reach the right file
// through the "image://picture/" scheme.
#include "picture_decoding.h"
#include "picture_provider.h"
#include "picture_samples.h"

#include <QPainter>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool near(QColor actual, QColor expected, int tolerance = 24) {
    return qAbs(actual.red() - expected.red()) <= tolerance &&
           qAbs(actual.green() - expected.green()) <= tolerance &&
           qAbs(actual.blue() - expected.blue()) <= tolerance;
}

// Red left half, blue right half: where the halves land shows the picture's
// proportions and orientation.
QImage halves(const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter painter(&image);
    painter.fillRect(0, 0, size.width() / 2, size.height(), Qt::red);
    return image;
}

// A GIF of one 2-colour frame at `origin`, `frame` large (its data decodes
// one pixel), on a logical screen of `screen`.
QByteArray gif(const QSize& screen, const QPoint& origin, const QSize& frame) {
    QByteArray bytes("GIF89a");
    const auto word = [&](int value) {
        bytes.append(char(value & 0xFF));
        bytes.append(char((value >> 8) & 0xFF));
    };
    word(screen.width());
    word(screen.height());
    bytes.append("\x80\x00\x00", 3);  // a 2-entry colour table
    bytes.append("\x00\x00\x00\xFF\xFF\xFF", 6);
    bytes.append("\x21\xF9\x04\x00\x00\x00\x00\x00", 8);  // an extension block
    bytes.append('\x2C');
    word(origin.x());
    word(origin.y());
    word(frame.width());
    word(frame.height());
    bytes.append("\x00\x02\x02\x44\x01\x00\x3B", 7);  // clear, 0, end; trailer
    return bytes;
}

}  // namespace

class PictureDecoding : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return path;
    }
    static QString idOf(const QString& path) { return QUrl::fromLocalFile(path).toString(); }

private slots:
    // The bombs: placeholders at the asked size, no decoding.
    void bombsShowPlaceholders_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("1-bit PNG claiming 30000x30000") << pngClaiming(QSize(30000, 30000));
        QTest::newRow("progressive JPEG claiming 65000x65000")
            << jpegClaiming(QSize(65000, 65000), true);
        QTest::newRow("JPEG claiming 40000x40000") << jpegClaiming(QSize(40000, 40000));
        QTest::newRow("GIF of one pixel on a 16000x16000 screen")
            << gif(QSize(16000, 16000), QPoint(0, 0), QSize(1, 1));
    }
    void bombsShowPlaceholders() {
        QFETCH(QByteArray, bytes);
        const QString path = write("bomb", bytes);
        QVERIFY(!path.isEmpty());
        PictureProvider provider;
        resetPeak();
        const qint64 before = peakKib();
        QSize size;
        const QImage shown = provider.requestImage(idOf(path), &size, QSize(223, 163));
        QVERIFY2(peakKib() - before < 16 * 1024, qPrintable(QString::number(peakKib() - before)));
        QCOMPARE(shown.size(), QSize(223, 163));
        QCOMPARE(size, QSize(223, 163));
        // A light field with a darker mark in the middle.
        QVERIFY(near(shown.pixelColor(4, 4), QColor(0xEE, 0xF1, 0xF0), 4));
        // Without a size to show it at, a placeholder all the same.
        QCOMPARE(provider.requestImage(idOf(path), &size, QSize()).size(), QSize(320, 240));
    }

    void limitsAtTheEdge() {
        QVERIFY(picture::withinLimits(QSize(20000, 5000)));
        QVERIFY(picture::withinLimits(QSize(10000, 10000)));
        QVERIFY(!picture::withinLimits(QSize(20001, 2)));
        QVERIFY(!picture::withinLimits(QSize(10001, 10000)));
        const picture::Picture strip = picture::read(write("strip.png", pngClaiming({20001, 2})));
        QCOMPARE(strip.problem, picture::Problem::TooLarge);
        QCOMPARE(strip.claimed, QSize(20001, 2));
        QCOMPARE(picture::problemText(strip), QStringLiteral("图片过大：20001×2"));
        QVERIFY(strip.image.isNull());
        // At the limit the picture is decoded: this one breaks off after four rows.
        const QString edge = write("edge.png", pngClaiming({20000, 5000}));
        QCOMPARE(picture::read(edge, QSize(223, 163)).problem, picture::Problem::Unreadable);
    }

    // Qt's GIF reader decodes onto the screen the file states (or, when that
    // is zero or absurd, the first frame's extent), whatever size() said:
    // that canvas is what is checked.
    void gifCanvasesAreWhatIsChecked() {
        const picture::Picture tall =
            picture::read(write("tall.gif", gif(QSize(42, 65310), QPoint(0, 0), QSize(40, 30))));
        QCOMPARE(tall.problem, picture::Problem::TooLarge);
        QCOMPARE(picture::problemText(tall), QStringLiteral("图片过大：42×65310"));
        const picture::Picture placed =
            picture::read(write("placed.gif", gif(QSize(0, 0), QPoint(30000, 10), QSize(40, 30))));
        QCOMPARE(placed.problem, picture::Problem::TooLarge);
        QCOMPARE(placed.claimed, QSize(30040, 40));
        // Frames beyond the screen are cut to it.
        const picture::Picture beyond = picture::read(
            write("beyond.gif", gif(QSize(42, 30), QPoint(0, 0), QSize(20000, 20000))));
        QCOMPARE(beyond.problem, picture::Problem::None);
        QCOMPARE(beyond.image.size(), QSize(42, 30));
    }

    // A JPEG is decoded at the shown size; a 1-bit PNG is decoded once and
    // reduced without a 32-bit copy of it (Qt's own scaling makes one:
    // 256 MB for this picture).
    void picturesCostWhatIsShown() {
        QImage photo = halves(QSize(2400, 1800));
        QVERIFY(photo.save(dir.filePath("photo.jpg"), "JPEG"));
        photo = QImage();
        const QString page = write("page.png", monochromePng(QSize(8000, 8000)));
        PictureProvider provider;

        resetPeak();
        qint64 before = peakKib();
        QSize size;
        QImage shown = provider.requestImage(idOf(dir.filePath("photo.jpg")), &size, {223, 163});
        QVERIFY2(peakKib() - before < 8 * 1024, qPrintable(QString::number(peakKib() - before)));
        QCOMPARE(shown.size(), QSize(217, 163));
        QCOMPARE(size, shown.size());
        QVERIFY(near(shown.pixelColor(50, 80), Qt::red));
        QVERIFY(near(shown.pixelColor(160, 80), Qt::blue));

        resetPeak();
        before = peakKib();
        shown = provider.requestImage(idOf(page), &size, {223, 163});
        QVERIFY2(peakKib() - before < 32 * 1024, qPrintable(QString::number(peakKib() - before)));
        QCOMPARE(shown.size(), QSize(163, 163));
        QVERIFY(near(shown.pixelColor(40, 80), Qt::white));
        QVERIFY(near(shown.pixelColor(120, 80), Qt::black));

        // Smaller than the box: as it is, never enlarged.
        QVERIFY(halves(QSize(100, 50)).save(dir.filePath("small.png"), "PNG"));
        QCOMPARE(provider.requestImage(idOf(dir.filePath("small.png")), &size, {223, 163}).size(),
                 QSize(100, 50));
    }

    // A phone photo stored sideways comes out upright and fitted as shown.
    void sidewaysPhotoFitsUpright() {
        const QByteArray jpeg = jpegWithSegment(halves(QSize(640, 480)), exifOrientation(6));
        const QString path = write("sideways.jpg", jpeg);
        const picture::Picture read = picture::read(path, QSize(223, 163));
        QCOMPARE(read.problem, picture::Problem::None);
        QCOMPARE(read.claimed, QSize(640, 480));
        // Upright 480x640, fitted into 223x163.
        QCOMPARE(read.image.size(), QSize(122, 163));
        // Turned clockwise: the red left half is now on top.
        QVERIFY(near(read.image.pixelColor(60, 20), Qt::red));
        QVERIFY(near(read.image.pixelColor(60, 140), Qt::blue));
    }

    // Whole files of every format the readers stop in are whole, also with
    // bytes after the picture; files cut short are not shown.
    void cutFilesAreTold() {
        const QImage picture = halves(QSize(37, 23));
        for (const char* format : {"bmp", "png", "jpeg", "ppm", "pgm", "pbm", "ico"}) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QVERIFY2(picture.save(&buffer, format), format);
            const QString whole = write(QStringLiteral("whole.%1").arg(format), bytes);
            QCOMPARE(picture::read(whole).problem, picture::Problem::None);
            const QString trailed = write(QStringLiteral("trailed.%1").arg(format), bytes + "tail");
            QCOMPARE(picture::read(trailed, QSize(20, 20)).problem, picture::Problem::None);
        }
        QByteArray bmp;
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(halves(QSize(320, 200)).save(&buffer, "BMP"));
        const QByteArray jpeg = jpegWithSegment(halves(QSize(320, 200)), {});
        PictureProvider provider;
        for (const QString& cut : {write("cut.bmp", bmp.left(bmp.size() / 3)),
                                   write("cut.jpg", jpeg.left(jpeg.size() / 2))}) {
            const picture::Picture read = picture::read(cut);
            QCOMPARE(read.problem, picture::Problem::Incomplete);
            QCOMPARE(picture::problemText(read), QStringLiteral("文件不完整"));
            QSize size;
            const QImage shown = provider.requestImage(idOf(cut), &size, QSize(223, 163));
            QCOMPARE(shown.size(), QSize(223, 163));
            QVERIFY(near(shown.pixelColor(4, 4), QColor(0xEE, 0xF1, 0xF0), 4));
        }
    }

    // Through the engine, as the grid asks for its pictures.
    void fileUrlsReachTheirFiles() {
        QQmlEngine engine;
        engine.addImageProvider(PictureProvider::kName, new PictureProvider);
        QQmlComponent component(&engine);
        component.setData(
            "import QtQuick 2.12\nImage { asynchronous: true; sourceSize.width: 223;"
            " sourceSize.height: 163 }",
            QUrl());
        QStringList names = {"Tafel #3.png", "50% fertig.png", "黑板 (1).png"};
#ifndef Q_OS_WIN
        names << "wer?.png";  // a name Windows does not allow
#endif
        for (const QString& name : names) {
            QVERIFY(halves(QSize(446, 163)).save(dir.filePath(name), "PNG"));
            std::unique_ptr<QObject> image(component.create());
            QVERIFY2(image, qPrintable(component.errorString()));
            image->setProperty("source", QStringLiteral("image://picture/") +
                                             QUrl::fromLocalFile(dir.filePath(name)).toString());
            QTRY_COMPARE(image->property("status").toInt(), 1);  // Image.Ready
            auto* item = qobject_cast<QQuickItem*>(image.get());
            QCOMPARE(QSizeF(item->implicitWidth(), item->implicitHeight()), QSizeF(223, 81));
        }
    }
};

QTEST_MAIN(PictureDecoding)
#include "tst_picturedecoding.moc"
