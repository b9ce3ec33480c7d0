// reelwright-bench: one measured editor operation with the real host and main
// window, for bench/editor/run. Prints "<name>_seconds <s>" and, for memory,
// "peak_kib <n>". The track store is the caller's XDG_DATA_HOME.
//   reelwright-bench open PACKAGE        loadTrack: all entries shown, all pictures
//                                        unpacked, the timeline complete (and the peak)
//   reelwright-bench save PACKAGE        one caption changed, then saveTrack
//   reelwright-bench prepare PACKAGE PICTURE...   prepareSamples of the pictures
//   reelwright-bench memory PACKAGE      grid scrolled end to end, preview opened
#include <scene_graph_backend.h>
#include <session.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTextStream>
#include <QUrl>

#include <cstdio>
#include <cstring>

namespace {

// Peak resident set of this process, from the kernel's high-water mark.
long peakKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Debug lines go nowhere, as a desktop program's do, except the host's own
// traces (they are off unless QT_LOGGING_RULES switches
// them on, and tell how long a load's steps took).
void dropDebug(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtDebugMsg || qstrcmp(context.category, "reelwright.host") == 0)
        QTextStream(stderr) << message << "\n";
}

double seconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Help and usage errors are answered before the application object exists,
    // so they need no display.
    const char* usage = "usage: reelwright-bench open|save|prepare|memory PACKAGE [PICTURE...]\n";
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return 0;
    }
    const bool knownMode =
        argc >= 2 && (std::strcmp(argv[1], "open") == 0 || std::strcmp(argv[1], "save") == 0 ||
                      std::strcmp(argv[1], "prepare") == 0 || std::strcmp(argv[1], "memory") == 0);
    if (argc < 3 || !knownMode || argv[2][0] == '-') {
        std::fputs(usage, stderr);
        return 2;
    }
    qInstallMessageHandler(dropDebug);
    QApplication application(argc, argv);
    // The names the editor runs under: its windows keep settings (the file
    // dialogs' folders) by them.
    QApplication::setApplicationName(QStringLiteral("Reelwright"));
    QApplication::setOrganizationName(QStringLiteral("Tideboard"));
    // The renderer the program itself would choose here.
    const QString software = chooseSceneGraphBackend();
    const QStringList args = application.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString mode = args[1];

    Session session;
    if (!session.window) {
        err << "reelwright-bench: no main window\n";
        return 1;
    }

    QElapsedTimer timer;
    timer.start();
    // Through the window's openTrack, as the open tool does; the track is
    // shown after the host's last entry and the resetTimeLine that follows it.
    // A large package's pictures arrive after that.
    double openSeconds = -1;
    long shownPeak = 0;
    QObject::connect(session.host, &QPlayerHost::trackLoaded, [&]() {
        if (openSeconds < 0) {
            openSeconds = seconds(timer);
            shownPeak = peakKib();
        }
    });
    const bool loaded = session.open(args[2]);
    const double picturesSeconds = seconds(timer);
    const int count = session.entries().size();
    if (!loaded || count == 0) {
        err << "reelwright-bench: the package did not load\n";
        return 1;
    }
    out << "entries " << count << "\n";
    out << "renderer " << (software.isEmpty() ? "opengl" : "software") << "\n";

    if (mode == QLatin1String("open")) {
        out << "open_seconds " << QString::number(openSeconds, 'f', 3) << "\n";
        out << "pictures_seconds " << QString::number(picturesSeconds, 'f', 3) << "\n";
        out << "shown_peak_kib " << shownPeak << "\n";
        // A long track's timeline marks are made between frames after the load.
        while (session.markCount() < count && timer.elapsed() < 600000)
            QTest::qWait(10);
        out << "timeline_seconds " << QString::number(seconds(timer), 'f', 3) << "\n";
        out << "peak_kib " << peakKib() << "\n";
    } else if (mode == QLatin1String("save")) {
        session.call("updateDescription", {0, QStringLiteral("改过的说明"), false});
        if (session.entries()[0].description != QStringLiteral("改过的说明")) {
            err << "reelwright-bench: the caption did not change\n";
            return 1;
        }
        timer.restart();
        session.call("saveTrack");
        out << "save_seconds " << QString::number(seconds(timer), 'f', 3) << "\n";
    } else if (mode == QLatin1String("prepare")) {
        QList<QUrl> urls;
        for (int i = 3; i < args.size(); ++i)
            urls << QUrl::fromLocalFile(args[i]);
        timer.restart();
        const QJsonArray made = session.host->prepareSamples(urls);
        out << "prepare_seconds " << QString::number(seconds(timer), 'f', 3) << "\n";
        out << "prepared " << made.size() << "\n";
        if (made.size() != urls.size())
            return 1;
    } else if (mode == QLatin1String("memory")) {
        // Row by row to the end, letting each visible row's pictures load.
        QQuickItem* grid = session.item("trackViewer");
        const int columns = qMax(1, static_cast<int>(grid->width() / 254));
        timer.restart();
        for (int k = 0; k < count; k += columns) {
            QMetaObject::invokeMethod(grid, "positionViewAtIndex", Q_ARG(int, k), Q_ARG(int, 1));
            QTest::qWait(1);
            session.waitForPictures(30000);
        }
        QMetaObject::invokeMethod(grid, "positionViewAtIndex", Q_ARG(int, count - 1),
                                  Q_ARG(int, 1));
        session.waitForPictures(30000);
        const double scrollSeconds = seconds(timer);
        session.clickCell(count - 1);
        session.call("showPreview");
        QQuickWindow* player = session.player();
        if (!player) {
            err << "reelwright-bench: no player\n";
            return 1;
        }
        QQuickItem* picture = player->findChild<QQuickItem*>(QStringLiteral("picture"));
        for (int waited = 0; waited < 30000 && picture->property("status").toInt() != 1;
             waited += 20)
            QTest::qWait(20);
        QTest::qWait(500);
        out << "scroll_seconds " << QString::number(scrollSeconds, 'f', 3) << "\n";
        out << "peak_kib " << peakKib() << "\n";
    } else {
        err << "reelwright-bench: unknown mode " << mode << "\n";
        return 2;
    }
    return 0;
}
