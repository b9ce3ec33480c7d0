// Reelwright: the application, the host (which creates the main window) and
// the event loop. The program has no options of its own.
#include "qplayerhost.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QPlayerHost host(nullptr);
    QObject::connect(&host, &QPlayerHost::quit, &application, &QApplication::quit);
    return application.exec();
}
