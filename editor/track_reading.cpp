#include "track_reading.h"

#include "host_log.h"
#include "qplayerhost.h"
#include "track_document_guard.h"
#include "track_folder_lock.h"

#include <packwell.h>

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

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

// A package beyond the unpack's bounds says which bound; other failures say
// what kind they are.
QString unpackFailure(const Packwell& packwell) {
    const QString refusal = QString::fromStdString(packwell.LastRefusal());
    if (!refusal.isEmpty())
        return refusal;
    switch (packwell.LastFailure()) {
        case PackwellFailure::TooLarge:
            return QStringLiteral("授课轨迹包过大");
        case PackwellFailure::DiskFull:
            return QStringLiteral("磁盘空间不足");
        case PackwellFailure::NoPermission:
            return QStringLiteral("没有写入权限");
        default:
            return QStringLiteral("无法解压授课轨迹包");
    }
}

// Above this size a package's pictures are unpacked after its entries are
// shown; below it one unpack is quick, and a failure leaves no track half shown.
constexpr qint64 kPicturesLaterBytes = 4 * 1024 * 1024;

TrackRead failed(const QString& reason) {
    TrackRead read;
    read.failure = reason;
    return read;
}

// The header fields and the entries of a parsed document.
void collect(TrackRead& read) {
    const QDomElement top = read.document.documentElement();
    const QDateTime end =
        QDateTime::fromString(top.firstChildElement(QStringLiteral("endtime")).text(), Qt::ISODate);
    read.date = end.isValid() ? end.toString(QStringLiteral("yyyy-MM-dd")) : QString();
    read.description = top.firstChildElement(QStringLiteral("track_description")).text();
    read.name = top.firstChildElement(QStringLiteral("track_name")).text();
    read.teacher = top.firstChildElement(QStringLiteral("teacher_name")).text();

    const QString res = read.folder + QStringLiteral("/res/");
    const QDomElement tracks = top.firstChildElement(QStringLiteral("tracks"));
    // Comments and other non-element children are no entries; saving keeps them.
    for (QDomElement entry = tracks.firstChildElement(); !entry.isNull();
         entry = entry.nextSiblingElement()) {
        LoadedEntry loaded;
        const QString picture = entry.firstChildElement(QStringLiteral("picture")).text();
        const QDomElement level = entry.firstChildElement(QStringLiteral("level"));
        bool ok = false;
        loaded.time = entry.firstChildElement(QStringLiteral("ticks")).text().toInt(&ok);
        if (!ok)
            loaded.time = 0;
        read.longest = std::max(read.longest, loaded.time);
        // A picture is a file of the track's own "res" folder; a name that is a
        // path would reach into another track, so the entry shows no picture.
        const bool usable = QPlayerHost::isPictureName(picture);
        if (!usable && !picture.isEmpty())
            qCDebug(lcHost) << "QPlayerHost::loadTrack"
                            << "picture name is a path, not used:" << picture;
        loaded.id = entryIdOfPicture(picture);
        loaded.sample = usable ? res + picture : QString();
        loaded.description = entry.firstChildElement(QStringLiteral("description")).text();
        loaded.level = level.isNull() ? QStringLiteral("-1") : level.text();
        read.entries.push_back(std::move(loaded));
    }
    std::stable_sort(read.entries.begin(), read.entries.end(),
                     [](const LoadedEntry& a, const LoadedEntry& b) { return a.time < b.time; });
}

}  // namespace

QString unpackPictures(const QString& packagePath, const QString& storeRoot,
                       const QString& folderName) {
    QElapsedTimer unpacking;
    unpacking.start();
    Packwell packwell;
    const bool unpacked =
        packwell.UnZipFile(packagePath.toStdString(), storeRoot.toStdString(), "", "",
                           (folderName + QStringLiteral("/tracks.xml")).toStdString(), false);
    qCDebug(lcHost) << "QPlayerHost::loadTrack"
                    << "pictures unpacked in" << unpacking.elapsed() << "ms";
    if (unpacked)
        return QString();
    qCDebug(lcHost) << "QPlayerHost::loadTrack" << QString::fromStdString(packwell.LastError());
    return unpackFailure(packwell);
}

QString entryIdOfPicture(const QString& picture) {
    const int dot = picture.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? picture : picture.left(dot);
}

