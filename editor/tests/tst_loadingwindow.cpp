// The real main window while a large package opens: it goes on drawing frames,
// shows "正在打开授课轨迹…", and holds every entry in time order at the end.
// Needs an X display (CTest runs it through with-display).
#include "testsupport.h"

#include <session.h>
#include <track_folder_lock.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QQmlProperty>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>

class LoadingWindow : public QObject {
    Q_OBJECT

private slots:
    void drawsWhileOpening() {
        Scratch scratch;
        // Enough entries that unpacking and showing them take a while; their
        // times descend, the order that used to cost most.
        const int count = 4000;
        QString entries;
        QList<QPair<QString, QByteArray>> files;
        const QByteArray picture = pictureBytes("JPEG");
        for (int k = 0; k < count; ++k) {
            entries += QString(
                           "<track><description>e%1</description><ticks>%2</ticks>"
                           "<picture>p%1.jpg</picture></track>")
                           .arg(k)
                           .arg(count - k);
            files.append({QString("L/res/p%1.jpg").arg(k), picture});
        }
        files.prepend({"L/tracks.xml", trackXml(entries)});
        const QString package = scratch.work() + "/large.zip";
        QVERIFY(writeZip(package, files));

        Session s;
        QVERIFY(s.window);
        std::atomic<int> frames{0};
        connect(
            s.window, &QQuickWindow::frameSwapped, s.window, [&] { ++frames; },
            Qt::DirectConnection);
        QQuickItem* indicator = s.item("loadingIndicator");
        QVERIFY(indicator);
        QSignalSpy loaded(s.host, &QPlayerHost::trackLoaded);

        QElapsedTimer timer;
        timer.start();
        QVERIFY(s.call("openTrack", {QUrl::fromLocalFile(package)}).toBool());
        QVERIFY(s.host->loading());
        const int framesAtStart = frames;
        // Until the load ends the indicator comes up with its text.
        bool indicatorSeen = false;
        while (loaded.isEmpty() && timer.elapsed() < 120000) {
            QTest::qWait(20);
            if (!indicatorSeen && indicator->isVisible()) {
                indicatorSeen = true;
                QCOMPARE(s.item("loadingText")->property("text").toString(),
                         QStringLiteral("正在打开授课轨迹…"));
            }
        }
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(loaded[0][0].toBool(), true);
        const int framesWhileLoading = frames - framesAtStart;
        QVERIFY2(framesWhileLoading >= 5, qPrintable(QString::number(framesWhileLoading)));
        QVERIFY(indicatorSeen);
        QTRY_VERIFY(!indicator->isVisible());

        const QVector<Entry> shown = s.entries();
        QCOMPARE(shown.size(), count);
        for (int k = 0; k < count; ++k)
            QCOMPARE(shown[k].tick, k + 1);
        QCOMPARE(QQmlProperty::read(s.window, "modified").toBool(), false);
    }

    // Entries of one time come into the list as the insert rule places
    // them, each before those of its time: the reverse of the document's order.
    void entriesOfOneTime() {
        Scratch scratch;
        const QString package = scratch.work() + "/ties.zip";
        QVERIFY(writeZip(package,
                         {{"L/tracks.xml",
                           trackXml("<track><ticks>5</ticks><picture>a.jpg</picture></track>"
                                    "<track><ticks>5</ticks><picture>b.jpg</picture></track>"
                                    "<track><ticks>9</ticks><picture>c.jpg</picture></track>"
                                    "<track><ticks>5</ticks><picture>d.jpg</picture></track>"
                                    "<track><ticks>3</ticks><picture>e #1.jpg</picture></track>")},
                          {"L/res/a.jpg", pictureBytes("JPEG")}}));
        Session s;
        QVERIFY(s.open(package));
        QStringList ids;
        for (const Entry& entry : s.entries())
            ids << entry.id;
        QCOMPARE(ids, QStringList({"e #1", "d", "b", "a", "c"}));
        QVERIFY(s.entries()[0].sample.endsWith("/res/e%20%231.jpg"));
    }

    // The open at start-up (main invokes the window's openTrack, as for
    // "reelwright FILE") says in the window why a package cannot be opened.
    void startupFailuresSayWhy_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing"
                                 << "文件不存在";
        QTest::newRow("not a package") << "text"
                                       << "文件不是授课轨迹包";
        QTest::newRow("no track inside") << "no track"
                                         << "文件不是授课轨迹包";
        QTest::newRow("open in another window") << "locked"
                                                << "此授课轨迹已在另一个窗口中打开";
    }
    void startupFailuresSayWhy() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        Scratch scratch;
        const QString package = scratch.work() + "/lesson.zip";
        std::unique_ptr<QLockFile> otherWindow;
        if (kind == "text") {
            QFile file(package);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("plain text") > 0);
        } else if (kind == "no track") {
            QVERIFY(writeZip(package, {{"readme.txt", "no track here"}}));
        } else if (kind == "locked") {
            QVERIFY(writeZip(package, {{"Lesson/tracks.xml", trackXml("")}}));
            // The lock another editor holds while it has this track open.
            QVERIFY(QDir().mkpath(scratch.store()));
            otherWindow = lockTrackFolder(scratch.store() + "Lesson");
            QVERIFY(otherWindow->isLocked());
        }
        Session s;
        QVariant started;
        QVERIFY(QMetaObject::invokeMethod(s.host->userInterface(), "openTrack",
                                          Q_RETURN_ARG(QVariant, started),
                                          Q_ARG(QVariant, QUrl::fromLocalFile(package))));
        QVERIFY(!s.host->waitForLoad());
        QObject* notice = s.object("noticeBar");
        QVERIFY(notice->property("visible").toBool());
        QCOMPARE(notice->property("text").toString(), "无法打开授课轨迹：" + reason);
        QCOMPARE(s.item("emptyMessage")->property("text").toString(),
                 QStringLiteral("请打开授课轨迹"));
    }

    // A package that cannot be opened says why, once the load is over.
    void failureSaysWhy() {
        Scratch scratch;
        const QString junk = scratch.work() + "/junk.zip";
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a package") > 0);
        file.close();
        Session s;
        QVERIFY(!s.open(junk));
        QObject* notice = s.object("noticeBar");
        QVERIFY(notice->property("visible").toBool());
        QCOMPARE(notice->property("text").toString(),
                 QStringLiteral("无法打开授课轨迹：文件不是授课轨迹包"));
    }
};

int main(int argc, char** argv) {
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication application(argc, argv);
    LoadingWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_loadingwindow.moc"
