// Runs readTrackPackage on a thread of its own, and then, for a large
// package, unpackPictures; hands each result to a function on the thread the
// loader lives on. A read started while another runs waits for it first.
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
    using Read = std::function<void(std::shared_ptr<TrackRead>)>;
    // The reason the pictures could not be unpacked, or empty.
    using Unpacked = std::function<void(QString)>;

    using QObject::QObject;
    // Asks a running read to stop at its next step and waits for it; its
    // results are dropped.
    ~TrackLoader() override;

    // Starts reading; read runs from the event loop once the track is read,
    // unpacked once its pending pictures are unpacked (only when there were any).
    void start(const QString& packagePath, const QString& storeRoot, const QString& heldFolder,
               Read read, Unpacked unpacked);
    // Blocks until every started read and unpack is over; their results still
    // come from the event loop.
    void wait();

private:
    std::thread worker;
    std::atomic<bool> cancelled{false};
};
