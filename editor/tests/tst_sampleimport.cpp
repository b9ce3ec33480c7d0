// Importing pictures as the teacher took them: phone photos with an EXIF
// orientation come out upright, transparent parts come out white, a call with
// many pictures keeps their order and names, and odd file names still work.
#include "picture_samples.h"
#include "qplayerhost.h"
#include "testsupport.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QJsonObject>
#include <QPainter>
#include <QtTest>

namespace {

bool near(QColor actual, QColor expected, int tolerance = 40) {
    return qAbs(actual.red() - expected.red()) <= tolerance &&
           qAbs(actual.green() - expected.green()) <= tolerance &&
           qAbs(actual.blue() - expected.blue()) <= tolerance;
}

QString describe(QColor colour) {
    return QStringLiteral("(%1,%2,%3)").arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class SampleImport : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> scratch;
    std::unique_ptr<RecordingRoot> root;
    std::unique_ptr<QPlayerHost> host;

    QString source(const QString& name) const { return scratch->work() + "/" + name; }
    // The picture behind a returned record, found through its URL as the
    // window and saveTrack find it.
    static QImage pictureOf(const QJsonValue& record) {
        const QString path = QUrl(record.toObject()["sample"].toString()).toLocalFile();
        QImageReader reader(path);
        if (reader.format() != "jpeg")
            return {};
        return reader.read();
    }

private slots:
    void init() {
        scratch.reset(new Scratch);
        root.reset(new RecordingRoot);
        host.reset(new QPlayerHost(root.get(), nullptr));
        const QString package = scratch->work() + "/lesson.zip";
        QVERIFY(writeZip(package,
                         {{"L/tracks.xml", trackXml("")}, {"L/res/A.jpg", pictureBytes("JPEG")}}));
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(package)) && host->waitForLoad());
    }
    void cleanup() {
        host.reset();
        root.reset();
        scratch.reset();
    }

    // Stored 64x32 with four coloured quadrants, tagged "rotate 90° clockwise
    // to show": shown 32x64, the stored top-left quadrant at the top right.
    void exifOrientationIsApplied() {
        QImage stored(64, 32, QImage::Format_RGB32);
        QPainter painter(&stored);
        painter.fillRect(0, 0, 32, 16, Qt::red);
        painter.fillRect(32, 0, 32, 16, Qt::blue);
        painter.fillRect(0, 16, 32, 16, Qt::green);
        painter.fillRect(32, 16, 32, 16, Qt::yellow);
        painter.end();
        const QByteArray jpeg = jpegWithSegment(stored, exifOrientation(6));
        QVERIFY(!jpeg.isEmpty());
        QVERIFY(writeFile(source("IMG_0001.JPG"), jpeg));
        // The reader itself must see the tag, or the test proves nothing.
        QCOMPARE(QImageReader(source("IMG_0001.JPG")).transformation(),
                 QImageIOHandler::TransformationRotate90);

        const QJsonArray result =
            host->prepareSamples({QUrl::fromLocalFile(source("IMG_0001.JPG"))});
        QCOMPARE(result.size(), 1);
        QCOMPARE(result[0].toObject()["description"].toString(), QStringLiteral("IMG_0001"));
        const QImage shown = pictureOf(result[0]);
        QCOMPARE(shown.size(), QSize(32, 64));
        const struct {
            QPoint at;
            QColor colour;
        } expected[] = {
            {{24, 16}, Qt::red}, {{24, 48}, Qt::blue}, {{8, 16}, Qt::green}, {{8, 48}, Qt::yellow}};
        for (const auto& quadrant : expected) {
            const QColor actual = shown.pixelColor(quadrant.at);
            QVERIFY2(near(actual, quadrant.colour),
                     qPrintable(describe(actual) + " at " + QString::number(quadrant.at.x()) + "," +
                                QString::number(quadrant.at.y())));
        }
        // The written JPEG carries no tag that would turn it a second time.
        QImageReader written(QUrl(result[0].toObject()["sample"].toString()).toLocalFile());
        QCOMPARE(written.transformation(), QImageIOHandler::TransformationNone);
    }

    // Clear, half-covered and opaque thirds, as a scan with a cut-out would be.
    void transparencyBecomesWhite() {
        for (const QImage::Format format : {QImage::Format_ARGB32, QImage::Format_Indexed8}) {
            QImage picture(48, 16, QImage::Format_ARGB32);
            picture.fill(Qt::transparent);
            QPainter painter(&picture);
            painter.fillRect(16, 0, 16, 16, QColor(255, 0, 0, 128));
            painter.fillRect(32, 0, 16, 16, Qt::blue);
            painter.end();
            if (format == QImage::Format_Indexed8)  // a GIF-like palette with a clear colour
                picture = picture.convertToFormat(format, Qt::ThresholdDither);
            const QString path = source(QStringLiteral("cut-out-%1.png").arg(int(format)));
            QVERIFY(picture.save(path, "PNG"));

            const QJsonArray result = host->prepareSamples({QUrl::fromLocalFile(path)});
            QCOMPARE(result.size(), 1);
            const QImage written = pictureOf(result[0]);
            QCOMPARE(written.size(), QSize(48, 16));
            QVERIFY2(near(written.pixelColor(8, 8), Qt::white, 8),
                     qPrintable(describe(written.pixelColor(8, 8))));
            QVERIFY2(near(written.pixelColor(40, 8), Qt::blue),
                     qPrintable(describe(written.pixelColor(40, 8))));
            if (format == QImage::Format_ARGB32) {
                QVERIFY2(near(written.pixelColor(24, 8), QColor(255, 127, 127), 24),
                         qPrintable(describe(written.pixelColor(24, 8))));
            }
        }
    }

    // More pictures than workers, with unreadable files between them: the
    // records follow the argument order and each names its own picture.
    void manyPicturesKeepOrderAndNames() {
        QList<QUrl> urls;
        QStringList expectedNames;
        QVector<QColor> expectedColours;
        for (int k = 0; k < 24; ++k) {
            const QString name = QStringLiteral("p%1").arg(23 - k, 2, 10, QLatin1Char('0'));
            const QColor colour = QColor::fromHsv((k * 15) % 360, 255, 230);
            // Sizes differ so the workers finish out of order.
            QImage picture(k % 3 == 0 ? 640 : 32, 48, QImage::Format_RGB32);
            picture.fill(colour);
            QVERIFY(picture.save(source(name + ".png"), "PNG"));
            urls << QUrl::fromLocalFile(source(name + ".png"));
            expectedNames << name;
            expectedColours << colour;
            if (k % 7 == 3) {
                QVERIFY(writeFile(source(name + "-notes.png"), "not a picture"));
                urls << QUrl::fromLocalFile(source(name + "-notes.png"));
            }
        }
        urls << QUrl::fromLocalFile(source("absent.jpg"));

        const QJsonArray result = host->prepareSamples(urls);
        QCOMPARE(result.size(), expectedNames.size());
        QStringList names;
        QSet<QString> ids;
        for (int k = 0; k < result.size(); ++k) {
            const QJsonObject record = result[k].toObject();
            names << record["description"].toString();
            ids.insert(record["id"].toString());
            QCOMPARE(QFileInfo(QUrl(record["sample"].toString()).toLocalFile()).fileName(),
                     record["id"].toString() + ".jpeg");
            const QColor colour = pictureOf(record).pixelColor(16, 24);
            QVERIFY2(near(colour, expectedColours[k], 24),
                     qPrintable(names.last() + " " + describe(colour)));
        }
        QCOMPARE(names, expectedNames);
        QCOMPARE(ids.size(), result.size());
        // Skipped files leave nothing behind: the picture folder holds the
        // track's own picture and the converted ones only.
        QCOMPARE(QDir(host->currentTrackFolder() + "/res").entryList(QDir::Files).size(),
                 result.size() + 1);
    }

    // A batch writes the same files as one call per picture: nothing of one
    // picture (its texts, its resolution) reaches the next of the same size.
    void batchWritesWhatSingleCallsWrite() {
        QImage tagged(320, 200, QImage::Format_RGB32);
        tagged.fill(QColor(200, 120, 40));
        tagged.setText("Description", "Tafelbild vom Montag");
        tagged.setDotsPerMeterX(11811);  // 300 dpi
        tagged.setDotsPerMeterY(11811);
        QVERIFY(tagged.save(source("tagged.jpg"), "JPEG"));
        QImage plain(320, 200, QImage::Format_RGB32);
        plain.fill(QColor(40, 90, 200));
        QVERIFY(plain.save(source("plain.jpg"), "JPEG"));
        QImage cut(320, 200, QImage::Format_ARGB32);
        cut.fill(QColor(0, 200, 0, 100));
        QVERIFY(cut.save(source("cut.png"), "PNG"));

        const QStringList names = {"tagged.jpg", "plain.jpg", "cut.png"};
        QMap<QString, QByteArray> alone;
        for (const QString& name : names) {
            const QJsonArray one = host->prepareSamples({QUrl::fromLocalFile(source(name))});
            QCOMPARE(one.size(), 1);
            alone[name] = readFile(QUrl(one[0].toObject()["sample"].toString()).toLocalFile());
            QVERIFY(!alone[name].isEmpty());
        }
        QList<QUrl> urls;
        QStringList order;
        for (int k = 0; k < 12; ++k) {
            order << names[k % 3];
            urls << QUrl::fromLocalFile(source(order.last()));
        }
        const QJsonArray batch = host->prepareSamples(urls);
        QCOMPARE(batch.size(), order.size());
        for (int k = 0; k < batch.size(); ++k) {
            const QString written = QUrl(batch[k].toObject()["sample"].toString()).toLocalFile();
            QVERIFY2(readFile(written) == alone[order[k]],
                     qPrintable(QString::number(k) + " " + order[k]));
        }
    }

    // Pictures whose headers claim more than may be decoded are skipped
    // before decoding, named with the size they claim; the others go in.
    void pictureBombsAreSkipped() {
        const struct {
            const char* name;
            QByteArray bytes;
        } files[] = {
            {"wall.jpg", jpegClaiming(QSize(40000, 40000))},
            {"first.png", pictureBytes("PNG")},
            {"tiles.png", pngClaiming(QSize(30000, 30000))},
            {"layers.jpg", jpegClaiming(QSize(65000, 65000), true)},
            {"strip.png", pngClaiming(QSize(20001, 2))},
            {"last.jpg", pictureBytes("JPEG")},
        };
        QList<QUrl> urls;
        for (const auto& file : files) {
            QVERIFY2(!file.bytes.isEmpty(), file.name);
            QVERIFY(writeFile(source(file.name), file.bytes));
            urls << QUrl::fromLocalFile(source(file.name));
        }
        // The one the teacher tried: 742 bytes for 40000x40000.
        QVERIFY(QFileInfo(source("wall.jpg")).size() < 1024);

        resetPeak();
        const qint64 before = peakKib();
        const QJsonArray result = host->prepareSamples(urls);
        QVERIFY2(peakKib() - before < 64 * 1024, qPrintable(QString::number(peakKib() - before)));

        QCOMPARE(result.size(), 2);
        QCOMPARE(result[0].toObject()["description"].toString(), QStringLiteral("first"));
        QCOMPARE(result[1].toObject()["description"].toString(), QStringLiteral("last"));
        QCOMPARE(host->lastSkipped(),
                 QStringList({QStringLiteral("wall.jpg（图片过大：40000×40000）"),
                              QStringLiteral("tiles.png（图片过大：30000×30000）"),
                              QStringLiteral("layers.jpg（图片过大：65000×65000）"),
                              QStringLiteral("strip.png（图片过大：20001×2）")}));
        // Nothing of them was written into the track.
        QCOMPARE(QDir(host->currentTrackFolder() + "/res").entryList(QDir::Files).size(), 3);
    }

    // A file cut short is skipped and named: Qt's BMP reader reports success
    // for a truncated file and leaves the rows it could not read as they
    // were, and a JPEG reader fills them grey. With more pictures than
    // workers the cut BMP follows a picture of its size in the same worker.
    void truncatedPicturesAreSkipped() {
        QImage green(320, 200, QImage::Format_RGB32);
        green.fill(Qt::green);
        QImage red(320, 200, QImage::Format_RGB32);
        red.fill(Qt::red);
        QByteArray bmp;
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(red.save(&buffer, "BMP"));
        QList<QUrl> urls;
        for (int k = 0; k < 6; ++k) {
            QVERIFY(green.save(source(QStringLiteral("green%1.bmp").arg(k)), "BMP"));
            urls << QUrl::fromLocalFile(source(QStringLiteral("green%1.bmp").arg(k)));
        }
        // Forty of the two hundred rows (a BMP stores the bottom row first).
        QVERIFY(writeFile(source("cut.bmp"), bmp.left(54 + 40 * 320 * 3)));
        urls.insert(3, QUrl::fromLocalFile(source("cut.bmp")));
        const QByteArray jpeg = jpegWithSegment(red, {});
        QVERIFY(writeFile(source("cut.jpg"), jpeg.left(jpeg.size() * 2 / 3)));
        urls << QUrl::fromLocalFile(source("cut.jpg"));
        QByteArray png;
        QBuffer pngBuffer(&png);
        pngBuffer.open(QIODevice::WriteOnly);
        QVERIFY(red.save(&pngBuffer, "PNG"));
        QVERIFY(writeFile(source("cut.png"), png.left(png.size() / 2)));
        urls << QUrl::fromLocalFile(source("cut.png"));

        const QJsonArray result = host->prepareSamples(urls);
        QCOMPARE(host->lastSkipped(),
                 QStringList({QStringLiteral("cut.bmp（文件不完整）"),
                              QStringLiteral("cut.jpg（文件不完整）"), QStringLiteral("cut.png")}));
        QCOMPARE(result.size(), 6);
        for (const QJsonValue& record : result) {
            const QImage written = pictureOf(record);
            QVERIFY(near(written.pixelColor(160, 20), Qt::green));
            QVERIFY(near(written.pixelColor(160, 180), Qt::green));
        }
    }

    // A track packed without a "res" folder gets one at its first import.
    void missingPictureFolderIsMade() {
        const QString package = scratch->work() + "/bare.zip";
        QVERIFY(writeZip(package, {{"Bare/tracks.xml", trackXml("")}}));
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(package)) && host->waitForLoad());
        QVERIFY(!QFileInfo::exists(host->currentTrackFolder() + "/res"));
        QVERIFY(writeFile(source("board.png"), pictureBytes("PNG")));
        const QJsonArray result = host->prepareSamples({QUrl::fromLocalFile(source("board.png"))});
        QCOMPARE(host->lastSkipped(), QStringList());
        QCOMPARE(result.size(), 1);
        const QString written = QUrl(result[0].toObject()["sample"].toString()).toLocalFile();
        QCOMPARE(QFileInfo(written).path(), host->currentTrackFolder() + "/res");
        QVERIFY(!pictureOf(result[0]).isNull());
    }

    // Characters that mean something in a URL, in the picked file's name and
    // in the track's folder.
    void oddFileNames() {
        const QString package = scratch->work() + "/odd.zip";
        QVERIFY(writeZip(package, {{"Stunde #1 50%/tracks.xml", trackXml("")},
                                   {"Stunde #1 50%/res/A.jpg", pictureBytes("JPEG")}}));
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(package)) && host->waitForLoad());
        QVERIFY(host->currentTrackFolder().endsWith("/Stunde #1 50%"));
        const QStringList names = {"Tafel #3", "50% fertig", "wer?", "黑板 (1)"};
        QList<QUrl> urls;
        for (const QString& name : names) {
            QVERIFY(writeFile(source(name + ".png"), pictureBytes("PNG")));
            urls << QUrl::fromLocalFile(source(name + ".png"));
        }
        const QJsonArray result = host->prepareSamples(urls);
        QCOMPARE(result.size(), names.size());
        for (int k = 0; k < names.size(); ++k) {
            const QJsonObject record = result[k].toObject();
            QCOMPARE(record["description"].toString(), names[k]);
            const QUrl sample(record["sample"].toString());
            QVERIFY(sample.isLocalFile());
            QVERIFY(!sample.hasFragment() && !sample.hasQuery());
            QVERIFY2(QFileInfo::exists(sample.toLocalFile()), qPrintable(sample.toString()));
        }
    }
};

QTEST_GUILESS_MAIN(SampleImport)
#include "tst_sampleimport.moc"
