// Packwell on its own: entry names that would leave the target folder, the
// store kept in step with the package, and packages updated in place.
#include "testsupport.h"

#include <packwell.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <utime.h>

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
    return QFile::encodeName(path).toStdString();
}

}  // namespace

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

    void unsafeNamesWriteNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << "../out.txt";
        QTest::newRow("parent inside") << "L/../../out.txt";
        QTest::newRow("backslashes") << "L\\..\\..\\out.txt";
        QTest::newRow("absolute") << "ABSOLUTE";
        QTest::newRow("drive") << "C:/out.txt";
        QTest::newRow("drive relative") << "C:out.txt";
        QTest::newRow("parent only") << "..";
    }
    void unsafeNamesWriteNothing() {
        QFETCH(QString, name);
        if (name == "ABSOLUTE")
            name = base() + "/out.txt";
        const QString package = base() + "/evil.zip";
        QVERIFY(writeZip(package, {{"L/tracks.xml", "<t/>"}, {name, "escaped"}}));
        const QStringList before = treeOf(base());
        QVERIFY(!Packwell().UnZipFile(local(package), local(root()), "", "", "", false));
        QCOMPARE(treeOf(base()), before);
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
        const utimbuf later{storedTime + 86400, storedTime + 86400};
        QCOMPARE(utime(QFile::encodeName(root() + "L/res/a.jpg").constData(), &later), 0);

        const std::vector<std::string> files = {local(root() + "L/tracks.xml"),
                                                local(root() + "L/res/a.jpg"),
                                                local(root() + "L/res/new.jpeg")};
        Packwell packwell;
        QVERIFY2(packwell.ZipFiles(files, {}, local(package), local(root()), "", "", ""),
                 packwell.LastError().c_str());
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
        QTest::addColumn<QString>("file");
        QTest::newRow("missing") << "L/res/missing.jpg";
        QTest::newRow("outside the root") << "../outside.jpg";
    }
    void failedZipKeepsPackage() {
        QFETCH(QString, file);
        const QString package = base() + "/p.zip";
        QVERIFY(writeZip(package, {{"L/tracks.xml", "old"}}));
        writeFile(root() + "L/tracks.xml", "new");
        writeFile(base() + "/outside.jpg", "x");
        const QByteArray before = readFile(package);
        const QStringList tree = treeOf(base());
        Packwell packwell;
        QVERIFY(!packwell.ZipFiles({local(root() + "L/tracks.xml"), local(root() + file)}, {},
                                   local(package), local(root()), "", "", ""));
        QVERIFY(!packwell.LastError().empty());
        QCOMPARE(readFile(package), before);
        QCOMPARE(treeOf(base()), tree);
    }
};

QTEST_GUILESS_MAIN(PackwellTest)
#include "tst_packwell.moc"
