// Packages beyond what one unpack accepts, opened through the host: the load
// fails with a reason that names the limit, and the store stays as it was.
// The headers lie (the bytes behind them are few), which is all a bomb needs.
#include "qplayerhost.h"
#include "testsupport.h"
#include "windowszip.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QtTest>

Q_DECLARE_METATYPE(QList<RawEntry>)

class PackwellBounds : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> scratch;
    std::unique_ptr<RecordingRoot> root;
    std::unique_ptr<QPlayerHost> host;

    static bool writeFile(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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

    void refusedWithReason_data() {
        QTest::addColumn<QList<RawEntry>>("entries");
        QTest::addColumn<QString>("reason");  // a pattern of the whole text
        QTest::addColumn<bool>("smallDisk");  // the store on a 32 MiB tmpfs
        const RawEntry xml{"L/tracks.xml", trackXml("")};
        QList<RawEntry> many{xml};
        for (int i = 0; i < 60000; ++i)
            many.append({"L/res/" + QByteArray::number(i) + ".jpg", {}});
        QTest::newRow("too many entries")
            << many << "授课轨迹包过大：60001个条目，最多60000个" << false;
        QTest::newRow("one entry too large")
            << QList<RawEntry>{xml, {"L/res/a.jpg", "a", false, 0, 600 << 20}}
            << "授课轨迹包过大：a\\.jpg解压后600 MB，一个文件最多512 MB" << false;
        QList<RawEntry> large{xml};
        for (int i = 0; i < 10; ++i)
            large.append({"L/res/" + QByteArray::number(i) + ".jpg", "a", false, 0, 500 << 20});
        QTest::newRow("too large in total")
            << large << "授课轨迹包过大：解压后共5000 MB，最多4096 MB" << false;
        // The host's own word for a document beyond its size.
        QTest::newRow("document too large")
            << QList<RawEntry>{{"L/tracks.xml", "<t/>", false, 0, 17 << 20}} << "tracks\\.xml过大"
            << false;
        // Caught while writing: the entry stops at the size it declared.
        QTest::newRow("more inside than declared")
            << QList<RawEntry>{xml, deflatedEntry("L/res/a.jpg", QByteArray(16 << 20, 'a'), 1024)}
            << "授课轨迹包已损坏：a\\.jpg解压后超出声明的大小" << false;
        // 40 MiB, and as much again for the temporary copy, on 32 MiB.
        QTest::newRow("more than the free space")
            << QList<RawEntry>{xml, {"L/res/a.jpg", "a", false, 0, 40 << 20}}
            << "磁盘空间不足：解压需要80 MB（另留32 MB），可用3[12] MB" << true;
    }
    void refusedWithReason() {
        QFETCH(QList<RawEntry>, entries);
        QFETCH(QString, reason);
        QFETCH(bool, smallDisk);
        const QString store = scratch->store();
        QVERIFY(QDir().mkpath(store));
        if (smallDisk &&
            QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=32m", "tmpfs", store}) != 0)
            QSKIP("mounting a small tmpfs needs privileges this run does not have");
        const auto unmount = qScopeGuard([&] {
            if (smallDisk)
                QProcess::execute("umount", {store});
        });
        // Another track in the store, as an earlier session left it.
        QVERIFY(writeFile(store + "M/tracks.xml", trackXml("", "Other")));
        QVERIFY(writeFile(store + "M/res/a.jpg", pictureBytes("JPEG")));
        const QStringList before = treeOf(store);
        const QString package = scratch->work() + "/bomb.zip";
        QVERIFY(writeWindowsZip(package, entries));

        QVERIFY(host->loadTrack(QUrl::fromLocalFile(package)));
        QVERIFY(!host->waitForLoad());
        QVERIFY2(QRegularExpression("^" + reason + "$").match(host->lastError()).hasMatch(),
                 qPrintable(host->lastError()));
        QCOMPARE(host->currentTrackFolder(), QString());
        QCOMPARE(root->functions(), QStringList({"clearTimeLine", "resetTimeLine"}));
        QCOMPARE(treeOf(store), before);
    }
};

QTEST_GUILESS_MAIN(PackwellBounds)
#include "tst_packwellbounds.moc"
