// Packwell on its own: entry names that would leave the target folder, names
// written by Windows archivers, the store kept in step with the package (and
// healed), packages updated in place, and several programs at once.
#include "testsupport.h"
#include "windowszip.h"

#include <packwell.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <iostream>

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

std::string local(const QString& path) {
    return path.toStdString();
}

std::vector<std::string> locals(const QStringList& paths) {
    std::vector<std::string> result;
    for (const QString& path : paths)
        result.push_back(local(path));
    return result;
}

// Every file below root with its bytes, by relative path.
QMap<QString, QByteArray> filesOf(const QString& root) {
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path.mid(root.size()), readFile(path));
    }
    return files;
}

QByteArray randomBytes(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(size);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// Packages as Windows archivers write them, with each file holding its own name.
RawEntry file(const QByteArray& name, bool flag = false) {
    return {name, "bytes of " + name, flag};
}
RawEntry folder(const QByteArray& name) {
    return {name, {}, false};
}

// The second program of the tests that need one: this test binary run again
// with PACKWELL_TEST_ROLE set.
//   unzip <package> <root> <rounds>: unpacks that often; exit code = failures;
//                                     prints "unpacking" first.
//   zip <package> <root> <file>...:   one save.
int runRole(const QByteArray& role, const QStringList& arguments) {
    if (role == "unzip" && arguments.size() == 3) {
        std::cout << "unpacking" << std::endl;
        int failures = 0;
        for (int round = 0; round < arguments[2].toInt(); ++round) {
            Packwell packwell;
            if (!packwell.UnZipFile(local(arguments[0]), local(arguments[1]), "", "", "", false)) {
                std::cerr << "round " << round << ": " << packwell.LastError() << "\n";
                ++failures;
            }
        }
        return failures;
    }
    if (role == "zip" && arguments.size() >= 3) {
        std::cout << "saving" << std::endl;
        return Packwell().ZipFiles(locals(arguments.mid(2)), {}, local(arguments[0]),
                                   local(arguments[1]), "", "", "")
                   ? 0
                   : 1;
    }
    return 100;
}

QProcess* startRole(QObject* parent, const QByteArray& role, const QStringList& arguments) {
    auto* process = new QProcess(parent);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PACKWELL_TEST_ROLE", role);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QCoreApplication::applicationFilePath(), arguments);
    return process;
}

}  // namespace

Q_DECLARE_METATYPE(QList<RawEntry>)

class PackwellTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString base() const { return dir->path(); }
    QString root() const { return base() + "/store/"; }

