// Opening track packages: what reaches the user interface and the properties,
// and what each way of failing leaves behind.
#include "qplayerhost.h"
#include "testsupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

class TrackLoading : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> scratch;
    std::unique_ptr<RecordingRoot> root;
    std::unique_ptr<QPlayerHost> host;

    QString package(const QList<QPair<QString, QByteArray>>& entries,
                    const QString& name = QStringLiteral("lesson.zip")) {
        const QString path = scratch->work() + QLatin1Char('/') + name;
        if (!writeZip(path, entries))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    QString trackPackage(const QString& entries, const QString& endtime = "2019-07-20T08:44:36") {
        return package({{"L/tracks.xml", trackXml(entries, "Lesson", endtime)},
                        {"L/res/a.jpg", pictureBytes("JPEG")}});
    }
    bool load(const QString& path) { return host->loadTrack(QUrl::fromLocalFile(path)); }
    // Property signals go into the same log as the user-interface calls, so the
    // test sees the order of both.
    void logSignals() {
        const auto log = [this](const char* name) {
            return [this, name](const QString& value) {
                root->calls.append({QString::fromLatin1(name), {value}});
            };
        };
        connect(host.get(), &QPlayerHost::dateChanged, log("date"));
        connect(host.get(), &QPlayerHost::trackDescChanged, log("trackDesc"));
        connect(host.get(), &QPlayerHost::trackNameChanged, log("trackName"));
        connect(host.get(), &QPlayerHost::teacherChanged, log("teacher"));
        connect(host.get(), &QPlayerHost::durationChanged, log("duration"));
        connect(host.get(), &QPlayerHost::titleChanged, log("title"));
    }
    void expectUnchangedHost(const QString& previousFolder) {
        QCOMPARE(root->calls.size(), 0);
        QCOMPARE(host->title(), QStringLiteral("Lesson"));
        QCOMPARE(host->teacher(), QStringLiteral("授课老师：王老师"));
        QCOMPARE(host->currentTrackFolder(), previousFolder);
        // The user interface has emptied its list; a save now must not prune
        // the previous track or pack it into the package that failed.
        const QString previousXml = previousFolder + "/tracks.xml";
        const QByteArray before =
            QFile(previousXml).exists() ? readFile(previousXml) : QByteArray();
        QVERIFY(!host->saveTrack("Lesson", {}));
        QCOMPARE(readFile(previousXml), before);
    }
    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
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

    void entriesAndPropertiesInOrder() {
        logSignals();
        const QString path = trackPackage(
            "<track><description>third</description><ticks>30</ticks>"
            "<picture>b.png</picture><level>1</level></track>"
            "<track><description/><ticks>10</ticks><picture>a.b.jpeg</picture></track>"
            "<!-- a comment is an entry too -->"
            "<track><description>no time</description><picture>noext</picture><level/></track>"
            "<track><ticks>-7</ticks><picture>neg.jpg</picture></track>");
        QVERIFY(load(path));

        const QString folder = scratch->store() + "L";
        QCOMPARE(host->currentTrackFolder(), folder);
        QCOMPARE(host->currentPackagePath(), path);
        QCOMPARE(root->functions(),
                 QStringList({"clearTimeLine", "date", "trackDesc", "trackName", "teacher",
                              "appendItem", "appendItem", "appendItem", "appendItem", "appendItem",
                              "duration", "resetTimeLine", "title"}));
        const QString res = folder + "/res/";
        const QList<QVariantList> expected = {
            {"b", res + "b.png", 30, "third", "1"},
            {"a.b", res + "a.b.jpeg", 10, "", "-1"},
            {"", res, 0, "", "-1"},
            {"noext", res + "noext", 0, "no time", ""},
            {"neg", res + "neg.jpg", -7, "", "-1"},
        };
        QCOMPARE(root->appended(), expected);
        for (const QVariantList& arguments : root->appended()) {
            QCOMPARE(arguments[0].userType(), int(QMetaType::QString));
            QCOMPARE(arguments[1].userType(), int(QMetaType::QString));
            QCOMPARE(arguments[2].userType(), int(QMetaType::Int));
            QCOMPARE(arguments[3].userType(), int(QMetaType::QString));
            QCOMPARE(arguments[4].userType(), int(QMetaType::QString));
        }
        QCOMPARE(host->date(), QStringLiteral("2019-07-20"));
        QCOMPARE(host->trackDesc(), QStringLiteral("About waves"));
        QCOMPARE(host->trackName(), QStringLiteral("Lesson"));
        QCOMPARE(host->title(), QStringLiteral("Lesson"));
        QCOMPARE(host->teacher(), QStringLiteral("授课老师：王老师"));
        QCOMPARE(host->duration(), QStringLiteral("时长：00:30"));
    }

    void durationText_data() {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("text");
        const auto at = [](int ticks) {
            return QStringLiteral("<track><ticks>%1</ticks><picture>a.jpg</picture></track>")
                .arg(ticks);
        };
        QTest::newRow("no entries") << QString() << "00:00";
        QTest::newRow("0") << at(0) << "00:00";
        QTest::newRow("61 and a negative") << at(61) + at(-300) << "01:01";
        QTest::newRow("3600") << at(3600) << "60:00";
        QTest::newRow("6005 not first") << at(5) + at(6005) + at(70) << "100:05";
        QTest::newRow("only negative") << at(-20) << "00:00";
        QTest::newRow("not a number") << "<track><ticks>1e3</ticks></track>"
                                      << "00:00";
    }
    void durationText() {
        QFETCH(QString, entries);
        QFETCH(QString, text);
        QVERIFY(load(trackPackage(entries)));
        QCOMPARE(host->duration(), QStringLiteral("时长：") + text);
    }

    void numberHelpers() {
        QCOMPARE(QPlayerHost::padNumber(5, 2), QStringLiteral("05"));
        QCOMPARE(QPlayerHost::padNumber(5, 3), QStringLiteral("05"));  // one zero only
        QCOMPARE(QPlayerHost::padNumber(123, 2), QStringLiteral("123"));
        QCOMPARE(QPlayerHost::formatDuration(59), QStringLiteral("00:59"));
        QCOMPARE(QPlayerHost::formatDuration(600), QStringLiteral("10:00"));
    }

    void endTime_data() {
        QTest::addColumn<QString>("endtime");
        QTest::addColumn<QString>("date");
        QTest::newRow("ISO 8601") << "2019-07-20T08:44:36"
                                  << "2019-07-20";
        QTest::newRow("not ISO") << "20.07.2019 08:44"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void endTime() {
        QFETCH(QString, endtime);
        QFETCH(QString, date);
        host->setDate("stale");
        QVERIFY(load(trackPackage("", endtime)));
        QCOMPARE(host->date(), date);
    }

    // A second load unpacks again over the store's copy and pushes the same entries.
    void loadingTwice() {
        const QString path =
            trackPackage("<track><ticks>4</ticks><picture>a.jpg</picture></track>");
        QVERIFY(load(path));
        const QList<QVariantList> first = root->appended();
        const QString stored = host->currentTrackFolder() + "/tracks.xml";
        QFile::remove(stored);
        QVERIFY(QFile(stored).open(QIODevice::WriteOnly));  // truncated to nothing
        root->calls.clear();
        QSignalSpy titles(host.get(), &QPlayerHost::titleChanged);

        QVERIFY(load(path));
        QCOMPARE(root->functions(), QStringList({"clearTimeLine", "appendItem", "resetTimeLine"}));
        QCOMPARE(root->appended(), first);
        QCOMPARE(readFile(stored),
                 trackXml("<track><ticks>4</ticks><picture>a.jpg</picture></track>"));
        QCOMPARE(titles.count(), 0);
    }

    void unpackFailureKeepsPreviousTrack_data() {
        QTest::addColumn<bool>("zip");
        QTest::newRow("entry climbing out of the store") << true;
        QTest::newRow("not an archive") << false;
    }
    void unpackFailureKeepsPreviousTrack() {
        QFETCH(bool, zip);
        QVERIFY(load(trackPackage("<track><ticks>4</ticks><picture>a.jpg</picture></track>")));
        const QString previous = host->currentTrackFolder();
        root->calls.clear();

        QString bad = scratch->work() + "/bad.zip";
        if (zip) {
            bad = package({{"M/tracks.xml", trackXml("")}, {"M/../../../escaped.txt", "x"}},
                          "bad.zip");
        } else {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("PK\x03\x04 but nothing after");
        }
        const QByteArray badBytes = readFile(bad);
        const QStringList before = treeOf(scratch->data());
        QVERIFY(!load(bad));
        QCOMPARE(treeOf(scratch->data()), before);
        QCOMPARE(host->currentPackagePath(), bad);
        expectUnchangedHost(previous);
        QCOMPARE(readFile(bad), badBytes);
    }

    // No "tracks.xml" inside a folder: refused before the store is touched.
    void noTrackFolder_data() {
        QTest::addColumn<QString>("entry");
        QTest::newRow("at the top") << "tracks.xml";
        QTest::newRow("none") << "L/notes.xml";
        QTest::newRow("in the store root itself") << "./tracks.xml";
        QTest::newRow("empty folder name") << "L//tracks.xml";
    }
    void noTrackFolder() {
        QFETCH(QString, entry);
        QVERIFY(load(trackPackage("<track><ticks>4</ticks><picture>a.jpg</picture></track>")));
        const QString previous = host->currentTrackFolder();
        root->calls.clear();
        const QString bad = package({{entry, trackXml("")}}, "flat.zip");
        const QByteArray badBytes = readFile(bad);
        const QStringList before = treeOf(scratch->data());

        QVERIFY(!load(bad));
        QCOMPARE(treeOf(scratch->data()), before);
        expectUnchangedHost(previous);
        QCOMPARE(readFile(bad), badBytes);
    }

    // Damaged "tracks.xml": the load goes through with nothing in it, and saving
    // refuses rather than overwrite the package with an empty track.
    void unparsableDocument() {
        host->setTitle("Old");
        host->setTrackDesc("old");
        host->setDate("2000-01-01");
        const QByteArray damaged = "<track_info><track_name>Half";
        const QString path = package({{"L/tracks.xml", damaged}, {"L/res/a.jpg", "x"}});
        const QByteArray packageBytes = readFile(path);
        QVERIFY(load(path));
        QCOMPARE(root->functions(), QStringList({"clearTimeLine", "resetTimeLine"}));
        QCOMPARE(host->title(), QString());
        QCOMPARE(host->trackName(), QString());
        QCOMPARE(host->trackDesc(), QString());
        QCOMPARE(host->date(), QString());
        QCOMPARE(host->teacher(), QStringLiteral("授课老师："));
        QCOMPARE(host->duration(), QStringLiteral("时长：00:00"));

        QVERIFY(!host->saveTrack("Half", {}));
        host->updateTrack("x", "y");
        QCOMPARE(readFile(path), packageBytes);
        QCOMPARE(readFile(host->currentTrackFolder() + "/tracks.xml"), damaged);
    }

    void saveWithoutTrack() {
        const QStringList before = treeOf(scratch->data()) + treeOf(scratch->work());
        QVERIFY(!host->saveTrack("Title", {QJsonObject{{"id", "a"}}}));
        QCOMPARE(treeOf(scratch->data()) + treeOf(scratch->work()), before);
    }
};

QTEST_GUILESS_MAIN(TrackLoading)
#include "tst_trackloading.moc"
