// The track store as editors share it, through the real host: a package
// reaches only its own track folder while another editor process holds a
// track open.
#include "qplayerhost.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

#include <iostream>
#include <string>

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString entryXml(const QString& picture, const QString& caption, int ticks) {
    return QStringLiteral(
               "<track><description>%1</description><ticks>%2</ticks>"
               "<picture>%3</picture><level>1</level></track>")
        .arg(caption)
        .arg(ticks)
        .arg(picture);
}

// The host's entries as the window hands them back to saveTrack.
QJsonArray trackOf(const RecordingRoot& root) {
    QJsonArray track;
    for (const QVariantList& item : root.appended())
        track.append(QJsonObject{{"id", item[0].toString()},
                                 {"sample", QUrl::fromLocalFile(item[1].toString()).toString()},
                                 {"timeTick", item[2].toInt()},
                                 {"description", item[3].toString()},
                                 {"level", item[4].toString()}});
    return track;
}

// A second editor: this program again with "--editor", driven by lines on its
// standard input ("load PATH", "save"), answering "ok" or "fail REASON".
class SecondEditor {
public:
    // asNobody: run as uid 65534, a user who is not root.
    explicit SecondEditor(bool asNobody = false) {
        const QString program = QCoreApplication::applicationFilePath();
        if (asNobody) {
            process.setProgram(QStringLiteral("setpriv"));
            process.setArguments(
                {"--reuid=65534", "--regid=65534", "--clear-groups", program, "--editor"});
        } else {
            process.setProgram(program);
            process.setArguments({QStringLiteral("--editor")});
        }
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted())
            qFatal("the second editor does not start");
    }
    ~SecondEditor() {
        process.closeWriteChannel();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished();
    }
    QString send(const QString& command) {
        process.write((command + "\n").toUtf8());
        process.waitForBytesWritten();
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(30000))
                return QStringLiteral("no answer");
        }
        return QString::fromUtf8(process.readLine()).trimmed();
    }

private:
    QProcess process;
};

int runSecondEditor(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    RecordingRoot root;
    QPlayerHost host(&root, nullptr);
    std::string line;
    while (std::getline(std::cin, line)) {
        const QString command = QString::fromStdString(line);
        bool ok = false;
        if (command.startsWith(QLatin1String("load "))) {
            root.calls.clear();
            ok = host.loadTrack(QUrl::fromLocalFile(command.mid(5))) && host.waitForLoad();
        } else if (command == QLatin1String("save")) {
            ok = host.saveTrack(host.title(), trackOf(root));
        }
        std::cout << (ok ? std::string("ok") : "fail " + host.lastError().toStdString())
                  << std::endl;
    }
    return 0;
}

}  // namespace

