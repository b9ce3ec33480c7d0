// A large package shows its entries before its pictures are all unpacked:
// the pictures follow on the loader's thread, a save waits for them, and a
// track whose pictures cannot be unpacked is closed with the reason.
#include "testsupport.h"

#include <qplayerhost.h>

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray noise(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(QRandomGenerator::global()->generate());
    return bytes;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class LargeTracks : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> scratch;
    QMap<QString, QByteArray> pictures;

    // 24 pictures that do not compress: a package of about 5 MB.
    QString largePackage() {
        QString entries;
        QList<QPair<QString, QByteArray>> files;
        for (int k = 0; k < 24; ++k) {
            const QString name = QString("p%1.jpg").arg(k);
            entries += QString("<track><ticks>%1</ticks><picture>%2</picture></track>")
                           .arg(k + 1)
                           .arg(name);
            pictures[name] = noise(200 * 1024);
            files.append({"Big/res/" + name, pictures[name]});
        }
        files.prepend({"Big/tracks.xml", trackXml(entries)});
        const QString path = scratch->work() + "/big.zip";
        return writeZip(path, files) ? path : QString();
    }

private slots:
    void init() { scratch.reset(new Scratch); }
    void cleanup() { scratch.reset(); }

    void picturesFollowTheEntries() {
        const QString package = largePackage();
        QVERIFY(!package.isEmpty());
        RecordingRoot root;
        QPlayerHost host(&root, nullptr);
        QSignalSpy shown(&host, &QPlayerHost::trackLoaded);
        QSignalSpy unpacked(&host, &QPlayerHost::picturesUnpacked);
        QVERIFY(host.loadTrack(QUrl::fromLocalFile(package)));
        QVERIFY(shown.wait(60000));
        QCOMPARE(shown[0][0].toBool(), true);
        QCOMPARE(root.appended().size(), 24);
        QVERIFY(QFileInfo::exists(host.currentTrackFolder() + "/tracks.xml"));

        // A save at once waits for the pictures and packs every one of them.
        QJsonArray track = root.asWindowHolds();
        QJsonObject first = track[0].toObject();
        first["description"] = "changed";
        track[0] = first;
        QVERIFY(host.saveTrack("Big", track));
        QCOMPARE(host.lastSkipped(), QStringList());
        const QMap<QString, ZipEntry> saved = readZip(package);
        for (auto picture = pictures.cbegin(); picture != pictures.cend(); ++picture)
            QVERIFY2(saved.value("Big/res/" + picture.key()).data == picture.value(),
                     qPrintable(picture.key()));

        QVERIFY(host.waitForLoad());
        QCOMPARE(unpacked.count(), 1);
        QCOMPARE(unpacked[0][0].toBool(), true);
        for (auto picture = pictures.cbegin(); picture != pictures.cend(); ++picture)
            QCOMPARE(readFile(host.currentTrackFolder() + "/res/" + picture.key()),
                     picture.value());
        QCOMPARE(host.lastError(), QString());
    }

    // The store's disk has room for "tracks.xml" but not for the pictures.
    void picturesThatDoNotFitCloseTheTrack() {
        const QString package = largePackage();
        QVERIFY(!package.isEmpty());
        const QString disk = scratch->work() + "/disk";
        QVERIFY(QDir().mkdir(disk));
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", disk}) != 0)
            QSKIP("mounting a small tmpfs needs privileges this run does not have");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {disk}); });
        qputenv("XDG_DATA_HOME", QFile::encodeName(disk));
        {
            RecordingRoot root;
            QPlayerHost host(&root, nullptr);
            QVERIFY(host.loadTrack(QUrl::fromLocalFile(package)));
            QVERIFY(!host.waitForLoad());
            QVERIFY2(host.lastError().startsWith(QStringLiteral("磁盘空间不足：")),
                     qPrintable(host.lastError()));
            QCOMPARE(host.currentTrackFolder(), QString());
            QCOMPARE(host.title(), QString());
            QCOMPARE(root.functions().mid(root.functions().size() - 2),
                     QStringList({"clearTimeLine", "resetTimeLine"}));
            QVERIFY(!host.saveTrack("Big", {}));
        }
        qputenv("XDG_DATA_HOME", QFile::encodeName(scratch->data()));
    }
};

QTEST_GUILESS_MAIN(LargeTracks)
#include "tst_largetracks.moc"
