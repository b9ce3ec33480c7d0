// Track packages zipped on a Chinese Windows (names in GBK without the UTF-8
// flag), by tools that write UTF-8 with or without the flag, and a mix of
// them: each opens with every picture on disk, saves, and reopens the same.
#include "qplayerhost.h"
#include "testsupport.h"
#include "windowszip.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QtTest>

namespace {

const QString kFolder = QStringLiteral("课堂");
const QStringList kPictures = {QStringLiteral("板书照片.png"), QStringLiteral("運動會.png"),
                               QStringLiteral("照片.jpg")};

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One name the way a writer of the given kind stores it: 'g' GBK without the
// flag, 'u' UTF-8 without the flag, 'f' UTF-8 with the flag.
RawEntry stored(const QString& name, QChar kind, const QByteArray& data) {
    if (kind == QLatin1Char('g'))
        return {gbk(name), data, false};
    return {name.toUtf8(), data, kind == QLatin1Char('f')};
}

QByteArray pictureOf(int index) {
    return pictureBytes(index == 2 ? "JPEG" : "PNG", 8 + index);
}

}  // namespace

class GbkPackages : public QObject {
    Q_OBJECT

    // kinds: the folder entries, "tracks.xml", then each picture.
    static QList<RawEntry> packageEntries(const QString& kinds) {
        QString entries;
        for (int i = 0; i < kPictures.size(); ++i)
            entries += QStringLiteral(
                           "<track><description>第%1张</description><ticks>%2</ticks>"
                           "<picture>%3</picture><level>-1</level></track>")
                           .arg(i + 1)
                           .arg(10 * i)
                           .arg(kPictures[i]);
        QList<RawEntry> result = {stored(kFolder + "/", kinds[0], {}),
                                  stored(kFolder + "/res/", kinds[0], {}),
                                  stored(kFolder + "/tracks.xml", kinds[1],
                                         trackXml(entries, QStringLiteral("光的折射")))};
        for (int i = 0; i < kPictures.size(); ++i)
            result << stored(kFolder + "/res/" + kPictures[i], kinds[2 + i], pictureOf(i));
        return result;
    }

    // Loads the package into a fresh store, as on another machine: every
    // entry's picture is on disk with its bytes.
    static void reopen(const QString& package, const QString& title,
                       QList<QVariantList>& appended) {
        Scratch scratch;
        RecordingRoot root;
        QPlayerHost host(&root, nullptr);
        QVERIFY(host.loadTrack(QUrl::fromLocalFile(package)));
        QCOMPARE(host.title(), title);
        appended = root.appended();
        QCOMPARE(appended.size(), kPictures.size());
        for (int i = 0; i < appended.size(); ++i) {
            const QString sample = appended[i][1].toString();
            QCOMPARE(sample, scratch.store() + kFolder + "/res/" + kPictures[i]);
            QCOMPARE(readFile(sample), pictureOf(i));
        }
    }

private slots:
    void openSaveReopen_data() {
        QTest::addColumn<QString>("kinds");
        QTest::newRow("GBK without the flag") << "gggggg";
        QTest::newRow("UTF-8 without the flag") << "uuuuuu";
        QTest::newRow("UTF-8 with the flag") << "ffffff";
        QTest::newRow("mix") << "gfgugf";
    }
    void openSaveReopen() {
        QFETCH(QString, kinds);
        Scratch scratch;
        const QString package = scratch.work() + "/lesson.zip";
        QVERIFY(writeWindowsZip(package, packageEntries(kinds)));

        RecordingRoot root;
        QPlayerHost host(&root, nullptr);
        QVERIFY(host.loadTrack(QUrl::fromLocalFile(package)));
        const QList<QVariantList> appended = root.appended();
        QCOMPARE(appended.size(), kPictures.size());
        QJsonArray track;
        for (int i = 0; i < appended.size(); ++i) {
            const QVariantList& item = appended[i];
            QCOMPARE(item[0].toString(), QFileInfo(kPictures[i]).completeBaseName());
            const QString sample = item[1].toString();
            QCOMPARE(sample, scratch.store() + kFolder + "/res/" + kPictures[i]);
            QVERIFY2(QFileInfo(sample).isFile(), qPrintable(sample + " is not on disk"));
            QCOMPARE(readFile(sample), pictureOf(i));
            track.append(QJsonObject{{"id", item[0].toString()},
                                     {"sample", QUrl::fromLocalFile(sample).toString()},
                                     {"timeTick", item[2].toInt()},
                                     {"description", item[3].toString()},
                                     {"level", item[4].toString()}});
        }
        const QString title = QStringLiteral("光的折射（修订）");
        QVERIFY(host.saveTrack(title, track));

        // Every name once, UTF-8 with the flag.
        QStringList names;
        for (const RawName& raw : readRawNames(package)) {
            QCOMPARE(QString::fromUtf8(raw.name).toUtf8(), raw.name);
            QVERIFY2(raw.flags & 0x0800, raw.name.constData());
            names << QString::fromUtf8(raw.name);
        }
        names.sort();
        QStringList expected = {kFolder + "/tracks.xml"};
        for (const QString& picture : kPictures)
            expected << kFolder + "/res/" + picture;
        expected.sort();
        QCOMPARE(names, expected);

        QList<QVariantList> reopened;
        reopen(package, title, reopened);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(reopened.size(), appended.size());
        for (int i = 0; i < appended.size(); ++i) {
            QVariantList before = appended[i], after = reopened[i];
            before.removeAt(1);  // the sample lies in the other store
            after.removeAt(1);
            QCOMPARE(after, before);
        }
    }
};

QTEST_GUILESS_MAIN(GbkPackages)
#include "tst_gbkpackages.moc"
