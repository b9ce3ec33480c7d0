// Packwell's saving on its own: packages updated in place, files that vanished
// from the store, names of Windows archivers written anew, saves that were
// killed.
#include "packwell_testing.h"
#include "testsupport.h"

#include <packwell.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

#include <iostream>

namespace {

// The second program of the tests that need one: this test binary run again
// with PACKWELL_TEST_ROLE set.
//   zip <package> <root> <file>...: one save; prints "saving" first.
int runRole(const QByteArray& role, const QStringList& arguments) {
    if (role == "zip" && arguments.size() >= 3) {
        std::cout << "saving" << std::endl;
        return Packwell().ZipFiles(locals(arguments.mid(2)), {}, local(arguments[0]),
                                   local(arguments[1]), "", "", "")
                   ? 0
                   : 1;
    }
    return 100;
}

}  // namespace

class PackwellSaves : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString base() const { return dir->path(); }
    QString root() const { return base() + "/store/"; }

private slots:
    void init() {
        dir.reset(new QTemporaryDir);
        QVERIFY(QDir().mkpath(root()));
    }

    // Changed entries replaced, new ones added, unlisted ones removed, unchanged
    // ones left as they were (their stored time shows they were not rewritten).
    void zipUpdatesInPlace() {
        const QString package = base() + "/p.zip";
        const QByteArray picture = pictureBytes("JPEG", 32);
        QVERIFY(writeZip(
            package,
            {{"L\\tracks.xml", "old"}, {"L/res/a.jpg", picture}, {"L/res/dropped.jpg", "x"}}));
        const qint64 storedTime = readZip(package)["L/res/a.jpg"].mtime;
        writeFile(root() + "L/tracks.xml", QByteArray(4000, 'x'));
        writeFile(root() + "L/res/a.jpg", picture);
        writeFile(root() + "L/res/new.jpeg", picture);
        QFile touched(root() + "L/res/a.jpg");
        QVERIFY(touched.open(QIODevice::ReadWrite));
        QVERIFY(touched.setFileTime(QDateTime::fromSecsSinceEpoch(storedTime + 86400),
                                    QFileDevice::FileModificationTime));
        touched.close();

        const std::vector<std::string> files = {local(root() + "L/tracks.xml"),
                                                local(root() + "L/res/a.jpg"),
                                                local(root() + "L/res/new.jpeg")};
        Packwell packwell;
        QVERIFY2(packwell.ZipFiles(files, {}, local(package), local(root()), "", "", ""),
                 packwell.LastError().c_str());
        QCOMPARE(packwell.LastFailure(), PackwellFailure::None);
        const QMap<QString, ZipEntry> entries = readZip(package);
        QCOMPARE(entries.keys(), QStringList({"L/res/a.jpg", "L/res/new.jpeg", "L/tracks.xml"}));
        QCOMPARE(entries["L/tracks.xml"].data, QByteArray(4000, 'x'));
        QCOMPARE(entries["L/tracks.xml"].method, 8);
        QCOMPARE(entries["L/res/new.jpeg"].method, 0);
        QCOMPARE(entries["L/res/new.jpeg"].data, picture);
        QCOMPARE(entries["L/res/a.jpg"].mtime, storedTime);
        QCOMPARE(entries["L/res/a.jpg"].data, picture);
    }

    void failedZipKeepsPackage_data() {
        QTest::addColumn<QStringList>("files");
        QTest::newRow("outside the root") << QStringList{"L/tracks.xml", "../outside.jpg"};
        QTest::newRow("nothing readable") << QStringList{"L/res/missing.jpg", "L/res"};
    }
    void failedZipKeepsPackage() {
        QFETCH(QStringList, files);
        const QString package = base() + "/p.zip";
        QVERIFY(writeZip(package, {{"L/tracks.xml", "old"}}));
        writeFile(root() + "L/tracks.xml", "new");
        QVERIFY(QDir().mkpath(root() + "L/res"));
        writeFile(base() + "/outside.jpg", "x");
        const QByteArray before = readFile(package);
        const QStringList tree = treeOf(base());
        QStringList paths;
        for (const QString& file : files)
            paths << root() + file;
        Packwell packwell;
        QVERIFY(!packwell.ZipFiles(locals(paths), {}, local(package), local(root()), "", "", ""));
        QVERIFY(!packwell.LastError().empty());
        QCOMPARE(packwell.LastFailure(), PackwellFailure::Other);
        QCOMPARE(readFile(package), before);
        QCOMPARE(treeOf(base()), tree);
    }

    // A save takes what exists: a listed file that is gone or is a folder is
    // left out and named, the rest reaches the package, and an entry of the
    // package whose file vanished from the store keeps its old bytes.
    void zipSavesWhatExists() {
        const QString package = base() + "/p.zip";
        QVERIFY(writeZip(package, {{"L/tracks.xml", "old"},
                                   {"L/res/a.jpg", "old a"},
                                   {"L/res/gone.jpg", "only in the package"},
                                   {"L/res/dropped.jpg", "not listed"}}));
        writeFile(root() + "L/tracks.xml", "new");
        writeFile(root() + "L/res/a.jpg", "new a");
        writeFile(root() + "L/res/new.jpeg", "added");
        QVERIFY(QDir().mkpath(root() + "L/res/folder.jpg"));
        const QStringList listed = {root() + "L/tracks.xml",   root() + "L/res/gone.jpg",
                                    root() + "L/res/a.jpg",    root() + "L/res/folder.jpg",
                                    root() + "L/res/new.jpeg", root() + "L/res/never.jpg",
                                    root() + "L/res/new.jpeg"};
        Packwell packwell;
        QVERIFY2(packwell.ZipFiles(locals(listed), {}, local(package), local(root()), "", "", ""),
                 packwell.LastError().c_str());
        QCOMPARE(packwell.SkippedFiles(),
                 locals({root() + "L/res/gone.jpg", root() + "L/res/folder.jpg",
                         root() + "L/res/never.jpg"}));
        const QMap<QString, ZipEntry> entries = readZip(package);
        QCOMPARE(entries.keys(),
                 QStringList({"L/res/a.jpg", "L/res/gone.jpg", "L/res/new.jpeg", "L/tracks.xml"}));
        QCOMPARE(entries["L/tracks.xml"].data, QByteArray("new"));
        QCOMPARE(entries["L/res/a.jpg"].data, QByteArray("new a"));
        QCOMPARE(entries["L/res/gone.jpg"].data, QByteArray("only in the package"));
        QCOMPARE(entries["L/res/new.jpeg"].data, QByteArray("added"));
    }

    // Load, change, save, reopen: every entry is there once, under its UTF-8
    // name with the UTF-8 flag, with the same bytes; a save without changes
    // leaves the package as it is.
    void legacyPackageSurvivesSave() {
        const QString package = base() + "/windows.zip";
        QVERIFY(writeWindowsZip(
            package, {folder(gbk("课堂/")), folder(gbk("课堂/res/")), file(gbk("课堂/tracks.xml")),
                      file(gbk("课堂/res/板书照片.png")), file(gbk("课堂/res/運動會.png")),
                      file(QByteArray("课堂/res/照片.jpg")),
                      file(QByteArray("课堂/res/标记.jpg"), true), file("课堂/res/plain.jpg")}));
        QVERIFY(Packwell().UnZipFile(local(package), local(root()), "", "", "", false));
        writeFile(root() + "课堂/tracks.xml", "changed");
        writeFile(root() + "课堂/res/{1b4e28ba-2fa1-11d2-883f-0016d3cca427}.jpeg", "new picture");
        const QMap<QString, QByteArray> store = filesOf(root());
        QStringList listed;
        for (const QString& name : store.keys())
            listed << root() + name;

        Packwell packwell;
        QVERIFY2(packwell.ZipFiles(locals(listed), {}, local(package), local(root()), "", "", ""),
                 packwell.LastError().c_str());
        QVERIFY(packwell.SkippedFiles().empty());
        QStringList saved;
        for (const RawName& raw : readRawNames(package)) {
            const QString name = QString::fromUtf8(raw.name);
            QCOMPARE(name.toUtf8(), raw.name);  // valid UTF-8
            const bool ascii = name == QString::fromLatin1(raw.name);
            QVERIFY2(ascii || (raw.flags & 0x0800), qPrintable(name + " lacks the UTF-8 flag"));
            saved << name;
        }
        saved.sort();
        QCOMPARE(saved, store.keys());

        const QString again = base() + "/again/";
        QVERIFY(Packwell().UnZipFile(local(package), local(again), "", "", "", false));
        QCOMPARE(filesOf(again), store);

        const QByteArray bytes = readFile(package);
        QVERIFY(packwell.ZipFiles(locals(listed), {}, local(package), local(root()), "", "", ""));
        QCOMPARE(readFile(package), bytes);
    }

    // A GBK entry whose file vanished from the store stays in the package, with
    // its bytes, under its UTF-8 name.
    void legacyEntryOfMissingFileKept() {
        const QString package = base() + "/windows.zip";
        QVERIFY(writeWindowsZip(
            package, {file(gbk("课堂/tracks.xml")), file(gbk("课堂/res/板书照片.png"))}));
        QVERIFY(Packwell().UnZipFile(local(package), local(root()), "", "", "", false));
        const QString picture = root() + "课堂/res/板书照片.png";
        QVERIFY(QFile::remove(picture));
        Packwell packwell;
        QVERIFY(packwell.ZipFiles(locals({root() + "课堂/tracks.xml", picture}), {}, local(package),
                                  local(root()), "", "", ""));
        QCOMPARE(packwell.SkippedFiles(), locals({picture}));
        const QList<RawName> names = readRawNames(package);
        QCOMPARE(names.size(), 2);
        for (const RawName& raw : names)
            QVERIFY(raw.flags & 0x0800);
        QCOMPARE(readZip(package).value("课堂/res/板书照片.png").data,
                 file(gbk("课堂/res/板书照片.png")).data);
    }

    // A save killed while libzip writes its temporary file leaves that file
    // beside the package; the next save removes it and nothing that only looks
    // like it.
    void interruptedSaveLeftoversRemoved() {
#ifdef Q_OS_WIN
        QSKIP("helper processes are started and killed the POSIX way");
#endif
        const QString package = base() + "/p.zip";
        QVERIFY(writeZip(package, {{"L/tracks.xml", "old"}}));
        writeFile(root() + "L/tracks.xml", "new");
        writeFile(root() + "L/res/big.bin", randomBytes(64 << 20));
        QProcess* saver = startRole(
            this, "zip", {package, root(), root() + "L/tracks.xml", root() + "L/res/big.bin"});
        QVERIFY(saver->waitForReadyRead(30000));
        const QRegularExpression pattern("^p\\.zip\\.[A-Za-z0-9]{6}$");
        QString leftover;
        QElapsedTimer clock;
        clock.start();
        while (leftover.isEmpty() && clock.elapsed() < 30000 &&
               saver->state() == QProcess::Running) {
            QThread::msleep(2);
            for (const QFileInfo& info : QDir(base()).entryInfoList(QDir::Files)) {
                if (pattern.match(info.fileName()).hasMatch() && info.size() > (1 << 20))
                    leftover = info.filePath();
            }
        }
        QVERIFY2(!leftover.isEmpty(), "the save ended before it could be interrupted");
        saver->kill();
        QVERIFY(saver->waitForFinished(10000));
        QVERIFY(QFileInfo(leftover).isFile());

        // One killed before it wrote anything, and files that only look alike.
        writeFile(base() + "/p.zip.A1b2C3", {});
        QVERIFY(QFile::copy(package, base() + "/p.zip.backup"));  // a whole archive
        writeFile(base() + "/p.zip.Qw3rty", "notes, not an archive");
        writeFile(base() + "/p.zip.bak", QByteArray("PK\x03\x04", 4));
        writeFile(base() + "/q.zip.Zx9Yw8", QByteArray("PK\x03\x04", 4));
        writeFile(base() + "/p.zip.Dir123/inside", "x");
        QVERIFY(QFile::link(leftover, base() + "/p.zip.Lnk456"));
        const QStringList kept = {"/p.zip.backup", "/p.zip.Qw3rty", "/p.zip.bak", "/q.zip.Zx9Yw8",
                                  "/p.zip.Dir123/inside"};
        QMap<QString, QByteArray> keptBytes;
        for (const QString& name : kept)
            keptBytes.insert(name, readFile(base() + name));

        QFile::remove(root() + "L/res/big.bin");
        Packwell packwell;
        QVERIFY2(packwell.ZipFiles({local(root() + "L/tracks.xml")}, {}, local(package),
                                   local(root()), "", "", ""),
                 packwell.LastError().c_str());
        QVERIFY(!QFileInfo::exists(leftover));
        QVERIFY(!QFileInfo::exists(base() + "/p.zip.A1b2C3"));
        for (const QString& name : kept)
            QCOMPARE(readFile(base() + name), keptBytes[name]);
        QVERIFY(QFileInfo(base() + "/p.zip.Lnk456").isSymLink());
        QCOMPARE(readZip(package).value("L/tracks.xml").data, QByteArray("new"));
    }
};

// The test binary doubles as the second program of the multi-process tests.
int main(int argc, char** argv) {
    const QByteArray role = qgetenv("PACKWELL_TEST_ROLE");
    if (!role.isEmpty()) {
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        return runRole(role, arguments);
    }
    QCoreApplication app(argc, argv);
    PackwellSaves test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_packwellsaves.moc"
