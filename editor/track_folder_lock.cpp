#include "track_folder_lock.h"
#include "host_log.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

std::unique_ptr<QLockFile> lockTrackFolder(const QString& trackFolder) {
    const QString path = trackFolder + QStringLiteral(".lock");
    // A folder name of several levels puts the lock into a folder of the store
    // that unpacking would create anyway.
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto lock = std::make_unique<QLockFile>(path);
    // An editor may stay open for days: only a dead holder makes a lock stale.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString program;
        lock->getLockInfo(&pid, &host, &program);
        qCDebug(lcHost) << "lockTrackFolder" << path << "not taken, error" << lock->error()
                        << "holder" << pid << host << program;
    }
    return lock;
}
