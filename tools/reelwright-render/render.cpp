// reelwright-render: shows the editor with a track package loaded and writes
// the main window (optionally with a cell selected), the preview player's
// cover page and one entry in the player as PNG files. For the demo on machines without a display
// (run it under Xvfb) and for looking at the layout. Uses the caller's XDG_DATA_HOME for the track
// store.
//   reelwright-render --package P --output DIR [--select N]
#include <session.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTest>
#include <QTextStream>
#include <QUrl>

#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "usage: reelwright-render --package P --output DIR [--select N]\n"
    "Shows the editor with the track package P loaded and writes main-window.png,\n"
    "player-cover.png and player-entry.png into DIR. Needs an X display.\n";

// Help and usage errors are answered before the application object exists, so
// they need no display.
int checkArguments(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        bool known = false;
        for (const char* option : {"--package", "--output", "--select"}) {
            const size_t n = std::strlen(option);
            if (std::strncmp(arg, option, n) == 0 && (arg[n] == '\0' || arg[n] == '=')) {
                known = true;
                if (arg[n] == '\0')
                    ++i;  // its value
            }
        }
        if (!known) {
            std::fprintf(stderr, "reelwright-render: unknown argument %s\n%s", arg, kUsage);
            return 2;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (const int answered = checkArguments(argc, argv); answered >= 0)
        return answered;
    QApplication application(argc, argv);
    // The names the editor runs under: its windows keep settings (the file
    // dialogs' folders) by them.
    QApplication::setApplicationName(QStringLiteral("Reelwright"));
    QApplication::setOrganizationName(QStringLiteral("Tideboard"));
    QCommandLineParser parser;
    const QCommandLineOption package(QStringLiteral("package"), QStringLiteral("Track package."),
                                     QStringLiteral("path"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("Folder for PNGs."),
                                    QStringLiteral("dir"));
    const QCommandLineOption select(QStringLiteral("select"), QStringLiteral("Cell to select."),
                                    QStringLiteral("n"), QStringLiteral("-1"));
    parser.addOptions({package, output, select});
    parser.process(application);
    QTextStream err(stderr);
    if (!parser.isSet(package) || !parser.isSet(output)) {
        err << "reelwright-render: --package and --output are required\n";
        return 2;
    }
    const QString folder = parser.value(output);
    QDir().mkpath(folder);

    Session session;
    if (!session.window) {
        err << "reelwright-render: no main window\n";
        return 1;
    }
    if (!session.open(QFileInfo(parser.value(package)).absoluteFilePath())) {
        err << "reelwright-render: the package did not load\n";
        return 1;
    }
    const int selected = parser.value(select).toInt();
    if (selected >= 0 && selected < session.entries().size()) {
        session.clickCell(selected);
    }
    session.waitForPictures();
    QTest::qWait(300);
    const QString mainPng = folder + QStringLiteral("/main-window.png");
    if (!session.window->grabWindow().save(mainPng)) {
        err << "reelwright-render: cannot write " << mainPng << "\n";
        return 1;
    }

    // The cover page shows only when no entry is current.
    if (selected >= 0) {
        QMetaObject::invokeMethod(session.item("timeLine"), "removeAll");
        session.item("trackViewer")->setProperty("currentIndex", -1);
    }
    session.call("showPreview");
    QQuickWindow* player = session.player();
    if (!player) {
        err << "reelwright-render: no player\n";
        return 1;
    }
    if (!QTest::qWaitForWindowExposed(player))
        err << "reelwright-render: the player was not shown\n";
    QTest::qWait(500);
    const QString coverPng = folder + QStringLiteral("/player-cover.png");
    if (!player->grabWindow().save(coverPng)) {
        err << "reelwright-render: cannot write " << coverPng << "\n";
        return 1;
    }
    // And one entry as the slide show shows it, with its tips bar.
    QQuickItem* playerTimeLine = player->findChild<QQuickItem*>(QStringLiteral("timeLine"));
    const int shown = qMin(3, session.entries().size() - 1);
    playerTimeLine->setProperty("currentIndex", shown);
    QQuickItem* picture = player->findChild<QQuickItem*>(QStringLiteral("picture"));
    for (int waited = 0; waited < 5000 && picture->property("status").toInt() == 2; waited += 20)
        QTest::qWait(20);
    QTest::qWait(300);
    const QString entryPng = folder + QStringLiteral("/player-entry.png");
    if (!player->grabWindow().save(entryPng)) {
        err << "reelwright-render: cannot write " << entryPng << "\n";
        return 1;
    }
    QTextStream(stdout) << mainPng << "\n" << coverPng << "\n" << entryPng << "\n";
    return 0;
}
