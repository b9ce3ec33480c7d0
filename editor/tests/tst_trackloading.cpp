// Opening track packages: what reaches the user interface and the properties,
// and what each way of failing leaves behind.
#include "qplayerhost.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <iostream>
#include <string>

namespace {

// The process's peak resident set, from the kernel's high-water mark.
qint64 peakKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// A second editor: this test program started again in holder mode, driven by
// lines on its standard input ("load PATH"), answering "ok" or "fail REASON".
class TrackHolder {
public:
    TrackHolder() {
        process.setProgram(QCoreApplication::applicationFilePath());
        process.setArguments({QStringLiteral("--track-holder")});
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted())
            qFatal("the holder process does not start");
    }
    ~TrackHolder() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.closeWriteChannel();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished();
    }
    QString load(const QString& path) {
        process.write(("load " + path + "\n").toUtf8());
        process.waitForBytesWritten();
        lastReply.clear();
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(30000))
                return lastReply = QStringLiteral("no answer");
        }
        return lastReply = QString::fromUtf8(process.readLine()).trimmed();
    }
    void kill() {
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished();
    }
    QString lastReply;

private:
    QProcess process;
};

// A window that takes a millisecond per appended entry, as a large list does,
// and notes how often the event loop had turned by then.
class SlowRoot : public RecordingRoot {
    Q_OBJECT
public:
    Q_INVOKABLE QVariant appendItem(QVariant id, QVariant sample, QVariant timeTick,
                                    QVariant description, QVariant level) {
        QThread::msleep(1);
        turnsAtAppend << turns;
        return RecordingRoot::appendItem(id, sample, timeTick, description, level);
    }
    int turns = 0;
    QList<int> turnsAtAppend;
};

