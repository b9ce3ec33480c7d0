// The part of opening a track package that needs no window: unpacking it into
// the store, taking the track folder's lock, reading and parsing "tracks.xml"
// and collecting its entries. It runs on a worker thread while the window goes
// on drawing; the host then applies the result on the window's thread.
#pragma once

#include <QDomDocument>
#include <QLockFile>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <vector>

// One entry as appendItem receives it.
struct LoadedEntry {
    QString id;
    QString sample;  // absolute path of the picture; empty when the name is no picture's
    int time = 0;
    QString description;
    QString level;  // "-1" when the entry has no level element
};

struct TrackRead {
    // Short Chinese reason for the window; empty when the track was read.
    QString failure;
    QString folder;  // the track folder, below the store root
    // The folder's lock, taken for this load; null when the caller held it.
    std::unique_ptr<QLockFile> lock;
    QDomDocument document;
    QString date;  // endtime as "yyyy-MM-dd", empty when not ISO 8601
    QString description;
    QString name;
    QString teacher;  // the teacher's name, without the label
    int longest = 0;  // the largest time, never below 0
    // In time order, entries of one time in document order, so the window
    // finds each one's place without searching its list.
    std::vector<LoadedEntry> entries;
    // Package entries outside the track folder, left out by the unpack.
    QStringList skippedEntries;
    // Only "tracks.xml" is unpacked yet: the rest of a large package follows
    // with unpackPictures, while the window shows the entries.
    bool picturesPending = false;
    QString folderName;  // the track folder's name inside the package
};

// Reads the package at packagePath into the store below storeRoot.
// heldFolder is the track folder whose lock the caller already holds (a
// reload keeps it), or empty. Stops early, with a failure, once cancelled.
TrackRead readTrackPackage(const QString& packagePath, const QString& storeRoot,
                           const QString& heldFolder, const std::atomic<bool>& cancelled);

// The rest of a package whose reading left picturesPending: everything of
// its track folder but "tracks.xml". The failure's reason, or empty.
QString unpackPictures(const QString& packagePath, const QString& storeRoot,
                       const QString& folderName);

// The entry id: the picture's name up to its last ".".
QString entryIdOfPicture(const QString& picture);
