// Reelwright: the application, the host (which creates the main window) and
// the event loop. The program has no options of its own.
#include "qplayerhost.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QPlayerHost host(nullptr);
    // Without its window the program would run on unseen, with nothing to close.
    if (!host.userInterface()) {
        qCritical() << "main"
                    << "the main window could not be created";
        return 1;
    }
    QObject::connect(&host, &QPlayerHost::quit, &application, &QApplication::quit);
    return application.exec();
}
