// Track packages zipped on a Chinese Windows (names in GBK without the UTF-8
// flag), by tools that write UTF-8 with or without the flag, and a mix of
// them: each opens with every picture on disk, saves, and reopens the same.
#include "qplayerhost.h"
#include "testsupport.h"
#include "windowszip.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTextCodec>
#include <QtTest>

#include <memory>

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
        QVERIFY(host.loadTrack(QUrl::fromLocalFile(package)) && host.waitForLoad());
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
        auto host = std::make_unique<QPlayerHost>(&root, nullptr);
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(package)) && host->waitForLoad());
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
        QVERIFY(host->saveTrack(title, track));

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

        // The editor closes first: on Windows every scratch store is the one
        // test-mode folder, where the open track's lock would refuse the reopen.
        host.reset();
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

    // Names without the UTF-8 flag whose bytes read both as UTF-8 and as GBK
    // are read the way under which the document finds its pictures, whatever
    // encoding the document itself declares; without such a hint UTF-8 wins.
    void ambiguousNamesFollowTheDocument_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("kinds");  // 'g' GBK or 'u' UTF-8, unflagged
        QTest::addColumn<QByteArray>("encoding");
        // 录 is C2 BC in GBK, which is ¼ in UTF-8.
        QTest::newRow("GBK names, UTF-8 document") << "录"
                                                   << "录.png"
                                                   << "g" << QByteArray("UTF-8");
        QTest::newRow("GBK names, GBK document") << "录"
                                                 << "录.png"
                                                 << "g" << QByteArray("GBK");
        QTest::newRow("GBK picture in an ASCII folder") << "L"
                                                        << "录.png"
                                                        << "g" << QByteArray("UTF-8");
        // 你好 in UTF-8 (E4 BD A0 E5 A5 BD) is also well-formed GBK (浣犲ソ).
        QTest::newRow("UTF-8 names that are GBK too") << "你好"
                                                      << "你好.jpg"
                                                      << "u" << QByteArray("UTF-8");
        QTest::newRow("UTF-8 names, GBK document") << "你好"
                                                   << "你好.jpg"
                                                   << "u" << QByteArray("GBK");
    }
    void ambiguousNamesFollowTheDocument() {
        QFETCH(QString, folder);
        QFETCH(QString, picture);
        QFETCH(QString, kinds);
        QFETCH(QByteArray, encoding);
        const QString entries = "<track><description>板书</description><ticks>5</ticks><picture>" +
                                picture + "</picture><level>1</level></track>";
        QByteArray xml = trackXml(entries, QStringLiteral("录像课"));
        if (encoding != "UTF-8") {
            xml = QTextCodec::codecForName(encoding)->fromUnicode(QString::fromUtf8(xml).replace(
                "encoding=\"UTF-8\"", "encoding=\"" + encoding + "\""));
            QVERIFY(xml.contains("encoding=\"" + encoding + "\""));
        }
        const QChar kind = kinds[0];
        Scratch scratch;
        const QString package = scratch.work() + "/ambiguous.zip";
        const QByteArray pictureData = pictureOf(0);
        QVERIFY(writeWindowsZip(package, {stored(folder + "/tracks.xml", kind, xml),
                                          stored(folder + "/res/" + picture, kind, pictureData)}));

        RecordingRoot root;
        QPlayerHost host(&root, nullptr);
        QVERIFY(host.loadTrack(QUrl::fromLocalFile(package)) && host.waitForLoad());
        QCOMPARE(host.title(), QStringLiteral("录像课"));
        const QList<QVariantList> appended = root.appended();
        QCOMPARE(appended.size(), 1);
        const QString sample = appended[0][1].toString();
        QCOMPARE(sample, scratch.store() + folder + "/res/" + picture);
        QCOMPARE(readFile(sample), pictureData);

        // Saved under the names the document uses, flagged as UTF-8.
        QJsonArray track{QJsonObject{{"id", appended[0][0].toString()},
                                     {"sample", QUrl::fromLocalFile(sample).toString()},
                                     {"timeTick", 5},
                                     {"description", appended[0][3].toString()},
                                     {"level", "1"}}};
        QVERIFY(host.saveTrack(host.title(), track));
        QStringList names;
        for (const RawName& raw : readRawNames(package))
            names << QString::fromUtf8(raw.name);
        names.sort();
        QCOMPARE(names, QStringList({folder + "/res/" + picture, folder + "/tracks.xml"}));
    }
};

QTEST_GUILESS_MAIN(GbkPackages)
#include "tst_gbkpackages.moc"
