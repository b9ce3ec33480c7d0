// Opening a track package: unpack into the store, parse "tracks.xml", fill the
// properties and push the entries into the user interface.
#include "qplayerhost.h"

#include <packwell.h>

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

QString entryId(const QString& picture) {
    const int dot = picture.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? picture : picture.left(dot);
}

// The folder part of the flag path becomes the track folder below the store
// root: it must name a real folder there, not the root itself or its parent.
bool isTrackFolderName(const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QStringList segments = folder.split(QLatin1Char('/'));
    for (const QString& segment : segments) {
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
            return false;
    }
    return true;
}

}  // namespace

bool QPlayerHost::loadTrack(QUrl path) {
    const QString root = storeRoot();
    packagePath = path.toLocalFile();
    // The user interface empties its list before loading, so after a failed load
    // a save would prune every entry of the previous track or pack it into the
    // wrong package: a failed load leaves no document to save.
    auto fail = [this] {
        document = QDomDocument();
        return false;
    };

    std::string flag;
    Packwell().GetFlagFilePathFromZipPackage(flag, "tracks.xml", packagePath.toStdString(), "");
    const QString flagPath = QString::fromStdString(flag);
    // The track folder is named after the folder holding "tracks.xml"; without
    // one there is no folder to unpack into.
    const int slash = flagPath.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || !isTrackFolderName(flagPath.left(slash))) {
        qDebug() << "QPlayerHost::loadTrack" << packagePath << "has no tracks.xml inside a folder";
        return fail();
    }

    if (!QDir().mkpath(root)) {
        qDebug() << "QPlayerHost::loadTrack"
                 << "cannot create" << root;
        return fail();
    }
    Packwell packwell;
    if (!packwell.UnZipFile(packagePath.toStdString(), root.toStdString(), "", "", "", false)) {
        qDebug() << "QPlayerHost::loadTrack" << QString::fromStdString(packwell.LastError());
        return fail();
    }

    trackFolder = root + flagPath.left(slash);
    trackFile.setFileName(trackFolder + QStringLiteral("/tracks.xml"));
    if (!QFileInfo(trackFile.fileName()).isFile()) {
        qDebug() << "QPlayerHost::loadTrack" << trackFile.fileName() << "is missing";
        return fail();
    }
    trackFile.open(QIODevice::ReadOnly);

    callUserInterface("clearTimeLine");

    document = QDomDocument();
    QString error;
    int line = 0;
    if (!document.setContent(&trackFile, false, &error, &line)) {
        qDebug() << "QPlayerHost::loadTrack" << trackFile.fileName() << "line" << line << error;
        // A failed parse leaves what was read before the error; saving that
        // would cut the track short, so the track loads as empty instead.
        document = QDomDocument();
    }

    const QDomElement top = document.documentElement();
    const QDomElement tracks = top.firstChildElement(QStringLiteral("tracks"));
    const QDomElement endtime = top.firstChildElement(QStringLiteral("endtime"));
    const QDomElement description = top.firstChildElement(QStringLiteral("track_description"));
    const QDomElement name = top.firstChildElement(QStringLiteral("track_name"));
    const QDomElement teacherName = top.firstChildElement(QStringLiteral("teacher_name"));

    const QDateTime end = QDateTime::fromString(endtime.text(), Qt::ISODate);
    setDate(end.isValid() ? end.toString(QStringLiteral("yyyy-MM-dd")) : QString());
    setTrackDesc(description.text());
    setTrackName(name.text());
    setTeacher(QStringLiteral("授课老师：") + teacherName.text());

    int longest = 0;
    for (QDomNode entry = tracks.firstChild(); !entry.isNull(); entry = entry.nextSibling()) {
        const QDomElement caption = entry.firstChildElement(QStringLiteral("description"));
        const QDomElement ticks = entry.firstChildElement(QStringLiteral("ticks"));
        const QDomElement picture = entry.firstChildElement(QStringLiteral("picture"));
        const QDomElement level = entry.firstChildElement(QStringLiteral("level"));
        bool ok = false;
        int time = ticks.text().toInt(&ok);
        if (!ok)
            time = 0;
        if (time > longest)
            longest = time;
        callUserInterface(
            "appendItem",
            {entryId(picture.text()), trackFolder + QStringLiteral("/res/") + picture.text(), time,
             caption.text(), level.isNull() ? QStringLiteral("-1") : level.text()});
    }

    setDuration(QStringLiteral("时长：") + formatDuration(longest));
    callUserInterface("resetTimeLine");
    trackFile.close();
    setTitle(name.text());
    return true;
}
