#include "picture_gate.h"

#include <QFileInfo>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace picturegate {

namespace {

std::mutex mutex;
std::condition_variable changed;
QStringList folders;  // one per running unpack

bool pending(const QString& path) {
    for (const QString& folder : folders) {
        if (path.startsWith(folder + QLatin1Char('/')))
            return true;
    }
    return false;
}

}  // namespace

void arriving(const QString& folder) {
    std::lock_guard<std::mutex> hold(mutex);
    folders << folder;
}

void arrived(const QString& folder) {
    {
        std::lock_guard<std::mutex> hold(mutex);
        folders.removeOne(folder);
    }
    changed.notify_all();
}

void waitFor(const QString& path) {
    std::unique_lock<std::mutex> hold(mutex);
    // Files appear by renaming, whole; a look every few milliseconds finds them.
    while (pending(path) && !QFileInfo::exists(path))
        changed.wait_for(hold, std::chrono::milliseconds(20));
}

}  // namespace picturegate