int runTrackHolder(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    RecordingRoot root;
    QPlayerHost host(&root, nullptr);
    std::string line;
    while (std::getline(std::cin, line)) {
        const QString command = QString::fromStdString(line);
        if (!command.startsWith(QLatin1String("load ")))
            continue;
        const bool loaded =
            host.loadTrack(QUrl::fromLocalFile(command.mid(5))) && host.waitForLoad();
        std::cout << (loaded ? std::string("ok") : "fail " + host.lastError().toStdString())
                  << std::endl;
    }
    return 0;
}

}  // namespace

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
    bool load(const QString& path) {
        return host->loadTrack(QUrl::fromLocalFile(path)) && host->waitForLoad();
    }
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
    // A failed load leaves no track open, so the window's emptied grid and the
    // properties agree and a save cannot touch the previous track or package.
    // reason: the whole message, or its start when it ends in "：" (a reason
    // that goes on with figures).
    void expectNoTrack(const QString& previousFolder, const QString& reason) {
        if (reason.endsWith(QStringLiteral("：")))
            QVERIFY2(host->lastError().startsWith(reason), qPrintable(host->lastError()));
        else
            QCOMPARE(host->lastError(), reason);
        QCOMPARE(root->functions(), QStringList({"clearTimeLine", "resetTimeLine"}));
        QCOMPARE(host->title(), QString());
        QCOMPARE(host->trackName(), QString());
        QCOMPARE(host->trackDesc(), QString());
        QCOMPARE(host->date(), QString());
        QCOMPARE(host->teacher(), QString());
        QCOMPARE(host->duration(), QString());
        QCOMPARE(host->currentTrackFolder(), QString());
        QCOMPARE(host->currentPackagePath(), QString());
        const QString previousXml = previousFolder + "/tracks.xml";
        const QByteArray before =
            QFile(previousXml).exists() ? readFile(previousXml) : QByteArray();
        QVERIFY(!host->saveTrack("Lesson", {}));
        QCOMPARE(host->lastError(), QStringLiteral("没有打开的授课轨迹"));
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
            "<!-- a comment is no entry -->"
            "<track><description>no time</description><picture>noext</picture><level/></track>"
            "<track><ticks>-7</ticks><picture>neg.jpg</picture></track>");
        QVERIFY(load(path));

        const QString folder = scratch->store() + "L";
        QCOMPARE(host->currentTrackFolder(), folder);
        QCOMPARE(host->currentPackagePath(), path);
        QCOMPARE(root->functions(),
                 QStringList({"clearTimeLine", "date", "trackDesc", "trackName", "teacher",
                              "appendItem", "appendItem", "appendItem", "appendItem", "duration",
                              "resetTimeLine", "title"}));
        const QString res = folder + "/res/";
        // In time order: the window puts each entry at the end of its list.
        const QList<QVariantList> expected = {
            {"neg", res + "neg.jpg", -7, "", "-1"},
            {"noext", res + "noext", 0, "no time", ""},
            {"a.b", res + "a.b.jpeg", 10, "", "-1"},
            {"b", res + "b.png", 30, "third", "1"},
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
        QCOMPARE(host->lastError(), QString());
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

    void unpackFailureClosesTrack_data() {
        QTest::addColumn<bool>("zip");
        QTest::newRow("a file where the track folder belongs") << true;
        QTest::newRow("not an archive") << false;
    }
    void unpackFailureClosesTrack() {
        QFETCH(bool, zip);
        QVERIFY(load(trackPackage("<track><ticks>4</ticks><picture>a.jpg</picture></track>")));
        const QString previous = host->currentTrackFolder();
        root->calls.clear();

        QString bad = scratch->work() + "/bad.zip";
        if (zip) {
            bad = package({{"M/tracks.xml", trackXml("")}}, "bad.zip");
            QFile file(scratch->store() + "M");
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("PK\x03\x04 but nothing after");
        }
        const QByteArray badBytes = readFile(bad);
        const QStringList before = treeOf(scratch->data());
        QVERIFY(!load(bad));
        // The previous track's lock is given back; nothing else changes.
        QCOMPARE(treeOf(scratch->data()), before.filter(QRegularExpression("^(?!.*\\.lock$)")));
        expectNoTrack(previous, zip ? QStringLiteral("无法解压授课轨迹包")
                                    : QStringLiteral("文件不是授课轨迹包"));
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
        QCOMPARE(treeOf(scratch->data()), before.filter(QRegularExpression("^(?!.*\\.lock$)")));
        expectNoTrack(previous, QStringLiteral("文件不是授课轨迹包"));
        QCOMPARE(readFile(bad), badBytes);
    }

    // Damaged "tracks.xml": the load fails with its reason and saving refuses
    // rather than overwrite the package with an empty track.
    void unparsableDocument() {
        host->setTitle("Old");
        host->setTrackDesc("old");
        host->setDate("2000-01-01");
        const QByteArray damaged = "<track_info>\n<track_name>Half";
        const QString path = package({{"L/tracks.xml", damaged}, {"L/res/a.jpg", "x"}});
        const QByteArray packageBytes = readFile(path);
        QVERIFY(!load(path));
        expectNoTrack(QString(), QStringLiteral("tracks.xml格式错误（第2行）"));
        host->updateTrack("x", "y");
        QCOMPARE(readFile(path), packageBytes);
        QCOMPARE(readFile(scratch->store() + "L/tracks.xml"), damaged);
        QCOMPARE(treeOf(scratch->store()),
                 QStringList({"L", "L/res", "L/res/a.jpg", "L/tracks.xml"}));
    }

    // Small packages that used to exhaust the stack or memory of the document
    // parser: refused by the streaming pass, quickly, in bounded memory.
    void hostileDocuments_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<int>("maxPackage");
        QTest::addColumn<QString>("reason");
        QTest::newRow("30,000 nested elements")
            << QByteArray("<a>").repeated(30000) + QByteArray("</a>").repeated(30000) << 600
            << "tracks.xml嵌套层次过深";
        QTest::newRow("257 levels")
            << QByteArray("<a>").repeated(257) + "<b/>" << 0 << "tracks.xml嵌套层次过深";
        QTest::newRow("one entity, 50,000 characters, used 50,000 times")
            << "<!DOCTYPE t [<!ENTITY e \"" + QByteArray(50000, 'x') + "\">]><t>" +
                   QByteArray("&e;").repeated(50000) + "</t>"
            << 600 << "tracks.xml含有实体声明";
        QTest::newRow("nested entities")
            << QByteArray(
                   "<!DOCTYPE t [<!ENTITY a \"aaaaaaaaaa\">"
                   "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                   "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><t>&c;&c;</t>")
            << 0 << "tracks.xml含有实体声明";
        QTest::newRow("parameter entity") << QByteArray("<!DOCTYPE t [<!ENTITY % p \"x\">]><t/>")
                                          << 0 << "tracks.xml含有实体声明";
        // Refused from the size the package declares, before it is unpacked.
        QTest::newRow("17 MB") << "<t>" + QByteArray(17 * 1024 * 1024, ' ') + "</t>" << 0
                               << "tracks.xml过大";
    }
    void hostileDocuments() {
        QFETCH(QByteArray, xml);
        QFETCH(int, maxPackage);
        QFETCH(QString, reason);
        QVERIFY(load(trackPackage("<track><ticks>4</ticks><picture>a.jpg</picture></track>")));
        const QString previous = host->currentTrackFolder();
        root->calls.clear();
        const QString path = package({{"L/tracks.xml", xml}}, "hostile.zip");
        if (maxPackage > 0)
            QVERIFY2(QFileInfo(path).size() <= maxPackage,
                     qPrintable(QString::number(QFileInfo(path).size())));

        const qint64 peakBefore = peakKib();
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!load(path));
        QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(peakKib() - peakBefore < 128 * 1024,
                 qPrintable(QString::number(peakKib() - peakBefore)));
        expectNoTrack(previous, reason);
    }

    // A document type without entities, and nesting up to the limit, load.
    void harmlessDocumentsLoad() {
        const QByteArray plain = trackXml("");
        QVERIFY(load(
            package({{"L/tracks.xml", "<!DOCTYPE track_info>" + plain.mid(plain.indexOf('\n'))}})));
        QCOMPARE(host->title(), QStringLiteral("Lesson"));
        QCOMPARE(host->lastError(), QString());
        const QByteArray deep =
            "<t><track_name>Deep</track_name><tracks><track><picture>a.jpg</picture>" +
            QByteArray("<x>").repeated(251) + QByteArray("</x>").repeated(251) +
            "</track></tracks></t>";
        QVERIFY(load(package({{"L/tracks.xml", deep}})));
        QCOMPARE(host->title(), QStringLiteral("Deep"));
        QVERIFY(host->saveTrack("Deep", {QJsonObject{{"id", "a"}, {"sample", ""}}}));
    }

    // A picture name is a file of the track's own "res" folder, never a path.
    void pictureNamesThatArePaths() {
        const QString path = trackPackage(
            "<track><ticks>1</ticks><picture>../../Lesson1/res/slide0001.jpg</picture></track>"
            "<track><ticks>2</ticks><picture>sub/a.jpg</picture></track>"
            "<track><ticks>3</ticks><picture>..\\a.jpg</picture></track>"
            "<track><ticks>4</ticks><picture>..</picture></track>"
            "<track><ticks>5</ticks></track>"
            "<track><ticks>6</ticks><picture>a..b.jpg</picture></track>");
        QVERIFY(load(path));
        const QList<QVariantList> expected = {
            {"../../Lesson1/res/slide0001", "", 1, "", "-1"},
            {"sub/a", "", 2, "", "-1"},
            {"..\\a", "", 3, "", "-1"},
            {".", "", 4, "", "-1"},
            {"", "", 5, "", "-1"},
            {"a..b", host->currentTrackFolder() + "/res/a..b.jpg", 6, "", "-1"},
        };
        QCOMPARE(root->appended(), expected);
    }
    // One track folder, one editor: a second editor process holds the folder L.
    void secondEditorRefused() {
        const QString first = package({{"L/tracks.xml", trackXml("", "First")}}, "first.zip");
        const QString second =
            package({{"L/tracks.xml", trackXml("", "Second")}, {"L/res/b.jpg", "b"}}, "second.zip");
        const QString other = package({{"M/tracks.xml", trackXml("", "Other")}}, "other.zip");
        TrackHolder holder;
        QCOMPARE(holder.load(first), QStringLiteral("ok"));

        const QStringList storeBefore = treeOf(scratch->store());
        const QByteArray storedXml = readFile(scratch->store() + "L/tracks.xml");
        const QByteArray secondBytes = readFile(second);
        QVERIFY(!load(second));
        expectNoTrack(QString(), QStringLiteral("此授课轨迹已在另一个窗口中打开"));
        QCOMPARE(treeOf(scratch->store()), storeBefore);
        QCOMPARE(readFile(scratch->store() + "L/tracks.xml"), storedXml);
        QCOMPARE(readFile(second), secondBytes);

        // The other editor opens another track and gives L back.
        QCOMPARE(holder.load(other), QStringLiteral("ok"));
        QVERIFY(load(second));
        QCOMPARE(host->title(), QStringLiteral("Second"));
        QVERIFY(load(second));  // this editor's own lock does not stop it
        QCOMPARE(holder.load(first), QStringLiteral("fail 此授课轨迹已在另一个窗口中打开"));

        // This editor ends: the other one may open L.
        host.reset();
        QCOMPARE(holder.load(first), QStringLiteral("ok"));
    }

    // An editor that was killed leaves its lock file; it does not hold the folder.
    void killedEditorLeavesNoLock() {
        const QString path = package({{"L/tracks.xml", trackXml("", "First")}}, "first.zip");
        {
            TrackHolder holder;
            QCOMPARE(holder.load(path), QStringLiteral("ok"));
            holder.kill();
        }
        QVERIFY(QFileInfo::exists(scratch->store() + "L.lock"));
        QVERIFY(load(path));
        QCOMPARE(host->title(), QStringLiteral("First"));
    }

    // The package is read on a worker thread and its entries reach the window
    // in slices: the event loop turns all the while, so the window draws and
    // shows how far the load is. Nothing else starts meanwhile.
    void loadingKeepsTheEventLoopTurning() {
        QString entries;
        for (int k = 0; k < 150; ++k)
            entries +=
                QString("<track><ticks>%1</ticks><picture>a.jpg</picture></track>").arg(150 - k);
        const QString path = trackPackage(entries);
        SlowRoot slow;
        QPlayerHost loader(&slow, nullptr);
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++slow.turns; });
        ticker.start(0);
        QList<double> progress;
        connect(&loader, &QPlayerHost::loadProgressChanged, [&](double p) { progress << p; });
        QSignalSpy loaded(&loader, &QPlayerHost::trackLoaded);

        QVERIFY(loader.loadTrack(QUrl::fromLocalFile(path)));
        QVERIFY(loader.loading());
        QVERIFY(slow.calls.isEmpty());
        QVERIFY(!loader.loadTrack(QUrl::fromLocalFile(path)));
        QCOMPARE(loader.lastError(), QStringLiteral("正在打开另一个授课轨迹"));
        QVERIFY(!loader.saveTrack("Lesson", {}));
        QCOMPARE(loader.lastError(), QStringLiteral("正在打开授课轨迹"));
        QVERIFY(loader.waitForLoad());

        QCOMPARE(loaded.count(), 1);
        QCOMPARE(loaded[0][0].toBool(), true);
        QVERIFY(!loader.loading());
        QCOMPARE(loader.lastError(), QString());
        QCOMPARE(slow.appended().size(), 150);
        QCOMPARE(slow.appended().first()[2].toInt(), 1);
        QCOMPARE(slow.appended().last()[2].toInt(), 150);
        QCOMPARE(slow.functions().last(), QStringLiteral("resetTimeLine"));
        // The first entry came after the event loop turned, the last many turns later.
        QVERIFY(slow.turnsAtAppend.first() > 0);
        QVERIFY2(slow.turnsAtAppend.last() - slow.turnsAtAppend.first() >= 3,
                 qPrintable(QString::number(slow.turnsAtAppend.last())));
        // How far it was, rising between 0 and 1, then back to unknown.
        QVERIFY2(progress.size() >= 3, qPrintable(QString::number(progress.size())));
        QCOMPARE(progress.last(), -1.0);
        for (int k = 1; k + 1 < progress.size(); ++k)
            QVERIFY(progress[k] > progress[k - 1] && progress[k] > 0 && progress[k] < 1);
    }

    // A store without room: the load says so, and leaves no track open.
    void fullStoreSaysSo() {
        const QString disk = scratch->work() + "/disk";
        QVERIFY(QDir().mkdir(disk));
        QProcess mount;
        mount.start("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", disk});
        if (!mount.waitForFinished() || mount.exitStatus() != QProcess::NormalExit ||
            mount.exitCode() != 0)
            QSKIP("mounting a small tmpfs needs privileges this run does not have");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {disk}); });
        qputenv("XDG_DATA_HOME", QFile::encodeName(disk));
        QByteArray noise(600 * 1024, 0);
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = static_cast<char>(QRandomGenerator::global()->generate());
        const QString path =
            package({{"L/tracks.xml", trackXml("<track><ticks>1</ticks><picture>big.jpg</picture>"
                                               "</track>")},
                     {"L/res/big.jpg", noise}});
        QVERIFY(!load(path));
        // The unpack's free-space bound says how much it needs.
        expectNoTrack(QString(), QStringLiteral("磁盘空间不足："));
        host.reset();
        qputenv("XDG_DATA_HOME", QFile::encodeName(scratch->data()));
    }

    void saveWithoutTrack() {
        const QStringList before = treeOf(scratch->data()) + treeOf(scratch->work());
        QVERIFY(!host->saveTrack("Title", {QJsonObject{{"id", "a"}}}));
        QCOMPARE(treeOf(scratch->data()) + treeOf(scratch->work()), before);
    }
};

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--track-holder") == 0)
        return runTrackHolder(argc, argv);
    QCoreApplication application(argc, argv);
    TrackLoading test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_trackloading.moc"
