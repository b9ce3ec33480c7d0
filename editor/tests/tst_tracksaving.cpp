// Saving a track back into the store and the package, changing one caption,
// and turning picture files into new entries.
#include "qplayerhost.h"
#include "testsupport.h"

#include <QDomDocument>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTextCodec>
#include <QtTest>

namespace {

const char* const kEntries =
    "<track id=\"x1\"><action>import</action><description>first</description>"
    "<ticks>10</ticks><interval>3</interval><picture>A.jpg</picture><level>1</level></track>"
    "<track><description/><ticks>20</ticks><picture>B.jpg</picture></track>"
    "<track><description>gone</description><ticks>30</ticks><picture>C.jpg</picture>"
    "<level>-1</level></track>";

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList childNames(const QDomNode& node) {
    QStringList names;
    for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling())
        names << child.nodeName();
    return names;
}

// The root element without layout, for comparing documents by content.
QString rootText(const QByteArray& xml) {
    QDomDocument document;
    document.setContent(xml);
    QString text;
    QTextStream stream(&text);
    document.documentElement().save(stream, -1);
    return text;
}

QJsonObject entry(const QString& id, const QString& sample, const QJsonValue& time,
                  const QJsonValue& caption, const QJsonValue& level) {
    return {{"id", id},
            {"sample", sample},
            {"timeTick", time},
            {"description", caption},
            {"level", level}};
}

// A program of its own that opens the package and saves it as the window
// would after one caption change, so a test can see what it writes to stderr.
int saveOnce(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    RecordingRoot root;
    QPlayerHost host(&root, nullptr);
    if (!(host.loadTrack(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[2]))) &&
          host.waitForLoad()))
        return 1;
    QJsonArray track = root.asWindowHolds();
    QJsonObject first = track[0].toObject();
    first["description"] = "changed";
    track[0] = first;
    return host.saveTrack("Saved", track) ? 0 : 1;
}

}  // namespace

class TrackSaving : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> scratch;
    std::unique_ptr<RecordingRoot> root;
    std::unique_ptr<QPlayerHost> host;
    QString packagePath;

    QString folder() const { return host->currentTrackFolder(); }
    QString sample(const QString& picture) const {
        return QUrl::fromLocalFile(folder() + "/res/" + picture).toString();
    }
    // Nodes do not keep their document alive, so the parsed file is kept here.
    QDomDocument saved;
    QDomElement savedTracks() {
        saved.setContent(readFile(folder() + "/tracks.xml"));
        return saved.documentElement().firstChildElement("tracks");
    }
    void loadFixture(const QByteArray& xml = trackXml(kEntries)) {
        packagePath = scratch->work() + "/lesson.zip";
        QVERIFY(writeZip(packagePath, {{"L/tracks.xml", xml},
                                       {"L/res/A.jpg", pictureBytes("JPEG", 8)},
                                       {"L/res/B.jpg", pictureBytes("JPEG", 9)},
                                       {"L/res/C.jpg", pictureBytes("JPEG", 10)}}));
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(packagePath)) && host->waitForLoad());
    }
    static void expectArchiveIntact(const QString& path) {
        const QString unzip = QStandardPaths::findExecutable("unzip");
        QVERIFY2(!unzip.isEmpty(), "unzip is one of the editor's packages");
        QProcess check;
        check.start(unzip, {"-t", path});
        QVERIFY(check.waitForFinished());
        QVERIFY2(check.exitCode() == 0, check.readAllStandardOutput().constData());
    }