private slots:
    void init() {
        dir.reset(new QTemporaryDir);
        QVERIFY(QDir().mkpath(root()));
    }

    // A package and a store whose paths hold Chinese characters and a blank:
    // on Windows the narrow code page cannot carry them, so every path must
    // cross into the file system and libzip as UTF-8.
    void chinesePathWithBlank() {
        const QString package = base() + QStringLiteral("/课件 目录/第三课 分数.zip");
        const QString store = base() + QStringLiteral("/课件 目录/存储 区/");
        QVERIFY(QDir().mkpath(QFileInfo(package).path()));
        const QByteArray picture = randomBytes(4096);
        QVERIFY(writeZip(package, {{"L/tracks.xml", trackXml("", "分数", "10")},
                                   {QStringLiteral("L/res/图片 一.png"), picture}}));

        Packwell packwell;
        QVERIFY2(packwell.UnZipFile(local(package), local(store), "", "", "", false),
                 packwell.LastError().c_str());
        QCOMPARE(readFile(store + QStringLiteral("L/res/图片 一.png")), picture);

        const QByteArray changed = trackXml("", "分数 改", "12");
        writeFile(store + "L/tracks.xml", changed);
        QVERIFY2(
            packwell.ZipFiles({}, {local(store + "L")}, local(package), local(store), "", "", ""),
            packwell.LastError().c_str());
        const QMap<QString, ZipEntry> saved = readZip(package);
        QCOMPARE(saved.value("L/tracks.xml").data, changed);
        QCOMPARE(saved.value(QStringLiteral("L/res/图片 一.png")).data, picture);
        QCOMPARE(QDir(QFileInfo(package).path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("第三课 分数.zip")});
    }

    // Names that would leave the track folder are skipped and named; nothing
    // is written outside it.
    void unsafeNamesSkipped_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << "../out.txt";
        QTest::newRow("parent inside") << "L/../../out.txt";
        QTest::newRow("backslashes") << "L\\..\\..\\out.txt";
        QTest::newRow("absolute") << "ABSOLUTE";
        QTest::newRow("drive") << "C:/out.txt";
        QTest::newRow("drive relative") << "C:out.txt";
        QTest::newRow("parent only") << "..";
    }
    void unsafeNamesSkipped() {
        QFETCH(QString, name);
        if (name == "ABSOLUTE")
            name = base() + "/out.txt";
        const QString package = base() + "/evil.zip";
        QVERIFY(writeZip(package, {{"L/tracks.xml", "<t/>"}, {name, "escaped"}}));
        const QStringList before = treeOf(base());
        Packwell packwell;
        QVERIFY2(packwell.UnZipFile(local(package), local(root()), "", "", "", false),
                 packwell.LastError().c_str());
        QCOMPARE(treeOf(base()),
                 QStringList(before + QStringList{"/store/L", "/store/L/tracks.xml"}));
        QCOMPARE(packwell.SkippedEntries(), locals({QString(name).replace('\\', '/')}));
    }

    // A package writes into the folder that holds its "tracks.xml" and nowhere
    // else: not into other tracks, not over their locks, not beside them.
    void ownTrackFolderOnly() {
        writeFile(root() + "base/tracks.xml", "base");
        writeFile(root() + "base/res/slide0001.jpg", "base picture");
        writeFile(root() + "base.lock", "12345");
        writeFile(root() + "Lx/tracks.xml", "a neighbour");
        const QString package = base() + "/p.zip";
        const QStringList outside = {"base/tracks.xml", "base/res/slide0001.jpg",
                                     "base/res",        "base.lock",
                                     "other.lock/x",    "top.txt",
                                     "Lx/tracks.xml",   "L.lock",
                                     "L/res.lock",      "L/res/x.lock/y.jpg"};
        QList<QPair<QString, QByteArray>> entries{{"L/tracks.xml", "own"}, {"L/res/a.jpg", "a"}};
        for (const QString& name : outside)
            entries.append({name, "intruder"});
        QVERIFY(writeZip(package, entries));
        const QMap<QString, QByteArray> before = filesOf(base());
        Packwell packwell;
        QVERIFY2(packwell.UnZipFile(local(package), local(root()), "", "", "", false),
                 packwell.LastError().c_str());
        QCOMPARE(packwell.SkippedEntries(), locals(outside));
        QMap<QString, QByteArray> expected = before;
        expected.insert("/store/L/tracks.xml", "own");
        expected.insert("/store/L/res/a.jpg", "a");
        QCOMPARE(filesOf(base()), expected);
        QVERIFY(!QFileInfo::exists(root() + "other.lock"));
    }

    // Where the track folder itself cannot be had, nothing is written.
    void trackFolderRefused_data() {
        QTest::addColumn<QString>("flag");
        QTest::newRow("no tracks.xml") << "L/notes.xml";
        QTest::newRow("tracks.xml at the top") << "tracks.xml";
        QTest::newRow("named like a lock") << "base.lock/tracks.xml";
        QTest::newRow("inside a lock's place") << "x.lock/L/tracks.xml";
        QTest::newRow("inside another track") << "base/res/tracks.xml";
        QTest::newRow("where a file stands") << "file/tracks.xml";
        QTest::newRow("below a file") << "file/L/tracks.xml";
        QTest::newRow("dot") << "./tracks.xml";
    }
    void trackFolderRefused() {
        QFETCH(QString, flag);
        writeFile(root() + "base/tracks.xml", "base");
        writeFile(root() + "file", "a file");
        const QString package = base() + "/p.zip";
        const QString folder = flag.left(flag.lastIndexOf('/') + 1);
        QVERIFY(writeZip(package, {{flag, "xml"}, {folder + "res/a.jpg", "a"}}));
        const QStringList before = treeOf(base());
        Packwell packwell;
        QVERIFY(!packwell.UnZipFile(local(package), local(root()), "", "", "", false));
        QCOMPARE(packwell.LastFailure(), PackwellFailure::Other);
        QCOMPARE(treeOf(base()), before);
    }

    // Names the file system takes are taken: a picture name of 249 bytes
    // (the temporary name beside it must fit too) and a ":" where the system
    // allows it. A name too long for the system skips that entry alone.
    // Saving packs them back under the same names.
    void unusualNames() {
#ifdef Q_OS_WIN
        QSKIP("colons and long names are Linux cases; Windows refuses them by its own rules");
#endif
        const QString longName = "L/res/" + QString(245, 'x') + ".jpg";
        const QString tooLong = "L/res/" + QString(300, 'y') + ".jpg";
        const QString deepName = "L/" + QString("d/").repeated(2100) + "deep.jpg";
        const QString colon = "L/res/10:30 板书.jpg";
        const QString package = base() + "/p.zip";
        QVERIFY(writeZip(package, {{"L/tracks.xml", "xml"},
                                   {longName, "long"},
                                   {tooLong, "too long"},
                                   {deepName, "deep"},
                                   {colon, "colon"}}));
        Packwell packwell;
        QVERIFY2(packwell.UnZipFile(local(package), local(root()), "", "", "", false),
                 packwell.LastError().c_str());
        QCOMPARE(packwell.SkippedEntries(), locals({tooLong, deepName}));
        QCOMPARE(filesOf(root()),
                 (QMap<QString, QByteArray>{
                     {"L/tracks.xml", "xml"}, {longName, "long"}, {colon, "colon"}}));

        writeFile(root() + longName, "long, changed");
        QVERIFY2(
            packwell.ZipFiles(locals({root() + "L/tracks.xml", root() + longName, root() + colon}),
                              {}, local(package), local(root()), "", "", ""),
            packwell.LastError().c_str());
        const QMap<QString, ZipEntry> saved = readZip(package);
        QCOMPARE(saved.keys(), QStringList({colon, longName, "L/tracks.xml"}));
        QCOMPARE(saved[longName].data, QByteArray("long, changed"));
    }

    void extractionReplacesFiles() {
        const QString package = base() + "/p.zip";
        QVERIFY(writeZip(package, {{"L/", {}}, {"L/tracks.xml", "new"}, {"L/res/a.jpg", "pic"}}));
        writeFile(root() + "L/tracks.xml", "old, and longer than the new text");
        writeFile(root() + "L/res/other.jpg", "left alone");
        QVERIFY(Packwell().UnZipFile(local(package), local(root()), "", "", "", false));
        QCOMPARE(readFile(root() + "L/tracks.xml"), QByteArray("new"));
        QCOMPARE(readFile(root() + "L/res/a.jpg"), QByteArray("pic"));
        QCOMPARE(readFile(root() + "L/res/other.jpg"), QByteArray("left alone"));
        QCOMPARE(treeOf(root()),
                 QStringList({"L", "L/res", "L/res/a.jpg", "L/res/other.jpg", "L/tracks.xml"}));

        writeFile(root() + "L/tracks.xml", "kept");
        QVERIFY(Packwell().UnZipFile(local(package), local(root()), "", "", "", true));
        QCOMPARE(readFile(root() + "L/tracks.xml"), QByteArray("kept"));
    }

    void flagPath() {
        const QString package = base() + "/p.zip";
        QVERIFY(writeZip(package, {{"L/res/a.jpg", "x"},
                                   {"L/tracks.xml.bak", "x"},
                                   {"L/tracks.xml", "x"},
                                   {"M/tracks.xml", "x"}}));
        std::string flag = "stale";
        Packwell().GetFlagFilePathFromZipPackage(flag, "tracks.xml", local(package), "");
        QCOMPARE(QString::fromStdString(flag), QStringLiteral("L/tracks.xml"));
        Packwell().GetFlagFilePathFromZipPackage(flag, "tracks.xml", local(base() + "/none.zip"),
                                                 "");
        QCOMPARE(QString::fromStdString(flag), QString());
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

    // Names as Windows archivers and other tools write them arrive in the store
    // under the names their writer meant.
    void legacyNamesDecoded_data() {
        QTest::addColumn<QList<RawEntry>>("entries");
        QTest::addColumn<QString>("flagPath");
        QTest::addColumn<QStringList>("names");
        const QString gbkBoard = QStringLiteral("课堂/res/板书照片.png");
        QTest::newRow("GBK folder and picture")
            << QList<RawEntry>{folder(gbk("课堂/")), folder(gbk("课堂/res/")),
                               file(gbk("课堂/tracks.xml")), file(gbk(gbkBoard))}
            << "课堂/tracks.xml" << QStringList{"课堂/res/板书照片.png", "课堂/tracks.xml"};
        // 運 is DF 5C in GBK: its second byte is a backslash.
        QTest::newRow("GBK with a backslash byte")
            << QList<RawEntry>{file("L/tracks.xml"), file(gbk("L/res/運動會.png"))}
            << "L/tracks.xml" << QStringList{"L/res/運動會.png", "L/tracks.xml"};
        QTest::newRow("UTF-8 without the flag")
            << QList<RawEntry>{file(QByteArray("课堂/tracks.xml")),
                               file(QByteArray("课堂/res/照片.jpg"))}
            << "课堂/tracks.xml" << QStringList{"课堂/res/照片.jpg", "课堂/tracks.xml"};
        QTest::newRow("UTF-8 with the flag")
            << QList<RawEntry>{file(QByteArray("课堂/tracks.xml"), true),
                               file(QByteArray("课堂/res/照片.jpg"), true)}
            << "课堂/tracks.xml" << QStringList{"课堂/res/照片.jpg", "课堂/tracks.xml"};
        QTest::newRow("mix") << QList<RawEntry>{folder(gbk("课堂/")),
                                                file(QByteArray("课堂/tracks.xml"), true),
                                                file(gbk(gbkBoard)),
                                                file(QByteArray("课堂/res/照片.jpg"))}
                             << "课堂/tracks.xml"
                             << QStringList{"课堂/res/板书照片.png", "课堂/res/照片.jpg",
                                            "课堂/tracks.xml"};
        // Neither UTF-8 nor GB18030: read as code page 437, one character a byte.
        QTest::newRow("neither") << QList<RawEntry>{file("L/tracks.xml"),
                                                    file("L/res/\x80\xff.png")}
                                 << "L/tracks.xml"
                                 << QStringList{"L/res/Ç\u00a0.png", "L/tracks.xml"};
    }
    void legacyNamesDecoded() {
        QFETCH(QList<RawEntry>, entries);
        QFETCH(QString, flagPath);
        QFETCH(QStringList, names);
        const QString package = base() + "/windows.zip";
        QVERIFY(writeWindowsZip(package, entries));
        std::string flag;
        Packwell().GetFlagFilePathFromZipPackage(flag, "tracks.xml", local(package), "");
        QCOMPARE(QString::fromStdString(flag), flagPath);
        Packwell packwell;
        QVERIFY2(packwell.UnZipFile(local(package), local(root()), "", "", "", false),
                 packwell.LastError().c_str());
        const QMap<QString, QByteArray> files = filesOf(root());
        QCOMPARE(files.keys(), names);
        for (const RawEntry& entry : entries) {
            if (!entry.name.endsWith('/'))
                QVERIFY(files.values().contains(entry.data));
        }
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

    // Two programs unpacking one package into one store at the same time both
    // succeed, round after round.
    void concurrentUnpacking() {
#ifdef Q_OS_WIN
        QSKIP("helper processes are started and killed the POSIX way");
#endif
        const QString package = base() + "/p.zip";
        QList<QPair<QString, QByteArray>> entries{{"L/tracks.xml", "<t/>"}};
        for (int i = 0; i < 60; ++i)
            entries.append({QString("L/res/%1.jpg").arg(i), randomBytes(4096 + i)});
        QVERIFY(writeZip(package, entries));
        const QStringList arguments{package, root(), "80"};
        QProcess* first = startRole(this, "unzip", arguments);
        QProcess* second = startRole(this, "unzip", arguments);
        QVERIFY(first->waitForFinished(120000));
        QVERIFY(second->waitForFinished(120000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
        QCOMPARE(second->exitCode(), 0);
        const QMap<QString, QByteArray> files = filesOf(root());
        QCOMPARE(files.size(), entries.size());  // no temporary file left
        for (const auto& entry : entries)
            QCOMPARE(files.value(entry.first), entry.second);
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

    // An unpack killed while it writes leaves its temporary file; the next
    // unpack of that track removes it, and leftovers of the older, longer
    // temporary names, but nothing that only looks alike and nothing of
    // another track.
    void killedUnpackLeftoversRemoved() {
#ifdef Q_OS_WIN
        QSKIP("helper processes are started and killed the POSIX way");
#endif
        const QString package = base() + "/p.zip";
        QVERIFY(writeZip(package,
                         {{"L/tracks.xml", "<t/>"}, {"L/res/big.bin", randomBytes(96 << 20)}}));
        QProcess* unpacker = startRole(this, "unzip", {package, root(), "1"});
        QVERIFY(unpacker->waitForReadyRead(30000));
        const QRegularExpression pattern("^\\.packwell-[A-Za-z0-9]{8}$");
        QString leftover;
        QElapsedTimer clock;
        clock.start();
        while (leftover.isEmpty() && clock.elapsed() < 60000 &&
               unpacker->state() == QProcess::Running) {
            QThread::msleep(2);
            QDirIterator it(root() + "L", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (pattern.match(it.fileName()).hasMatch() && QFileInfo(path).size() > (1 << 20))
                    leftover = path;
            }
        }
        QVERIFY2(!leftover.isEmpty(), "the unpack ended before it could be interrupted");
        unpacker->kill();
        QVERIFY(unpacker->waitForFinished(10000));
        QVERIFY(QFileInfo(leftover).isFile());

        writeFile(root() + "L/res/a.jpg.packwell-Ab12Cd", "an older leftover");
        writeFile(root() + "L/.packwell-Zz99Yy88", "killed early, at the top");
        const QStringList kept = {"L/res/notes.packwell-abc", "L/res/.packwell-short",
                                  "L/res/.packwell-toolong12", "M/.packwell-Qq11Ww22",
                                  "L/res/.packwell-Dir12345/inside"};
        for (const QString& name : kept)
            writeFile(root() + name, "kept");
        Packwell packwell;
        QVERIFY2(packwell.UnZipFile(local(package), local(root()), "", "", "", false),
                 packwell.LastError().c_str());
        QVERIFY(!QFileInfo::exists(leftover));
        QVERIFY(!QFileInfo::exists(root() + "L/res/a.jpg.packwell-Ab12Cd"));
        QVERIFY(!QFileInfo::exists(root() + "L/.packwell-Zz99Yy88"));
        for (const QString& name : kept)
            QCOMPARE(readFile(root() + name), QByteArray("kept"));
        QCOMPARE(QFileInfo(root() + "L/res/big.bin").size(), qint64(96 << 20));
    }

    // What an earlier package left where this one needs a folder or a file is
    // replaced inside the track folder; nothing outside it changes.
    void storeHeals() {
        writeFile(root() + "L/res", "a file where a folder belongs");
        writeFile(root() + "L/tracks.xml/inside", "a folder where a file belongs");
        writeFile(base() + "/outside.jpg", "outside");
        writeFile(base() + "/elsewhere/keep.txt", "elsewhere");
        QVERIFY(QDir().mkpath(root() + "L/more"));
        QVERIFY(QFile::link(base() + "/outside.jpg", root() + "L/more/linked.jpg"));
        QVERIFY(QFile::link(base() + "/elsewhere", root() + "L/pics"));
        writeFile(root() + "M/res", "another track's file");
        writeFile(root() + "Lx", "a neighbour");
        const QStringList outside = {"/outside.jpg", "/elsewhere/keep.txt", "/store/M/res",
                                     "/store/Lx"};
        QMap<QString, QByteArray> before;
        for (const QString& name : outside)
            before.insert(name, readFile(base() + name));

        const QString package = base() + "/p.zip";
        QVERIFY(writeZip(package, {{"L/tracks.xml", "xml"},
                                   {"L/res/a.jpg", "a"},
                                   {"L/more/linked.jpg", "b"},
                                   {"L/pics/c.jpg", "c"}}));
        Packwell packwell;
        QVERIFY2(packwell.UnZipFile(local(package), local(root()), "", "", "", false),
                 packwell.LastError().c_str());
        for (const QString& name : outside)
            QCOMPARE(readFile(base() + name), before[name]);
        QCOMPARE(treeOf(base() + "/elsewhere"), QStringList{"/keep.txt"});
        QCOMPARE(filesOf(root() + "L/"), (QMap<QString, QByteArray>{{"tracks.xml", "xml"},
                                                                    {"res/a.jpg", "a"},
                                                                    {"more/linked.jpg", "b"},
                                                                    {"pics/c.jpg", "c"}}));
        QVERIFY(!QFileInfo(root() + "L/pics").isSymLink());
        QVERIFY(!QFileInfo(root() + "L/more/linked.jpg").isSymLink());

        // A top-level entry never replaces another track's folder.
        const QString clash = base() + "/clash.zip";
        QVERIFY(writeZip(clash, {{"M", "file"}}));
        QVERIFY(!Packwell().UnZipFile(local(clash), local(root()), "", "", "", false));
        QCOMPARE(readFile(root() + "M/res"), before["/store/M/res"]);
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
    PackwellTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_packwell.moc"
