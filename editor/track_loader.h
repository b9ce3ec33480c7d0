// Runs readTrackPackage on a thread of its own, one read at a time, and hands
// its result to a function on the thread the loader lives on.
#pragma once

#include "track_reading.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class TrackLoader : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(std::shared_ptr<TrackRead>)>;

    using QObject::QObject;
    // Asks a running read to stop at its next step and waits for it; its
    // result is dropped.
    ~TrackLoader() override;

    bool running() const { return isRunning; }
    // Starts reading; done runs from the event loop once the read is over.
    // Not to be called while running().
    void start(const QString& packagePath, const QString& storeRoot, const QString& heldFolder,
               Done done);

private:
    std::thread worker;
    std::atomic<bool> cancelled{false};
    bool isRunning = false;
};
