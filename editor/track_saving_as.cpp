// Saving the open track into a package of the teacher's choice: the same merge
// and packing as saveTrack, into the chosen file, which the window works on
// from then on.
#include "host_log.h"
#include "qplayerhost.h"

#include <QDebug>
#include <QFileInfo>

bool QPlayerHost::saveTrackAs(QUrl package, QString titile, QJsonArray track) {
    qCDebug(lcHost) << "QPlayerHost::saveTrackAs" << package << "titile is " << titile
                    << "; track is " << track;
    // Packwell writes files of this machine only; a file dialog can hand out
    // other URLs.
    if (!package.isLocalFile() || package.toLocalFile().isEmpty()) {
        setLastSkipped({});
        setLastError(QStringLiteral("只能保存到本机的文件"));
        return false;
    }
    // The package holds the track folder under its own name, as the old one
    // does, so the folder and the lock held on it serve the new package too:
    // only the file the track is packed into changes.
    return saveInto(QFileInfo(package.toLocalFile()).absoluteFilePath(), titile, track);
}