TrackRead readTrackPackage(const QString& packagePath, const QString& storeRoot,
                           const QString& heldFolder, const std::atomic<bool>& cancelled) {
    if (!QFileInfo(packagePath).isFile())
        return failed(QFileInfo::exists(packagePath) ? QStringLiteral("文件不是授课轨迹包")
                                                     : QStringLiteral("文件不存在"));
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
        return failed(QStringLiteral("文件不是授课轨迹包"));
    }
    if (!QDir().mkpath(storeRoot)) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack"
                        << "cannot create" << storeRoot;
        return failed(QStringLiteral("无法创建授课轨迹目录"));
    }

    // Another editor with this folder open would have its pictures replaced and
    // pack this track's into its package; a reload here keeps the lock held.
    TrackRead read;
    read.folder = storeRoot + flagPath.left(slash);
    if (read.folder != heldFolder) {
        read.lock = lockTrackFolder(read.folder);
        if (!read.lock->isLocked()) {
            return failed(read.lock->error() == QLockFile::LockFailedError
                              ? QStringLiteral("此授课轨迹已在另一个窗口中打开")
                              : QStringLiteral("无法锁定授课轨迹目录"));
        }
    }

    // A large package shows its entries first: "tracks.xml" alone now, the
    // pictures while the window is already filled.
    read.folderName = flagPath.left(slash);
    read.picturesPending = QFileInfo(packagePath).size() > kPicturesLaterBytes;
    const std::string only = read.picturesPending
                                 ? (read.folderName + QStringLiteral("/tracks.xml")).toStdString()
                                 : std::string();
    QElapsedTimer unpacking;
    unpacking.start();
    Packwell packwell;
    const bool unpacked =
        packwell.UnZipFile(packagePath.toStdString(), storeRoot.toStdString(), "", only, "", false);
    qCDebug(lcHost) << "QPlayerHost::loadTrack"
                    << "unpacked in" << unpacking.elapsed() << "ms";
    if (!unpacked) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack" << QString::fromStdString(packwell.LastError());
        return failed(unpackFailure(packwell));
    }
    for (const std::string& name : packwell.SkippedEntries()) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack"
                        << "left out, not of the track folder:" << QString::fromStdString(name);
        read.skippedEntries << QString::fromStdString(name);
    }
    if (cancelled)
        return failed(QStringLiteral("已取消"));

    const QString xmlPath = read.folder + QStringLiteral("/tracks.xml");
    const QFileInfo xmlInfo(xmlPath);
    if (!xmlInfo.isFile()) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack" << xmlPath << "is missing";
        return failed(QStringLiteral("授课轨迹包中没有tracks.xml"));
    }
    // The size is known before anything is read, so an absurd file costs nothing.
    if (xmlInfo.size() > trackdoc::kMaxBytes)
        return failed(QStringLiteral("tracks.xml过大"));
    QFile xmlFile(xmlPath);
    if (!xmlFile.open(QIODevice::ReadOnly)) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack" << xmlPath << xmlFile.errorString();
        return failed(QStringLiteral("无法读取tracks.xml"));
    }
    const QByteArray xml = xmlFile.read(trackdoc::kMaxBytes + 1);
    xmlFile.close();
    QElapsedTimer parsing;
    parsing.start();
    const QString refusal = trackdoc::refusalReason(xml);
    qCDebug(lcHost) << "QPlayerHost::loadTrack"
                    << "guard" << parsing.elapsed() << "ms";
    if (!refusal.isEmpty())
        return failed(refusal);
    QString error;
    int line = 0;
    if (!read.document.setContent(xml, false, &error, &line)) {
        qCDebug(lcHost) << "QPlayerHost::loadTrack" << xmlPath << "line" << line << error;
        return failed(QStringLiteral("tracks.xml格式错误（第%1行）").arg(line));
    }
    qCDebug(lcHost) << "QPlayerHost::loadTrack"
                    << "parsed" << parsing.elapsed() << "ms";
    collect(read);
    qCDebug(lcHost) << "QPlayerHost::loadTrack"
                    << "collected" << parsing.elapsed() << "ms";
    // Pictures of an earlier session that neither the document nor the
    // package names (inserted and never saved, or left out of a save) go now,
    // before the window has an undo history that could want them back.
    std::vector<std::string> pictures;
    for (const LoadedEntry& entry : read.entries) {
        if (!entry.sample.isEmpty())
            pictures.push_back(QFileInfo(entry.sample).fileName().toStdString());
    }
    for (const std::string& name : Packwell().RemoveStrayPictures(
             read.folder.toStdString(), pictures, packagePath.toStdString()))
        qCDebug(lcHost) << "QPlayerHost::loadTrack"
                        << "removed a picture nothing names:" << QString::fromStdString(name);
    qCDebug(lcHost) << "QPlayerHost::loadTrack"
                    << "stray pictures checked" << parsing.elapsed() << "ms";
    return read;
}
