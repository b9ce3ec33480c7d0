// Opening a track package: unpack into the store, parse "tracks.xml", fill the
// properties and push the entries into the user interface.
#include "host_log.h"
#include "qplayerhost.h"
#include "track_document_guard.h"
#include "track_folder_lock.h"

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

bool QPlayerHost::failLoad(const QString& reason) {
    qCDebug(lcHost) << "QPlayerHost::loadTrack" << packagePath << "failed:" << reason;
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
    const QString root = storeRoot();
    packagePath = path.toLocalFile();

    std::string flag;
    Packwell().GetFlagFilePathFromZipPackage(flag, "tracks.xml", packagePath.toStdString(), "");
    const QString flagPath = QString::fromStdString(flag);
    // The track folder is named after the folder holding "tracks.xml"; without
    // one there is no folder to unpack into.
    const int slash = flagPath.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || !isTrackFolderName(flagPath.left(slash)) ||
        !Packwell::IsTrackFolderName(flag.substr(0, flag.find_last_of('/')))) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack" << packagePath
                        << "has no tracks.xml inside a folder";
        return failLoad(QStringLiteral("文件不是授课轨迹包"));
    }
    if (!QDir().mkpath(root)) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack"
                        << "cannot create" << root;
        return failLoad(QStringLiteral("无法创建授课轨迹目录"));
    }

    // Another editor with this folder open would have its pictures replaced and
    // pack this track's into its package; a reload here keeps the lock held.
    const QString folder = root + flagPath.left(slash);
    std::unique_ptr<QLockFile> lock;
    if (!folderLock || folder != trackFolder) {
        lock = lockTrackFolder(folder);
        if (!lock->isLocked()) {
            return failLoad(lock->error() == QLockFile::LockFailedError
                                ? QStringLiteral("此授课轨迹已在另一个窗口中打开")
                                : QStringLiteral("无法锁定授课轨迹目录"));
        }
    }

    Packwell packwell;
    if (!packwell.UnZipFile(packagePath.toStdString(), root.toStdString(), "", "", "", false)) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack" << QString::fromStdString(packwell.LastError());
        return failLoad(QStringLiteral("无法解压授课轨迹包"));
    }

    const QString xmlPath = folder + QStringLiteral("/tracks.xml");
    const QFileInfo xmlInfo(xmlPath);
    if (!xmlInfo.isFile()) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack" << xmlPath << "is missing";
        return failLoad(QStringLiteral("授课轨迹包中没有tracks.xml"));
    }
    // The size is known before anything is read, so an absurd file costs nothing.
    if (xmlInfo.size() > trackdoc::kMaxBytes)
        return failLoad(QStringLiteral("tracks.xml过大"));
    QFile xmlFile(xmlPath);
    if (!xmlFile.open(QIODevice::ReadOnly)) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack" << xmlPath << xmlFile.errorString();
        return failLoad(QStringLiteral("无法读取tracks.xml"));
    }
    const QByteArray xml = xmlFile.read(trackdoc::kMaxBytes + 1);
    xmlFile.close();
    const QString refusal = trackdoc::refusalReason(xml);
    if (!refusal.isEmpty())
        return failLoad(refusal);
    QDomDocument parsed;
    QString error;
    int line = 0;
    if (!parsed.setContent(xml, false, &error, &line)) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack" << xmlPath << "line" << line << error;
        return failLoad(QStringLiteral("tracks.xml格式错误（第%1行）").arg(line));
    }

    // The new track is open from here on.
    if (lock)
        folderLock = std::move(lock);
    trackFolder = folder;
    trackFile.setFileName(xmlPath);
    document = parsed;
    setLastError(QString());

    callUserInterface("clearTimeLine");

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
    // Comments and other non-element children are no entries; saving keeps them.
    for (QDomElement entry = tracks.firstChildElement(); !entry.isNull();
         entry = entry.nextSiblingElement()) {
        const QDomElement caption = entry.firstChildElement(QStringLiteral("description"));
        const QDomElement ticks = entry.firstChildElement(QStringLiteral("ticks"));
        const QString picture = entry.firstChildElement(QStringLiteral("picture")).text();
        const QDomElement level = entry.firstChildElement(QStringLiteral("level"));
        bool ok = false;
        int time = ticks.text().toInt(&ok);
        if (!ok)
            time = 0;
        if (time > longest)
            longest = time;
        // A picture is a file of the track's own "res" folder; a name that is a
        // path would reach into another track, so the entry shows no picture.
        const bool usable = isPictureName(picture);
        if (!usable && !picture.isEmpty())
            qCDebug(lcHost) << "QPlayerHost::loadTrack"
                            << "picture name is a path, not used:" << picture;
        callUserInterface(
            "appendItem",
            {entryId(picture), usable ? trackFolder + QStringLiteral("/res/") + picture : QString(),
             time, caption.text(), level.isNull() ? QStringLiteral("-1") : level.text()});
    }

    setDuration(QStringLiteral("时长：") + formatDuration(longest));
    callUserInterface("resetTimeLine");
    setTitle(name.text());
    return true;
}
