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
#include <QUrl>
#include <QVariantMap>

#include <algorithm>

namespace {

// How long one slice of appendItem calls may hold the window.
constexpr qint64 kSliceNanoseconds = 30 * 1000 * 1000;
constexpr size_t kEntriesPerCall = 10000;

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
    const quint64 serial = ++loadSerial;
    loader->start(
        package, storeRoot(), folderLock ? trackFolder : QString(),
        [this, package](std::shared_ptr<TrackRead> read) { applyLoad(package, read); },
        [this, serial](const QString& failure) { endUnpack(serial, failure); });
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
    // The new track is open from here on; its pictures may still be arriving.
    if (read->picturesPending)
        ++unpacksRunning;
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

namespace {

// The place of each entry in the window's list, for a window that takes a
// slice at once: by time, and entries of one time in the reverse of their
// document order, as appendItem places each before those of its time.
// A picture's path as the window's list holds it: "file:///" and the
// segments percent-encoded as the window's own fromPathOrUrl does, so that
// "#", "?" and "%" in a name stay part of it.
QString sampleUrl(const QString& path) {
    QString text = QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
    int start = 0;
    while (start < text.size() && text[start] == QLatin1Char('/'))
        ++start;
    QStringList segments = text.mid(start).split(QLatin1Char('/'));
    for (int k = 0; k < segments.size(); ++k) {
        const bool drive = k == 0 && segments[k].size() == 2 && segments[k][1] == QLatin1Char(':');
        if (!drive)
            segments[k] = QString::fromLatin1(QUrl::toPercentEncoding(segments[k], "!*'()"));
    }
    return QStringLiteral("file:///") + segments.join(QLatin1Char('/'));
}

std::vector<size_t> windowOrder(const std::vector<LoadedEntry>& entries) {
    std::vector<size_t> order;
    order.reserve(entries.size());
    for (size_t start = 0; start < entries.size();) {
        size_t end = start + 1;
        while (end < entries.size() && entries[end].time == entries[start].time)
            ++end;
        for (size_t k = end; k > start; --k)
            order.push_back(k - 1);
        start = end;
    }
    return order;
}

}  // namespace

void QPlayerHost::pushEntries() {
    const std::vector<LoadedEntry>& entries = pending->entries;
    const QMetaObject* meta = rootObject ? rootObject->metaObject() : nullptr;
    const QMetaMethod appendMany =
        meta ? meta->method(meta->indexOfMethod("appendItems(QVariant)")) : QMetaMethod();
    const QMetaMethod append =
        meta ? meta->method(meta->indexOfMethod("appendItem(QVariant,QVariant,QVariant,"
                                                "QVariant,QVariant)"))
             : QMetaMethod();
    if (appendMany.isValid() && pushOrder.size() != entries.size())
        pushOrder = windowOrder(entries);
    QElapsedTimer slice;
    slice.start();
    while (appendMany.isValid() && pushed < entries.size() &&
           slice.nsecsElapsed() < kSliceNanoseconds) {
        // One call per few thousand entries: a call into the window costs far
        // more than the list's work for one entry.
        QVariantList items;
        const size_t end = std::min(entries.size(), pushed + kEntriesPerCall);
        items.reserve(static_cast<int>(end - pushed));
        for (; pushed < end; ++pushed) {
            const LoadedEntry& entry = entries[pushOrder[pushed]];
            items.append(QVariantMap{{QStringLiteral("id"), entry.id},
                                     {QStringLiteral("sample"), sampleUrl(entry.sample)},
                                     {QStringLiteral("timeTick"), entry.time},
                                     {QStringLiteral("description"), entry.description},
                                     {QStringLiteral("level"), entry.level}});
        }
        QVariant ignored;
        appendMany.invoke(rootObject, Qt::DirectConnection, Q_RETURN_ARG(QVariant, ignored),
                          Q_ARG(QVariant, items));
    }
    while (!appendMany.isValid() && pushed < entries.size() &&
           slice.nsecsElapsed() < kSliceNanoseconds) {
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
    qCDebug(lcHost) << "QPlayerHost::loadTrack"
                    << "entries pushed after" << loadClock.elapsed() << "ms";
    callUserInterface("resetTimeLine");
    setTitle(pending->name);
    qCDebug(lcHost) << "QPlayerHost::loadTrack" << pending->entries.size() << "entries shown after"
                    << loadClock.elapsed() << "ms";
    pending.reset();
    pushOrder.clear();
    endLoad(true);
}

void QPlayerHost::endLoad(bool loaded) {
    lastLoadOpened = loaded;
    setLoading(false);
    setLoadProgress(-1);
    emit trackLoaded(loaded);
}

void QPlayerHost::endUnpack(quint64 serial, const QString& failure) {
    --unpacksRunning;
    // A later load has replaced the track whose pictures these were.
    if (serial != loadSerial)
        return;
    if (!failure.isEmpty()) {
        // Without its pictures the track cannot be edited or saved safely.
        failLoad(failure);
        lastLoadOpened = false;
    }
    emit picturesUnpacked(failure.isEmpty());
}

void QPlayerHost::waitForPictures() {
    if (unpacksRunning > 0)
        loader->wait();
}

bool QPlayerHost::waitForLoad() {
    QEventLoop wait;
    connect(this, &QPlayerHost::trackLoaded, &wait, &QEventLoop::quit);
    connect(this, &QPlayerHost::picturesUnpacked, &wait, &QEventLoop::quit);
    while (loading() || unpacksRunning > 0)
        wait.exec();
    return lastLoadOpened;
}
