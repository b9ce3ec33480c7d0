// Opening a track package: the package is read on a worker thread (see
// track_reading.h) while the window goes on drawing; then the host takes the
// new track, fills the properties and pushes the entries into the window in
// slices, so that it draws (and shows the progress) between them.
#include "host_log.h"
#include "qplayerhost.h"
#include "track_loader.h"
#include "track_reading.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaMethod>
#include <QTimer>

namespace {

// How long one slice of appendItem calls may hold the window.
constexpr qint64 kSliceNanoseconds = 30 * 1000 * 1000;

}  // namespace

bool QPlayerHost::failLoad(const QString& reason) {
    qCDebug(lcHost) << "QPlayerHost::loadTrack"
                    << "failed:" << reason;
    folderLock.reset();
    trackFolder.clear();
    packagePath.clear();
    trackFile.setFileName(QString());
    document = QDomDocument();
    callUserInterface("clearTimeLine");
    callUserInterface("resetTimeLine");
    setDate(QString());
    setTrackDesc(QString());
    setTrackName(QString());
    setTeacher(QString());
    setDuration(QString());
    setTitle(QString());
    setLastError(reason);
    return false;
}

bool QPlayerHost::loadTrack(QUrl path) {
    if (loading()) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack" << path << "refused: another load runs";
        setLastError(QStringLiteral("正在打开另一个授课轨迹"));
        return false;
    }
    const QString package = path.toLocalFile();
    qCDebug(lcHost) << "QPlayerHost::loadTrack" << package;
    setLoadProgress(-1);
    setLoading(true);
    loadClock.start();
    if (!loader)
        loader = std::make_unique<TrackLoader>();
    loader->start(package, storeRoot(), folderLock ? trackFolder : QString(),
                  [this, package](std::shared_ptr<TrackRead> read) { applyLoad(package, read); });
    return true;
}

void QPlayerHost::applyLoad(const QString& package, std::shared_ptr<TrackRead> read) {
    qCDebug(lcHost) << "QPlayerHost::loadTrack"
                    << "read after" << loadClock.elapsed() << "ms";
    setLastSkipped(read->skippedEntries);
    if (!read->failure.isEmpty()) {
        failLoad(read->failure);
        endLoad(false);
        return;
    }
    // The new track is open from here on.
    packagePath = package;
    if (read->lock)
        folderLock = std::move(read->lock);
    trackFolder = read->folder;
    trackFile.setFileName(trackFolder + QStringLiteral("/tracks.xml"));
    document = read->document;
    read->document = QDomDocument();
    setLastError(QString());

    callUserInterface("clearTimeLine");
    setDate(read->date);
    setTrackDesc(read->description);
    setTrackName(read->name);
    setTeacher(QStringLiteral("授课老师：") + read->teacher);
    pending = read;
    pushed = 0;
    pushEntries();
}

void QPlayerHost::pushEntries() {
    const std::vector<LoadedEntry>& entries = pending->entries;
    const QMetaMethod append =
        rootObject ? rootObject->metaObject()->method(rootObject->metaObject()->indexOfMethod(
                         "appendItem(QVariant,QVariant,QVariant,"
                         "QVariant,QVariant)"))
                   : QMetaMethod();
    QElapsedTimer slice;
    slice.start();
    while (pushed < entries.size() && slice.nsecsElapsed() < kSliceNanoseconds) {
        const LoadedEntry& entry = entries[pushed++];
        if (!append.isValid()) {
            callUserInterface("appendItem",
                              {entry.id, entry.sample, entry.time, entry.description, entry.level});
            continue;
        }
        QVariant ignored;
        append.invoke(rootObject, Qt::DirectConnection, Q_RETURN_ARG(QVariant, ignored),
                      Q_ARG(QVariant, entry.id), Q_ARG(QVariant, entry.sample),
                      Q_ARG(QVariant, entry.time), Q_ARG(QVariant, entry.description),
                      Q_ARG(QVariant, entry.level));
    }
    if (pushed < entries.size()) {
        setLoadProgress(static_cast<double>(pushed) / static_cast<double>(entries.size()));
        QTimer::singleShot(0, this, &QPlayerHost::pushEntries);
        return;
    }
    setDuration(QStringLiteral("时长：") + formatDuration(pending->longest));
    callUserInterface("resetTimeLine");
    setTitle(pending->name);
    qCDebug(lcHost) << "QPlayerHost::loadTrack" << pending->entries.size() << "entries shown after"
                    << loadClock.elapsed() << "ms";
    pending.reset();
    endLoad(true);
}

void QPlayerHost::endLoad(bool loaded) {
    lastLoadOpened = loaded;
    setLoading(false);
    setLoadProgress(-1);
    emit trackLoaded(loaded);
}

bool QPlayerHost::waitForLoad() {
    if (loading()) {
        QEventLoop wait;
        connect(this, &QPlayerHost::trackLoaded, &wait, &QEventLoop::quit);
        wait.exec();
    }
    return lastLoadOpened;
}
