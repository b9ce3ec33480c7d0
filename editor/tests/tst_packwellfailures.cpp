// Packwell where the file system says no or says something else: packages a
// user who is not root may not write (the test program run again as uid
// 65534), a full disk (a small tmpfs), packages reached through symbolic
// links. A failed save or unpack names its kind and changes nothing.
#include "testsupport.h"

#include <packwell.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>

namespace {

constexpr uid_t kNobody = 65534;

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray noise(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(QRandomGenerator::global()->generate());
    return bytes;
}

std::vector<std::string> locals(const QStringList& paths) {
    std::vector<std::string> result;
    for (const QString& path : paths)
        result.push_back(path.toStdString());
    return result;
}

// Gives everything below path to uid 65534.
void giveAway(const QString& path) {
    namespace fs = std::filesystem;
    const auto give = [](const fs::path& p) {
        if (::lchown(p.c_str(), kNobody, kNobody) != 0)
            qFatal("lchown %s failed", p.c_str());
    };
    give(path.toStdString());
    for (const auto& entry : fs::recursive_directory_iterator(path.toStdString()))
        give(entry.path());
}

// The second program: this test run again with a role.
//   zip <package> <root> <file>...: one save; prints "failure <kind>".
int runRole(const QString& role, const QStringList& arguments) {
    if (role == "zip" && arguments.size() >= 3) {
        Packwell packwell;
        const bool saved =
            packwell.ZipFiles(locals(arguments.mid(2)), {}, arguments[0].toStdString(),
                              arguments[1].toStdString(), "", "", "");
        std::cout << "failure " << static_cast<int>(packwell.LastFailure()) << std::endl;
        std::cerr << packwell.LastError() << std::endl;
        return saved ? 0 : 1;
    }
    return 100;
}

// Runs a role as uid 65534; its standard output.
QByteArray runAsNobody(const QString& role, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                         QCoreApplication::applicationFilePath(), "--role", role} +
                                 arguments);
    if (!process.waitForFinished(60000))
        return "no answer";
    return process.readAllStandardOutput().trimmed();
}

QByteArray failure(PackwellFailure kind) {
    return "failure " + QByteArray::number(static_cast<int>(kind));
}

}  // namespace

class PackwellFailures : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString base() const { return dir->path(); }
    QString root() const { return base() + "/store/"; }

    // A folder of the given size in memory; skips the test where mounting
    // is not allowed.
    bool mountSmallDisk(const QString& folder, const char* size) {
        QDir().mkpath(folder);
        return QProcess::execute(
                   "mount", {"-t", "tmpfs", "-o", QString("size=") + size, "tmpfs", folder}) == 0;
    }