private slots:
    void initTestCase() {
        QVERIFY2(QImageWriter::supportedImageFormats().contains("jpeg"),
                 "the JPEG image plug-in is missing");
    }
    void init() {
        scratch.reset(new Scratch);
        root.reset(new RecordingRoot);
        host.reset(new QPlayerHost(root.get(), nullptr));
    }
    void cleanup() {
        host.reset();
        root.reset();
        scratch.reset();
    }

    void pruneMergeAndAppend() {
        loadFixture();
        const QJsonArray added =
            host->prepareSamples({QUrl::fromLocalFile(folder() + "/res/A.jpg")});
        QCOMPARE(added.size(), 1);
        const QString newId = added[0].toObject()["id"].toString();
        // The list as the user interface holds it: B moved before A in time.
        const QJsonArray track = {
            entry("B", sample("B.jpg"), 5, "now described", "-1"),
            entry("A", sample("A.jpg"), 11, "first", "1"),
            entry(newId, added[0].toObject()["sample"].toString(), 12, "A", "-1"),
        };
        QVERIFY(host->saveTrack("New title", track));

        const QDomElement tracks = savedTracks();
        QCOMPARE(saved.documentElement().firstChildElement("track_name").text(),
                 QStringLiteral("New title"));
        QCOMPARE(host->trackName(), QStringLiteral("Lesson"));
        QCOMPARE(childNames(tracks), QStringList({"track", "track", "track"}));
        const QDomElement a = tracks.firstChildElement();
        const QDomElement b = a.nextSiblingElement();
        const QDomElement n = b.nextSiblingElement();
        // A keeps its place and what saving does not own.
        QCOMPARE(a.attribute("id"), QStringLiteral("x1"));
        QCOMPARE(a.firstChildElement("picture").text(), QStringLiteral("A.jpg"));
        QCOMPARE(a.firstChildElement("ticks").text(), QStringLiteral("11"));
        QCOMPARE(a.firstChildElement("interval").text(), QStringLiteral("3"));
        QCOMPARE(a.firstChildElement("action").text(), QStringLiteral("import"));
        // B: its empty caption gained a text, it gained a level, its time changed.
        QCOMPARE(childNames(b), QStringList({"description", "ticks", "picture", "level"}));
        QCOMPARE(b.firstChildElement("description").text(), QStringLiteral("now described"));
        QCOMPARE(b.firstChildElement("ticks").text(), QStringLiteral("5"));
        QCOMPARE(b.firstChildElement("level").text(), QStringLiteral("-1"));
        // The new entry: exactly these children, no id.
        QCOMPARE(childNames(n),
                 QStringList({"action", "description", "ticks", "picture", "level"}));
        QVERIFY(!n.hasAttributes());
        QCOMPARE(n.firstChildElement("action").text(), QStringLiteral("manual import"));
        QCOMPARE(n.firstChildElement("picture").text(), newId + ".jpeg");
        QCOMPARE(n.firstChildElement("ticks").text(), QStringLiteral("12"));
        // The pruned entry's picture stays in the store for an undo; the
        // package no longer holds it (below).
        QVERIFY(QFile::exists(folder() + "/res/C.jpg"));

        const QByteArray text = readFile(folder() + "/tracks.xml");
        QVERIFY(text.startsWith(
            "<?xml version='1.0' encoding='UTF-8'?>\n<track_info>\n    <track_name>"));
        QVERIFY(text.contains("\n    <tracks>\n        <track id=\"x1\">\n            <action>"));

        // The package now holds the same track: unpack it into another store.
        const QMap<QString, ZipEntry> packed = readZip(packagePath);
        QCOMPARE(packed.keys(), QStringList({"L/res/A.jpg", "L/res/B.jpg",
                                             "L/res/" + newId + ".jpeg", "L/tracks.xml"}));
        QCOMPARE(packed["L/tracks.xml"].data, text);
        QCOMPARE(packed["L/tracks.xml"].method, 8);              // deflated
        QCOMPARE(packed["L/res/" + newId + ".jpeg"].method, 0);  // new pictures are stored
        QCOMPARE(packed["L/res/B.jpg"].method, 8);  // unchanged entries are kept as they were
        expectArchiveIntact(packagePath);

        const QString savedFolder = folder();
        Scratch other;
        RecordingRoot otherRoot;
        QPlayerHost reader(&otherRoot, nullptr);
        QVERIFY(reader.loadTrack(QUrl::fromLocalFile(packagePath)) && reader.waitForLoad());
        QVERIFY(reader.currentTrackFolder() != savedFolder);
        QCOMPARE(reader.title(), QStringLiteral("New title"));
        const QString res = reader.currentTrackFolder() + "/res/";
        QCOMPARE(otherRoot.appended(),
                 QList<QVariantList>({{"B", res + "B.jpg", 5, "now described", "-1"},
                                      {"A", res + "A.jpg", 11, "first", "1"},
                                      {newId, res + newId + ".jpeg", 12, "A", "-1"}}));
        for (const QString& picture : {QStringLiteral("A.jpg"), newId + ".jpeg"})
            QCOMPARE(readFile(res + picture), readFile(savedFolder + "/res/" + picture));
    }

    void oddValuesFromTheUserInterface() {
        loadFixture();
        const QJsonArray track = {
            entry("A", sample("A.jpg"), 2.5, 7, true),
            entry("B", sample("B.jpg"), "12", QJsonValue(), QJsonArray()),
            QJsonObject{{"id", 3}, {"sample", sample("C.jpg")}},  // id read as ""
        };
        QVERIFY(host->saveTrack("t", track));
        const QDomElement a = savedTracks().firstChildElement();
        const QDomElement b = a.nextSiblingElement();
        const QDomElement c = b.nextSiblingElement();
        QCOMPARE(a.firstChildElement("ticks").text(), QStringLiteral("0"));
        QCOMPARE(a.firstChildElement("description").text(), QString());
        QCOMPARE(a.firstChildElement("level").text(), QString());
        QCOMPARE(b.firstChildElement("ticks").text(), QStringLiteral("0"));
        QCOMPARE(c.firstChildElement("action").text(), QStringLiteral("manual import"));
        QCOMPARE(c.firstChildElement("picture").text(), QStringLiteral("C.jpg"));
        QCOMPARE(childNames(savedTracks()).size(), 3);
    }

    // Loaded entries come back as "file:///" + the path, unencoded.
    void pictureNamesWithUrlCharacters() {
        const QString picture = QStringLiteral("50% #1?.jpg");
        packagePath = scratch->work() + "/odd.zip";
        QVERIFY(
            writeZip(packagePath, {{"L/tracks.xml", trackXml("<track><ticks>1</ticks><picture>" +
                                                             picture + "</picture></track>")},
                                   {"L/res/" + picture, pictureBytes("JPEG")}}));
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(packagePath)) && host->waitForLoad());
        const QString raw = "file://" + folder() + "/res/" + picture;
        QVERIFY(host->saveTrack("t", {entry("50% #1?", raw, 2, "", "-1")}));
        QCOMPARE(savedTracks().firstChildElement().firstChildElement("picture").text(), picture);
        QCOMPARE(zipNames(packagePath), QStringList({"L/res/" + picture, "L/tracks.xml"}));
    }

    void emptyList() {
        loadFixture();
        QVERIFY(host->saveTrack("Lesson", {}));
        QVERIFY(savedTracks().firstChild().isNull());
        QCOMPARE(zipNames(packagePath), QStringList({"L/tracks.xml"}));
        expectArchiveIntact(packagePath);
    }

    // Entries that show one picture, or pictures of one name with two
    // extensions, stay apart: an open followed by a save without edits keeps
    // every entry and every picture, save after save.
    void entriesSharingAnIdSurviveSaves_data() {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QStringList>("pictures");
        QTest::newRow("a.jpg twice")
            << "<track><description>first showing</description><ticks>10</ticks>"
               "<picture>a.jpg</picture><level>1</level></track>"
               "<track><description>b</description><ticks>15</ticks><picture>b.jpg</picture>"
               "<level>-1</level></track>"
               "<track><description>second showing</description><ticks>20</ticks>"
               "<picture>a.jpg</picture><level>-1</level></track>"
            << QStringList({"a.jpg", "b.jpg"});
        QTest::newRow("slide.jpg and slide.png")
            << "<track><description>photo</description><ticks>5</ticks>"
               "<picture>slide.jpg</picture><level>1</level></track>"
               "<track><description>drawing</description><ticks>8</ticks>"
               "<picture>slide.png</picture><level>-1</level></track>"
            << QStringList({"slide.jpg", "slide.png"});
        QTest::newRow("listed later in time, written first")
            << "<track><description>late</description><ticks>40</ticks>"
               "<picture>a.jpg</picture><level>-1</level></track>"
               "<track><description>early</description><ticks>3</ticks>"
               "<picture>a.jpg</picture><level>1</level></track>"
            << QStringList({"a.jpg"});
    }
    void entriesSharingAnIdSurviveSaves() {
        QFETCH(QString, entries);
        QFETCH(QStringList, pictures);
        packagePath = scratch->work() + "/shared.zip";
        QList<QPair<QString, QByteArray>> files = {{"L/tracks.xml", trackXml(entries)}};
        for (const QString& picture : pictures)
            files.append(
                {"L/res/" + picture, pictureBytes(picture.endsWith("png") ? "PNG" : "JPEG")});
        QVERIFY(writeZip(packagePath, files));
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(packagePath)) && host->waitForLoad());
        const QList<QVariantList> loaded = root->appended();
        const QByteArray original = trackXml(entries);

        for (int save = 0; save < 2; ++save) {
            QVERIFY(host->saveTrack("Lesson", root->asWindowHolds()));
            // Nothing was edited: the document is the one the package came with.
            QCOMPARE(readFile(folder() + "/tracks.xml"), readZip(packagePath)["L/tracks.xml"].data);
            QCOMPARE(rootText(readFile(folder() + "/tracks.xml")), rootText(original));
            QStringList packed;
            for (const QString& picture : pictures)
                packed << "L/res/" + picture;
            QCOMPARE(zipNames(packagePath), packed << "L/tracks.xml");
            root->calls.clear();
            QVERIFY(host->loadTrack(QUrl::fromLocalFile(packagePath)) && host->waitForLoad());
            QCOMPARE(root->appended(), loaded);
        }
    }

    // Deleting one of two entries of a picture keeps the other and the picture;
    // editing one changes that one only.
    void oneOfTwoShowingsEdited() {
        loadFixture(trackXml(
            "<track><description>first showing</description><ticks>10</ticks>"
            "<picture>A.jpg</picture><level>1</level></track>"
            "<track><description>b</description><ticks>15</ticks><picture>B.jpg</picture></track>"
            "<track><description>second showing</description><ticks>20</ticks>"
            "<picture>A.jpg</picture><level>-1</level></track>"));
        QJsonArray track = root->asWindowHolds();
        QJsonObject edited = track[2].toObject();
        edited["description"] = "second, edited";
        edited["timeTick"] = 25;
        track[2] = edited;
        track.removeAt(0);
        QVERIFY(host->saveTrack("Lesson", track));
        // Which of the two A elements carries the edited entry is not fixed.
        const QDomElement first = savedTracks().firstChildElement();
        const QDomElement second = first.nextSiblingElement();
        QVERIFY(second.nextSiblingElement().isNull());
        const bool aFirst = first.firstChildElement("picture").text() == "A.jpg";
        const QDomElement a = aFirst ? first : second;
        const QDomElement b = aFirst ? second : first;
        QCOMPARE(b.firstChildElement("picture").text(), QStringLiteral("B.jpg"));
        QCOMPARE(a.firstChildElement("picture").text(), QStringLiteral("A.jpg"));
        QCOMPARE(a.firstChildElement("description").text(), QStringLiteral("second, edited"));
        QCOMPARE(a.firstChildElement("ticks").text(), QStringLiteral("25"));
        QCOMPARE(a.firstChildElement("level").text(), QStringLiteral("-1"));
        QCOMPARE(zipNames(packagePath),
                 QStringList({"L/res/A.jpg", "L/res/B.jpg", "L/tracks.xml"}));
    }

    // A time the teacher did not change keeps its text as written, even one
    // this editor reads as 0; an edited one is written as a number.
    void untouchedTimesKeepTheirText() {
        const QStringList texts = {"99999999999", "abc", "1e3", "0x10", " 7", "+8", "", "012"};
        QString entries;
        QList<QPair<QString, QByteArray>> files;
        for (int k = 0; k < texts.size(); ++k) {
            entries += QString(
                           "<track><description>e%1</description><ticks>%2</ticks>"
                           "<picture>p%1.jpg</picture><level>-1</level></track>")
                           .arg(k)
                           .arg(texts[k]);
            files.append({QString("L/res/p%1.jpg").arg(k), pictureBytes("JPEG")});
        }
        entries +=
            "<track><description>none</description><picture>q.jpg</picture>"
            "<level>-1</level></track>";
        files.append({"L/tracks.xml", trackXml(entries)});
        packagePath = scratch->work() + "/times.zip";
        QVERIFY(writeZip(packagePath, files));
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(packagePath)) && host->waitForLoad());

        QVERIFY(host->saveTrack("Lesson", root->asWindowHolds()));
        QCOMPARE(rootText(readFile(folder() + "/tracks.xml")), rootText(trackXml(entries)));

        // Moving "abc" (shown at 0) to 5 seconds writes 5, and only there.
        QJsonArray track = root->asWindowHolds();
        for (int k = 0; k < track.size(); ++k) {
            QJsonObject object = track[k].toObject();
            if (object["id"] == "p1") {
                object["timeTick"] = 5;
                track[k] = object;
            }
        }
        QVERIFY(host->saveTrack("Lesson", track));
        QStringList written;
        for (QDomElement e = savedTracks().firstChildElement(); !e.isNull();
             e = e.nextSiblingElement()) {
            const QDomElement ticks = e.firstChildElement("ticks");
            written << (ticks.isNull() ? "(none)" : ticks.text());
        }
        QStringList expected = texts;
        expected[1] = "5";
        QCOMPARE(written, expected << "(none)");
    }

    // The traces of a save, the whole document twice among them, are for
    // diagnosis: off unless QT_LOGGING_RULES switches them on.
    void savingWritesNoTracesByDefault() {
        QString entries;
        for (int k = 0; k < 200; ++k)
            entries += QString(
                           "<track><description>entry %1</description><ticks>%1</ticks>"
                           "<picture>A.jpg</picture></track>")
                           .arg(k);
        packagePath = scratch->work() + "/traced.zip";
        QVERIFY(writeZip(packagePath, {{"L/tracks.xml", trackXml(entries)},
                                       {"L/res/A.jpg", pictureBytes("JPEG")}}));
        const auto run = [&](const QString& rules) {
            QProcess saver;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove("QT_LOGGING_RULES");
            if (!rules.isEmpty())
                environment.insert("QT_LOGGING_RULES", rules);
            saver.setProcessEnvironment(environment);
            saver.start(QCoreApplication::applicationFilePath(), {"--save-once", packagePath});
            saver.waitForFinished(60000);
            return qMakePair(saver.exitCode(), saver.readAllStandardError());
        };
        const auto quiet = run(QString());
        QCOMPARE(quiet.first, 0);
        QCOMPARE(quiet.second, QByteArray());
        QVERIFY(readZip(packagePath)["L/tracks.xml"].data.contains("changed"));

        const auto traced = run("reelwright.host.debug=true");
        QCOMPARE(traced.first, 0);
        QVERIFY(traced.second.contains("QPlayerHost::saveTrack titile is  \"Saved\""));
        QCOMPARE(traced.second.count("<description>entry 199</description>"), 2);
    }

    // Written in the encoding the declaration names; UTF-8 without one.
    void documentEncoding_data() {
        QTest::addColumn<QString>("declaration");
        QTest::addColumn<QByteArray>("codec");
        QTest::newRow("GBK") << "<?xml version=\"1.0\" encoding=\"GBK\"?>" << QByteArray("GBK");
        QTest::newRow("none") << "" << QByteArray("UTF-8");
    }
    void documentEncoding() {
        QFETCH(QString, declaration);
        QFETCH(QByteArray, codec);
        QTextCodec* textCodec = QTextCodec::codecForName(codec);
        const QString xml = declaration + "<t><track_name>旧</track_name><tracks/></t>";
        loadFixture(textCodec->fromUnicode(xml));
        QVERIFY(host->saveTrack("物理课", {}));
        const QByteArray written = readFile(folder() + "/tracks.xml");
        QVERIFY(written.contains(textCodec->fromUnicode("<track_name>物理课</track_name>")));
        QDomDocument document;
        QVERIFY(document.setContent(written));
        QCOMPARE(document.documentElement().firstChildElement("track_name").text(),
                 QStringLiteral("物理课"));
    }

    // The document cannot be written: nothing packed, the failure reported.
    void writeFailure() {
        loadFixture();
        const QByteArray before = readFile(packagePath);
        const QString stored = folder() + "/tracks.xml";
        QVERIFY(QFile::remove(stored));
        QVERIFY(QDir().mkdir(stored));  // even root cannot replace a folder with a file
        QVERIFY(!host->saveTrack("t", {entry("A", sample("A.jpg"), 1, "", "-1")}));
        QCOMPARE(readFile(packagePath), before);
        QVERIFY(QFileInfo(stored).isDir());
    }

    // Packing fails (the package's name is taken by a folder): the store keeps
    // the "tracks.xml" the package holds, and the reason is given.
    void packFailure() {
        loadFixture();
        const QByteArray storedBefore = readFile(folder() + "/tracks.xml");
        QVERIFY(QFile::remove(packagePath));
        QVERIFY(QDir().mkdir(packagePath));
        QVERIFY(!host->saveTrack("t", {entry("A", sample("A.jpg"), 1, "", "-1")}));
        // No words of its own for this: the system's message.
        QVERIFY2(host->lastError().startsWith(QStringLiteral("无法写入授课轨迹包（")),
                 qPrintable(host->lastError()));
        QCOMPARE(readFile(folder() + "/tracks.xml"), storedBefore);
        QVERIFY(QFileInfo(packagePath).isDir());
    }

    // The disk holding the package is full: the package and the store's
    // "tracks.xml" both stay as they were; after room is made the save goes through.
    void fullDisk() {
        const QString disk = scratch->work() + "/disk";
        QVERIFY(QDir().mkdir(disk));
        QProcess mount;
        mount.start("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", disk});
        if (!mount.waitForFinished() || mount.exitStatus() != QProcess::NormalExit ||
            mount.exitCode() != 0)
            QSKIP("mounting a small tmpfs needs privileges this run does not have");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {disk}); });

        packagePath = disk + "/lesson.zip";
        QVERIFY(writeZip(packagePath, {{"L/tracks.xml", trackXml(kEntries)},
                                       {"L/res/A.jpg", pictureBytes("JPEG")}}));
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(packagePath)) && host->waitForLoad());
        // Pictures are stored as they are: 300 KB of noise cannot fit.
        QByteArray noise(300 * 1024, 0);
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = static_cast<char>(QRandomGenerator::global()->generate());
        QFile big(folder() + "/res/big.jpg");
        QVERIFY(big.open(QIODevice::WriteOnly) && big.write(noise) == noise.size());
        big.close();
        const QByteArray packageBefore = readFile(packagePath);
        const QByteArray storedBefore = readFile(folder() + "/tracks.xml");

        const QJsonArray track = {entry("A", sample("A.jpg"), 1, "a", "1"),
                                  entry("big", sample("big.jpg"), 2, "big", "-1")};
        QVERIFY(!host->saveTrack("Full", track));
        QCOMPARE(host->lastError(), QStringLiteral("磁盘空间不足"));
        QCOMPARE(readFile(packagePath), packageBefore);
        QCOMPARE(readFile(folder() + "/tracks.xml"), storedBefore);

        QVERIFY(big.resize(1000));
        QVERIFY(host->saveTrack("Full", track));
        QCOMPARE(host->lastError(), QString());
        QCOMPARE(readZip(packagePath)["L/tracks.xml"].data, readFile(folder() + "/tracks.xml"));
    }

    // Pictures that are gone, or are no regular files, are left out and named;
    // everything else and the new "tracks.xml" reach the package.
    void missingPicturesLeftOut() {
        loadFixture(trackXml(QString(kEntries) + "<!-- kept as it is -->"));
        QVERIFY(QFile::remove(folder() + "/res/B.jpg"));
        QVERIFY(QFile::remove(folder() + "/res/C.jpg"));
        QVERIFY(QDir().mkdir(folder() + "/res/C.jpg"));
        QVERIFY(QFile::link(folder() + "/res/A.jpg", folder() + "/res/D.jpg"));
        QSignalSpy skipped(host.get(), &QPlayerHost::lastSkippedChanged);

        QVERIFY(host->saveTrack(
            "t",
            {entry("A", sample("A.jpg"), 1, "", "-1"), entry("B", sample("B.jpg"), 2, "", "-1"),
             entry("C", sample("C.jpg"), 3, "", "-1"), entry("D", sample("D.jpg"), 4, "", "-1")}));
        QCOMPARE(host->lastError(), QString());
        QCOMPARE(host->lastSkipped(), QStringList({"B.jpg", "C.jpg", "D.jpg"}));
        QCOMPARE(skipped.count(), 1);
        const QByteArray stored = readFile(folder() + "/tracks.xml");
        QVERIFY(stored.contains("<!-- kept as it is -->"));
        QVERIFY(stored.contains("<picture>B.jpg</picture>"));
        const QMap<QString, ZipEntry> packed = readZip(packagePath);
        QCOMPARE(packed.keys(), QStringList({"L/res/A.jpg", "L/tracks.xml"}));
        QCOMPARE(packed["L/tracks.xml"].data, stored);

        QVERIFY(host->saveTrack("t", {entry("A", sample("A.jpg"), 1, "", "-1")}));
        QCOMPARE(host->lastSkipped(), QStringList());
    }

    // Saving packs only files of the track's own "res" folder, whatever the
    // document's picture names or the samples of the user interface say.
    void nothingOutsideTheTrackIsPacked() {
        const QString otherRes = scratch->store() + "Lesson1/res/";
        QVERIFY(QDir().mkpath(otherRes));
        QFile secret(otherRes + "slide0001.jpg");
        QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("other track") > 0);
        secret.close();
        loadFixture(trackXml(QString(kEntries) +
                             "<track><ticks>4</ticks>"
                             "<picture>../../Lesson1/res/slide0001.jpg</picture></track>"));
        QVariantList hostile;
        for (const QVariantList& loaded : root->appended()) {
            if (loaded[0] == "../../Lesson1/res/slide0001")
                hostile = loaded;
        }
        QCOMPARE(hostile.size(), 5);
        QCOMPARE(hostile[1].toString(), QString());

        const QJsonArray track = {
            entry("A", sample("A.jpg"), 1, "", "-1"),
            // As the window gives the loaded entry back: no picture.
            entry(hostile[0].toString(), "file:///", 4, "", "-1"),
            // A sample naming a picture of another track.
            entry("slide0001", QUrl::fromLocalFile(otherRes + "slide0001.jpg").toString(), 5, "",
                  "-1"),
            entry("up", "file://" + folder() + "/res/../../Lesson1/res/slide0001.jpg", 6, "", "-1"),
        };
        QVERIFY(host->saveTrack("t", track));
        QCOMPARE(zipNames(packagePath), QStringList({"L/res/A.jpg", "L/tracks.xml"}));
        QCOMPARE(host->lastSkipped(), QStringList({"slide0001.jpg"}));
        // The hostile name stays as it was, to no effect.
        QVERIFY(readFile(folder() + "/tracks.xml")
                    .contains("<picture>../../Lesson1/res/slide0001.jpg</picture>"));
    }

    // Samples are proper file URLs, so any character of a folder or file name
    // survives; the older "file:///" + path form is still understood.
    void sampleUrlsRoundTrip() {
        packagePath = scratch->work() + "/odd.zip";
        const QString picture = QStringLiteral("課 #2?50%.jpg");
        QVERIFY(writeZip(packagePath,
                         {{"L #1 100%/tracks.xml", trackXml("<track><ticks>1</ticks><picture>" +
                                                            picture + "</picture></track>")},
                          {"L #1 100%/res/" + picture, pictureBytes("JPEG")}}));
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(packagePath)) && host->waitForLoad());
        const QString source = scratch->work() + "/a#b.png";
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(pictureBytes("PNG")) > 0);
        file.close();
        const QJsonArray added = host->prepareSamples({QUrl::fromLocalFile(source)});
        QCOMPARE(added.size(), 1);
        const QString addedSample = added[0].toObject()["sample"].toString();
        const QString addedId = added[0].toObject()["id"].toString();
        QCOMPARE(QUrl(addedSample).toLocalFile(), folder() + "/res/" + addedId + ".jpeg");

        const QString loadedSample = root->appended().first()[1].toString();
        for (const QString& form :
             {QUrl::fromLocalFile(loadedSample).toString(), "file:///" + loadedSample.mid(1)}) {
            QVERIFY(host->saveTrack("t", {entry("課 #2?50%", form, 1, "", "-1"),
                                          entry(addedId, addedSample, 2, "", "-1")}));
            QCOMPARE(host->lastSkipped(), QStringList());
            QCOMPARE(zipNames(packagePath),
                     QStringList({"L #1 100%/res/" + addedId + ".jpeg", "L #1 100%/res/" + picture,
                                  "L #1 100%/tracks.xml"}));
            QVERIFY(readFile(folder() + "/tracks.xml").contains(("<picture>" + picture).toUtf8()));
        }
    }

    void captionUpdate() {
        loadFixture();
        const QByteArray packageBefore = readFile(packagePath);
        host->updateTrack("x1", "changed");
        QCOMPARE(savedTracks().firstChildElement().firstChildElement("description").text(),
                 QStringLiteral("changed"));
        const QByteArray rewritten = readFile(folder() + "/tracks.xml");
        host->updateTrack("nobody", "ignored");
        QCOMPARE(readFile(folder() + "/tracks.xml"), rewritten);
        QCOMPARE(readFile(packagePath), packageBefore);  // packed by the next save only
    }

    void samples() {
        loadFixture();
        QCOMPARE(host->prepareSamples({}), QJsonArray());

        QVERIFY(QDir().mkpath(scratch->work() + "/one") && QDir().mkpath(scratch->work() + "/two"));
        const QString first = scratch->work() + "/one/blackboard.png";
        const QString second = scratch->work() + "/two/blackboard.png";
        const QString notPicture = scratch->work() + "/notes.png";
        for (const QString& path : {first, second, notPicture}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(path == notPicture ? QByteArray("plain text") : pictureBytes("PNG"));
        }
        const QJsonArray result = host->prepareSamples(
            {QUrl::fromLocalFile(first), QUrl::fromLocalFile(notPicture),
             QUrl::fromLocalFile(scratch->work() + "/absent.png"), QUrl::fromLocalFile(second)});
        QCOMPARE(result.size(), 2);
        const QRegularExpression uuid(
            "^\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$");
        QStringList ids;
        for (const QJsonValue& value : result) {
            const QJsonObject object = value.toObject();
            QCOMPARE(object.keys(), QStringList({"description", "id", "sample"}));
            const QString id = object["id"].toString();
            QVERIFY2(uuid.match(id).hasMatch(), qPrintable(id));
            QCOMPARE(object["description"].toString(), QStringLiteral("blackboard"));
            const QString target = folder() + "/res/" + id + ".jpeg";
            QCOMPARE(object["sample"].toString(), QUrl::fromLocalFile(target).toString());
            QCOMPARE(QImageReader(target).format(), QByteArray("jpeg"));
            ids << id;
        }
        QVERIFY(ids[0] != ids[1]);
    }

    void samplesWithoutPictureFolder() {
        packagePath = scratch->work() + "/bare.zip";
        QVERIFY(writeZip(packagePath, {{"L/tracks.xml", trackXml("")}}));
        QVERIFY(host->loadTrack(QUrl::fromLocalFile(packagePath)) && host->waitForLoad());
        const QString picture = scratch->work() + "/p.png";
        QFile file(picture);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(pictureBytes("PNG"));
        file.close();
        // The folder is made for the first picture.
        QCOMPARE(host->prepareSamples({QUrl::fromLocalFile(picture)}).size(), 1);
        QVERIFY(QFileInfo(folder() + "/res").isDir());
    }
};

int main(int argc, char** argv) {
    if (argc > 2 && qstrcmp(argv[1], "--save-once") == 0)
        return saveOnce(argc, argv);
    QCoreApplication application(argc, argv);
    TrackSaving test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_tracksaving.moc"
