#include "track_loader.h"

#include "picture_gate.h"

#include <QMetaObject>

TrackLoader::~TrackLoader() {
    cancelled = true;
    wait();
}

void TrackLoader::wait() {
    if (worker.joinable())
        worker.join();
}

void TrackLoader::start(const QString& packagePath, const QString& storeRoot,
                        const QString& heldFolder, Read read, Unpacked unpacked) {
    // Posted to this object: dropped, not run, when it is destroyed first.
    const auto post = [this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    };
    std::thread previous = std::move(worker);
    worker = std::thread([this, previous = std::move(previous), post, packagePath, storeRoot,
                          heldFolder, read, unpacked]() mutable {
        // One package at a time goes into the store.
        if (previous.joinable())
            previous.join();
        auto result = std::make_shared<TrackRead>(
            readTrackPackage(packagePath, storeRoot, heldFolder, cancelled));
        const bool pictures = result->failure.isEmpty() && result->picturesPending;
        const QString folder = result->folder;
        const QString folderName = result->folderName;
        if (pictures)
            picturegate::arriving(folder);
        post([read, result]() { read(result); });
        if (!pictures)
            return;
        const QString failure = unpackPictures(packagePath, storeRoot, folderName);
        picturegate::arrived(folder);
        post([unpacked, failure]() { unpacked(failure); });
    });
}
