// Reelwright: the application, the host (which creates the main window) and
// the event loop. The one argument of its own is a track package to open at
// start, as the desktop passes it:
//   reelwright [FILE]
#include "host_log.h"
#include "qplayerhost.h"
#include "qt_translations.h"
#include "scene_graph_backend.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QMetaObject>
#include <QTimer>
#include <QUrl>
#include <QVariant>

namespace {

// A local path (relative to the working folder) or a file URL.
QUrl packageUrl(const QString& argument) {
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return QUrl(argument);
    return QUrl::fromLocalFile(QFileInfo(argument).absoluteFilePath());
}

}  // namespace

int main(int argc, char* argv[]) {
    // The window's sizes are device-independent pixels: on a 192-dpi screen
    // everything is drawn twice as large, with the @2x pictures.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reelwright"));
    // The dialogs' last folders are kept under Tideboard/Reelwright.
    QApplication::setOrganizationName(QStringLiteral("Tideboard"));
    // The file dialogs in the user's language.
    installQtTranslations(QLocale::system());
    // Lets the desktop match the windows to the program's menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tideboard.Reelwright"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/trayIcon.ico")));
    // A classroom PC may have no graphics driver: no usable OpenGL, or one run by the
    // processor.
    const QString software = chooseSceneGraphBackend();
    if (!software.isEmpty())
        qCDebug(lcHost) << "main" << software << "- drawing with the software renderer";

    QPlayerHost host(nullptr);
    // Without its window the program would run on unseen, with nothing to close.
    if (!host.userInterface()) {
        qCritical() << "main"
                    << "the main window could not be created";
        return 1;
    }
    QObject::connect(&host, &QPlayerHost::quit, &application, &QApplication::quit);

    // Qt's own options are gone by now; the first remaining argument is the
    // package. It opens once the event loop runs, so the window is up first,
    // and the way the open tool opens: a package that cannot be opened leaves
    // the window with a notice that says why.
    const QStringList arguments = application.arguments().mid(1);
    if (!arguments.isEmpty()) {
        const QUrl package = packageUrl(arguments.first());
        // The host reads the package while the window draws; the reason of a
        // failure also goes to stderr, for whoever started the program.
        auto* outcome = new QObject(&host);
        QObject::connect(
            &host, &QPlayerHost::trackLoaded, outcome, [&host, package, outcome](bool loaded) {
                if (!loaded)
                    qWarning() << "main"
                               << "cannot open" << package.toString() << host.lastError();
                outcome->deleteLater();
            });
        QTimer::singleShot(0, &host, [&host, package]() {
            QVariant opened;
            QMetaObject::invokeMethod(host.userInterface(), "openTrack",
                                      Q_RETURN_ARG(QVariant, opened), Q_ARG(QVariant, package));
            if (!opened.toBool())
                qWarning() << "main"
                           << "cannot open" << package.toString() << host.lastError();
        });
    }
    return application.exec();
}
