// A save that fails says why, in words the teacher can act on: a read-only
// package, a folder without write permission (for a user who is not root: this
// test run again as uid 65534), a full disk (a small tmpfs), or the system's
// message. The package that failed is left as it was, and a save under another
// name that failed leaves the window on the old package.
#include "testsupport.h"

#include <qplayerhost.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <iostream>

namespace {

constexpr uid_t kNobody = 65534;

const char* const kEntries =
    "<track><description>one</description><ticks>1</ticks><picture>A.jpg</picture></track>";

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The window's list after the first caption was changed.
QJsonArray changedTrack(const RecordingRoot& root) {
    QJsonArray track = root.asWindowHolds();
    QJsonObject first = track[0].toObject();
    first["description"] = "changed";
    track[0] = first;
    return track;
}

// This test run again: opens the package, makes the store's track folder
// read-only when told, saves one changed caption; prints the reason.
//   --save PACKAGE [read-only-store]
int saveAsChild(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    RecordingRoot root;
    QPlayerHost host(&root, nullptr);
    if (!(host.loadTrack(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[2]))) &&
          host.waitForLoad())) {
        std::cout << "not loaded: " << host.lastError().toStdString() << std::endl;
        return 1;
    }
    if (argc > 3 && ::chmod(QFile::encodeName(host.currentTrackFolder()).constData(), 0555) != 0)
        return 2;
    const bool saved = host.saveTrack("Saved", changedTrack(root));
    std::cout << (saved ? std::string("saved") : "failed " + host.lastError().toStdString())
              << std::endl;
    return 0;
}

// A small disk of its own; false where mounting is not allowed.
bool mountSmallDisk(const QString& folder) {
    return QDir().mkpath(folder) &&
           QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", folder}) == 0;
}

}  // namespace

class SaveFailures : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString base() const { return dir->path(); }

    QString makePackage(const QString& path) {
        QDir().mkpath(QFileInfo(path).path());
        writeZip(path,
                 {{"L/tracks.xml", trackXml(kEntries)}, {"L/res/A.jpg", pictureBytes("JPEG")}});
        return path;
    }

    // The child's answer, run as uid 65534 with a store of its own.
    QByteArray saveAsNobody(const QString& package, bool readOnlyStore) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", base() + "/data");
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments = {"--reuid=65534",  "--regid=65534",
                                 "--clear-groups", QCoreApplication::applicationFilePath(),
                                 "--save",         package};
        if (readOnlyStore)
            arguments << "read-only-store";
        process.start("setpriv", arguments);
        if (!process.waitForFinished(60000))
            return "no answer";
        return process.readAllStandardOutput().trimmed();
    }

private slots:
    void init() {
        dir.reset(new QTemporaryDir);
        // The user 65534 reaches the folder and owns what is below it.
        QVERIFY(::chmod(QFile::encodeName(base()).constData(), 0755) == 0);
    }

    void asAnotherUser_data() {
        QTest::addColumn<int>("packageMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("readOnlyStore");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only package") << 0444 << 0755 << false << "授课轨迹包是只读的";
        QTest::newRow("read-only folder") << 0644 << 0555 << false << "没有写入权限";
        QTest::newRow("read-only store") << 0644 << 0755 << true << "没有写入权限";
    }
    // Root may write anything; a teacher may not.
    void asAnotherUser() {
        QFETCH(int, packageMode);
        QFETCH(int, folderMode);
        QFETCH(bool, readOnlyStore);
        QFETCH(QString, reason);
        if (::geteuid() != 0)
            QSKIP("needs root to run the save as another user");
        const QString folder = base() + "/packages";
        const QString package = makePackage(folder + "/lesson.zip");
        QVERIFY(QDir().mkpath(base() + "/data"));
        for (const QString& path : {folder, package, base() + "/data"})
            QVERIFY(::chown(QFile::encodeName(path).constData(), kNobody, kNobody) == 0);
        QVERIFY(::chmod(QFile::encodeName(package).constData(), packageMode) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), folderMode) == 0);
        const QByteArray before = readFile(package);

        QCOMPARE(QString::fromUtf8(saveAsNobody(package, readOnlyStore)), "failed " + reason);
        QCOMPARE(readFile(package), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({"lesson.zip"}));
    }

    // A full disk, for a save and for a save under another name: the reason
    // names it; the window stays on the package it had, which still saves.
    void fullDisk() {
        const QString disk = base() + "/disk";
        if (!mountSmallDisk(disk))
            QSKIP("mounting a small tmpfs needs privileges this run does not have");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {disk}); });
        qputenv("XDG_DATA_HOME", QFile::encodeName(base() + "/data"));
        RecordingRoot root;
        QPlayerHost host(&root, nullptr);
        const QString original = makePackage(base() + "/lesson.zip");
        QVERIFY(host.loadTrack(QUrl::fromLocalFile(original)) && host.waitForLoad());
        // Pictures are stored as they are: 300 KB of noise cannot fit.
        QByteArray noise(300 * 1024, 0);
        for (char& byte : noise)
            byte = static_cast<char>(QRandomGenerator::global()->generate());
        QFile big(host.currentTrackFolder() + "/res/big.jpg");
        QVERIFY(big.open(QIODevice::WriteOnly) && big.write(noise) == noise.size());
        big.close();
        QJsonArray track = changedTrack(root);
        track.append(QJsonObject{{"id", "big"},
                                 {"sample", QUrl::fromLocalFile(big.fileName()).toString()},
                                 {"timeTick", 2},
                                 {"description", "big"},
                                 {"level", "-1"}});

        const QString copy = disk + "/copy.zip";
        QVERIFY(!host.saveTrackAs(QUrl::fromLocalFile(copy), "Copy", track));
        QCOMPARE(host.lastError(), QStringLiteral("磁盘空间不足"));
        QVERIFY(!QFileInfo::exists(copy));
        QCOMPARE(QDir(disk).entryList(QDir::Files | QDir::Hidden), QStringList());

        QVERIFY(host.saveTrack("Copy", track));
        QCOMPARE(readZip(original)["L/res/big.jpg"].data, noise);
    }

    // Anything else: the system's message, and the old package still the target.
    void otherFailuresGiveTheSystemsMessage() {
        qputenv("XDG_DATA_HOME", QFile::encodeName(base() + "/data"));
        RecordingRoot root;
        QPlayerHost host(&root, nullptr);
        const QString original = makePackage(base() + "/lesson.zip");
        QVERIFY(host.loadTrack(QUrl::fromLocalFile(original)) && host.waitForLoad());
        const QString taken = base() + "/taken.zip";
        QVERIFY(QDir().mkdir(taken));
        QVERIFY(!host.saveTrackAs(QUrl::fromLocalFile(taken), "T", changedTrack(root)));
        QVERIFY2(host.lastError().startsWith(QStringLiteral("无法写入授课轨迹包（")) &&
                     host.lastError().contains("is not a file"),
                 qPrintable(host.lastError()));
        QVERIFY(!host.saveTrackAs(QUrl("https://example.org/lesson.zip"), "T", changedTrack(root)));
        QCOMPARE(host.lastError(), QStringLiteral("只能保存到本机的文件"));

        QVERIFY(host.saveTrack("T", changedTrack(root)));
        QVERIFY(readZip(original)["L/tracks.xml"].data.contains("changed"));
    }
};

int main(int argc, char** argv) {
    if (argc > 2 && qstrcmp(argv[1], "--save") == 0)
        return saveAsChild(argc, argv);
    QCoreApplication application(argc, argv);
    SaveFailures test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_savefailures.moc"