private slots:
    void init() {
        dir.reset(new QTemporaryDir);
        QVERIFY(QDir().mkpath(root()));
    }

    // A package the user may not write, or in a folder the user may not
    // write, is not replaced: the save fails with its kind and nothing in
    // the folder changes.
    void readOnlyNotReplaced_data() {
        QTest::addColumn<int>("packageMode");
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("kind");
        QTest::newRow("read-only package")
            << 0444 << 0755 << static_cast<int>(PackwellFailure::ReadOnlyPackage);
        QTest::newRow("read-only folder")
            << 0644 << 0555 << static_cast<int>(PackwellFailure::NoPermission);
    }
    void readOnlyNotReplaced() {
        QFETCH(int, packageMode);
        QFETCH(int, folderMode);
        QFETCH(int, kind);
        if (::geteuid() != 0)
            QSKIP("needs root to run a part of the test as another user");
        const QString folder = base() + "/packages";
        const QString package = folder + "/lesson.zip";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeZip(package, {{"L/tracks.xml", "old"}}));
        QVERIFY(writeFile(root() + "L/tracks.xml", "new"));
        giveAway(base());
        QCOMPARE(::chmod(qPrintable(base()), 0755), 0);
        QCOMPARE(::chmod(qPrintable(package), static_cast<mode_t>(packageMode)), 0);
        QCOMPARE(::chmod(qPrintable(folder), static_cast<mode_t>(folderMode)), 0);
        const QByteArray before = readFile(package);
        const QStringList tree = treeOf(folder);

        QCOMPARE(runAsNobody("zip", {package, root(), root() + "L/tracks.xml"}),
                 failure(static_cast<PackwellFailure>(kind)));
        QCOMPARE(readFile(package), before);
        QCOMPARE(treeOf(folder), tree);
        QCOMPARE(QFileInfo(package).permissions() & QFile::WriteOwner,
                 packageMode & 0200 ? QFile::WriteOwner : QFileDevice::Permissions());
        // The same save as a user who may write it succeeds.
        QCOMPARE(::chmod(qPrintable(package), 0644), 0);
        QCOMPARE(::chmod(qPrintable(folder), 0755), 0);
        QCOMPARE(runAsNobody("zip", {package, root(), root() + "L/tracks.xml"}),
                 failure(PackwellFailure::None));
        QCOMPARE(readZip(package).value("L/tracks.xml").data, QByteArray("new"));
    }

    // A save that does not fit fails as DiskFull and leaves the package and
    // its folder as they were; an unpack that does not fit fails the same way.
    void fullDisk() {
        const QString disk = base() + "/disk";
        if (!mountSmallDisk(disk, "256k"))
            QSKIP("mounting a small tmpfs needs privileges this run does not have");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {disk}); });
        const QString package = disk + "/lesson.zip";
        QVERIFY(writeZip(package, {{"L/tracks.xml", "old"}}));
        QVERIFY(writeFile(root() + "L/tracks.xml", "new"));
        QVERIFY(writeFile(root() + "L/res/big.jpg", noise(300 << 10)));
        const QByteArray before = readFile(package);
        Packwell packwell;
        QVERIFY(!packwell.ZipFiles(locals({root() + "L/tracks.xml", root() + "L/res/big.jpg"}), {},
                                   package.toStdString(), root().toStdString(), "", "", ""));
        QCOMPARE(packwell.LastFailure(), PackwellFailure::DiskFull);
        QCOMPARE(readFile(package), before);
        QCOMPARE(treeOf(disk), QStringList{"/lesson.zip"});

        const QString big = base() + "/big.zip";
        QVERIFY(writeZip(big, {{"M/tracks.xml", "xml"}, {"M/res/big.jpg", noise(300 << 10)}}));
        const QString store = disk + "/store/";
        QVERIFY(!packwell.UnZipFile(big.toStdString(), store.toStdString(), "", "", "", false));
        QCOMPARE(packwell.LastFailure(), PackwellFailure::DiskFull);
    }

    // A package reached through symbolic links is saved to the file they lead
    // to; the links stay links.
    void savedThroughLinks() {
        const QString real = base() + "/real/lesson.zip";
        QVERIFY(QDir().mkpath(base() + "/real"));
        QVERIFY(writeZip(real, {{"L/tracks.xml", "old"}}));
        QCOMPARE(::symlink("real/lesson.zip", qPrintable(base() + "/link.zip")), 0);
        QCOMPARE(::symlink(qPrintable(base() + "/link.zip"), qPrintable(base() + "/chain.zip")), 0);
        QVERIFY(writeFile(root() + "L/tracks.xml", "new"));
        const QStringList tree = treeOf(base());
        for (const QString& link : {QString("/link.zip"), QString("/chain.zip")}) {
            QVERIFY(writeFile(root() + "L/tracks.xml", link.toUtf8()));
            Packwell packwell;
            QVERIFY2(
                packwell.ZipFiles(locals({root() + "L/tracks.xml"}), {},
                                  (base() + link).toStdString(), root().toStdString(), "", "", ""),
                packwell.LastError().c_str());
            QVERIFY(QFileInfo(base() + "/link.zip").isSymLink());
            QVERIFY(QFileInfo(base() + "/chain.zip").isSymLink());
            QCOMPARE(QFile::symLinkTarget(base() + "/link.zip"), real);
            QCOMPARE(readZip(real).value("L/tracks.xml").data, link.toUtf8());
            QCOMPARE(treeOf(base()), tree);
        }
    }
};

int main(int argc, char** argv) {
    if (argc > 2 && qstrcmp(argv[1], "--role") == 0) {
        QStringList arguments;
        for (int i = 3; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        return runRole(QString::fromLocal8Bit(argv[2]), arguments);
    }
    QCoreApplication application(argc, argv);
    PackwellFailures test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#else
// Other users, chmod, tmpfs and symbolic links as used here are Linux's.
class PackwellFailures : public QObject {
    Q_OBJECT
private slots:
    void linuxOnly() { QSKIP("uid 65534, chmod, tmpfs and symbolic links: Linux only"); }
};
QTEST_GUILESS_MAIN(PackwellFailures)
#endif
#include "tst_packwellfailures.moc"