class TrackStore : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> scratch;
    std::unique_ptr<RecordingRoot> root;
    std::unique_ptr<QPlayerHost> host;

    QString package(const QList<QPair<QString, QByteArray>>& entries, const QString& name) {
        const QString path = scratch->work() + "/" + name;
        if (!writeZip(path, entries))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    bool load(const QString& path) {
        root->calls.clear();
        return host->loadTrack(QUrl::fromLocalFile(path)) && host->waitForLoad();
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

    // Another editor has "base" open. A package whose own track is "L" but
    // that also holds entries for "base", its lock, another track's lock and
    // the store root changes nothing of them: the other editor keeps its
    // pictures and its lock, saves its own track, and "other" still opens.
    void packageReachesOnlyItsOwnTrack() {
        const QString base = package(
            {{"base/tracks.xml", trackXml(entryXml("slide0001.jpg", "base caption", 10), "Base")},
             {"base/res/slide0001.jpg", "base picture"}},
            "base.zip");
        const QString other = package({{"other/tracks.xml", trackXml("", "Other")}}, "other.zip");
        SecondEditor editor;
        QCOMPARE(editor.send("load " + base), QStringLiteral("ok"));
        const QString store = scratch->store();
        const QByteArray baseXml = readFile(store + "base/tracks.xml");
        const QByteArray baseLock = readFile(store + "base.lock");
        QVERIFY(!baseLock.isEmpty());

        const QString intruder = package(
            {{"L/tracks.xml", trackXml(entryXml("a.jpg", "own", 1), "Intruder")},
             {"L/res/a.jpg", "own picture"},
             {"base/tracks.xml", trackXml(entryXml("slide0001.jpg", "intruder caption", 10))},
             {"base/res/slide0001.jpg", "intruder picture"},
             {"base/res", "a file where base keeps its pictures"},
             {"base.lock", "not a lock"},
             {"other.lock/x", "x"},
             {"top.txt", "beside the tracks"}},
            "intruder.zip");
        QVERIFY(load(intruder));
        QCOMPARE(host->title(), QStringLiteral("Intruder"));
        QCOMPARE(readFile(store + "L/res/a.jpg"), QByteArray("own picture"));
        QCOMPARE(readFile(store + "base/tracks.xml"), baseXml);
        QCOMPARE(readFile(store + "base/res/slide0001.jpg"), QByteArray("base picture"));
        QCOMPARE(readFile(store + "base.lock"), baseLock);
        QVERIFY(!QFileInfo::exists(store + "other.lock"));
        QVERIFY(!QFileInfo::exists(store + "top.txt"));

        // The lock still holds base for the other editor.
        QVERIFY(!load(base));
        QCOMPARE(host->lastError(), QStringLiteral("此授课轨迹已在另一个窗口中打开"));
        QVERIFY(load(other));
        QCOMPARE(host->title(), QStringLiteral("Other"));

        QCOMPARE(editor.send("save"), QStringLiteral("ok"));
        const QMap<QString, ZipEntry> saved = readZip(base);
        QCOMPARE(saved.value("base/res/slide0001.jpg").data, QByteArray("base picture"));
        QVERIFY(saved.value("base/tracks.xml").data.contains("base caption"));
    }

    // Opened through a symbolic link, a package is saved to the file the link
    // leads to, and the link stays.
    void saveThroughALink() {
        QVERIFY(QDir().mkpath(scratch->work() + "/real"));
        const QString real =
            package({{"L/tracks.xml", trackXml(entryXml("a.jpg", "first", 1), "Linked")},
                     {"L/res/a.jpg", "a"}},
                    "real/lesson.zip");
        const QString link = scratch->work() + "/lesson.zip";
        QVERIFY(QFile::link(real, link));
        QVERIFY(load(link));
        QJsonArray track = trackOf(*root);
        QJsonObject entry = track[0].toObject();
        entry["description"] = "changed";
        track[0] = entry;
        QVERIFY(host->saveTrack("Linked", track));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), real);
        QVERIFY(readZip(real).value("L/tracks.xml").data.contains("changed"));
        QCOMPARE(QDir(scratch->work()).entryList(QDir::Files | QDir::System | QDir::Hidden),
                 QStringList{"lesson.zip"});
    }

    // A user who is not root opens a package that is read-only to them: it
    // opens, but a save fails and leaves the package as it was.
    void readOnlyPackageNotSaved() {
        if (::geteuid() != 0)
            QSKIP("needs root to run the second editor as another user");
        const QString path =
            package({{"L/tracks.xml", trackXml(entryXml("a.jpg", "first", 1), "Read-only")},
                     {"L/res/a.jpg", "a"}},
                    "readonly.zip");
        for (const QString& folder : {scratch->data(), scratch->work()}) {
            QCOMPARE(QProcess::execute("chown", {"-R", "65534:65534", folder}), 0);
            QVERIFY(QFile::setPermissions(
                folder, QFile::permissions(folder) | QFile::ExeOther | QFile::ReadOther));
        }
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QByteArray before = readFile(path);
        SecondEditor editor(true);
        QCOMPARE(editor.send("load " + path), QStringLiteral("ok"));
        QVERIFY(editor.send("save").startsWith("fail "));
        QCOMPARE(readFile(path), before);
        QCOMPARE(QFileInfo(path).permissions() & QFile::WriteOwner, QFileDevice::Permissions());
    }

    // A picture name of 245 bytes and one with ":" open like any other; the
    // one name the file system cannot hold leaves out that picture alone.
    void unusualPictureNamesOpen() {
        const QString longName = QString(245, 'x') + ".jpg";
        const QString colon = "10:30.jpg";
        const QString tooLong = QString(300, 'y') + ".jpg";
        const QString path = package(
            {{"L/tracks.xml", trackXml(entryXml(longName, "long", 1) + entryXml(colon, "colon", 2) +
                                           entryXml(tooLong, "too long", 3),
                                       "Names")},
             {"L/res/" + longName, "long"},
             {"L/res/" + colon, "colon"},
             {"L/res/" + tooLong, "too long"}},
            "names.zip");
        QVERIFY(load(path));
        const QList<QVariantList> appended = root->appended();
        QCOMPARE(appended.size(), 3);
        QCOMPARE(readFile(appended[0][1].toString()), QByteArray("long"));
        QCOMPARE(readFile(appended[1][1].toString()), QByteArray("colon"));
        QVERIFY(!QFileInfo::exists(appended[2][1].toString()));
    }

    // Pictures inserted and then taken out again (undone) before a save leave
    // the track's "res" with that save; what the document or the package
    // still names stays.
    // The package holds only what the document refers to, while the store
    // keeps every picture of the session: an entry deleted, saved, and
    // brought back by undo is saved again with its picture.
    void undoneDeletionKeepsItsPicture() {
        const QString path = package(
            {{"L/tracks.xml",
              trackXml(entryXml("a.jpg", "first", 1) + entryXml("b.jpg", "second", 5), "Undo")},
             {"L/res/a.jpg", pictureBytes("JPEG")},
             {"L/res/b.jpg", pictureBytes("JPEG", 48)}},
            "undo.zip");
        QVERIFY(load(path));
        const QJsonArray whole = trackOf(*root);
        QCOMPARE(whole.size(), 2);
        const QByteArray second = readZip(path).value("L/res/b.jpg").data;

        QVERIFY(host->saveTrack("Undo", QJsonArray{whole[0]}));
        QCOMPARE(readZip(path).keys(), QStringList({"L/res/a.jpg", "L/tracks.xml"}));

        QVERIFY(host->saveTrack("Undo", whole));
        const QMap<QString, ZipEntry> saved = readZip(path);
        QCOMPARE(saved.keys(), QStringList({"L/res/a.jpg", "L/res/b.jpg", "L/tracks.xml"}));
        QCOMPARE(saved.value("L/res/b.jpg").data, second);
        QVERIFY(saved.value("L/tracks.xml").data.contains("second"));

        // Deleted and saved for good: the next open of the track cleans the
        // store, as does one after a picture inserted and never saved.
        QVERIFY(host->saveTrack("Undo", QJsonArray{whole[0]}));
        const QString res = host->currentTrackFolder() + "/res/";
        QVERIFY(QFileInfo::exists(res + "b.jpg"));
        const QString picture = scratch->work() + "/board.png";
        QFile source(picture);
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(pictureBytes("PNG", 64)) > 0);
        source.close();
        QCOMPARE(host->prepareSamples({QUrl::fromLocalFile(picture)}).size(), 1);
        QCOMPARE(QDir(res).entryList(QDir::Files).size(), 3);
        QVERIFY(load(path));
        QCOMPARE(QDir(res).entryList(QDir::Files), QStringList({"a.jpg"}));
    }

    // A picture inserted and undone before the save stays out of the package.
    void savedTrackKeepsOnlyItsPictures() {
        const QString path =
            package({{"L/tracks.xml", trackXml(entryXml("a.jpg", "kept", 1), "Clean")},
                     {"L/res/a.jpg", pictureBytes("JPEG")}},
                    "clean.zip");
        QVERIFY(load(path));
        const QString picture = scratch->work() + "/board.png";
        QFile source(picture);
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(pictureBytes("PNG", 64)) > 0);
        source.close();
        const QJsonArray inserted =
            host->prepareSamples({QUrl::fromLocalFile(picture), QUrl::fromLocalFile(picture)});
        QCOMPARE(inserted.size(), 2);

        // One inserted picture is saved, the other was undone before the save.
        QJsonArray track = trackOf(*root);
        QJsonObject entry = inserted[0].toObject();
        entry["timeTick"] = 5;
        entry["level"] = "-1";
        track.append(entry);
        QVERIFY(host->saveTrack("Clean", track));
        const QString savedName =
            QFileInfo(QUrl(entry["sample"].toString()).toLocalFile()).fileName();
        QCOMPARE(readZip(path).keys(),
                 QStringList({"L/res/a.jpg", "L/res/" + savedName, "L/tracks.xml"}));
    }

    // A package whose own track folder would stand where a lock belongs is
    // refused before the store changes: the tracks whose locks those are open.
    void trackFolderNamedLikeALock() {
        const QString locked =
            package({{"other.lock/tracks.xml", trackXml("", "Lock")}}, "locked.zip");
        const QString deeper =
            package({{"x.lock/L/tracks.xml", trackXml("", "Deeper")}}, "deeper.zip");
        QVERIFY(!load(locked));
        QVERIFY(!load(deeper));
        QCOMPARE(treeOf(scratch->store()), QStringList());
        QVERIFY(load(package({{"other/tracks.xml", trackXml("", "Other")}}, "other.zip")));
        QVERIFY(load(package({{"x/tracks.xml", trackXml("", "X")}}, "x.zip")));
        QCOMPARE(host->title(), QStringLiteral("X"));
    }
};

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--editor") == 0)
        return runSecondEditor(argc, argv);
    QCoreApplication application(argc, argv);
    TrackStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_trackstore.moc"
