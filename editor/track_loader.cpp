#include "track_loader.h"

#include <QMetaObject>

TrackLoader::~TrackLoader() {
    cancelled = true;
    if (worker.joinable())
        worker.join();
}

void TrackLoader::start(const QString& packagePath, const QString& storeRoot,
                        const QString& heldFolder, Done done) {
    Q_ASSERT(!isRunning);
    isRunning = true;
    worker = std::thread([this, packagePath, storeRoot, heldFolder, done]() {
        auto read = std::make_shared<TrackRead>(
            readTrackPackage(packagePath, storeRoot, heldFolder, cancelled));
        // Posted to this object: dropped, not run, when it is destroyed first.
        QMetaObject::invokeMethod(
            this,
            [this, read, done]() {
                worker.join();
                isRunning = false;
                done(read);
            },
            Qt::QueuedConnection);
    });
}
