// Saving a track: merge the user interface's entry list into the document,
// rewrite "tracks.xml" and repack the package.
#include "entry_matching.h"
#include "host_log.h"
#include "qplayerhost.h"
#include "save_failure.h"
#include "track_reading.h"
#include "track_xml.h"

#include <failure_kinds.h>
#include <packwell.h>

#include <QDebug>
#include <QFileInfo>
#include <QJsonObject>
#include <QJsonValue>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

// The picture file name an entry's "sample" stands for. Samples are file URLs
// (QUrl::fromLocalFile), read back through QUrl; older windows put "file:///"
// before the unencoded path, where a "#", "?" or "%" of the name is misread,
// so the raw last component counts when only it names a picture of the folder.
// Only the name is used: saving packs files of the track's own folder alone.
QString pictureNameOf(const QJsonValue& sample, const QString& pictureFolder) {
    const QString text = sample.toString();
    const QString parsed = QFileInfo(QUrl(text).toLocalFile()).fileName();
    if (QPlayerHost::isPictureName(parsed) && QFileInfo::exists(pictureFolder + parsed))
        return parsed;
    const QString raw = text.mid(
        std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\'))) + 1);
    if (raw != parsed && QPlayerHost::isPictureName(raw) && QFileInfo::exists(pictureFolder + raw))
        return raw;
    return parsed;
}

QByteArray readAll(const QString& path, bool* found) {
    QFile file(path);
    *found = file.open(QIODevice::ReadOnly);
    return *found ? file.readAll() : QByteArray();
}

// Puts back the "tracks.xml" the package still holds after packing failed.
void restoreFile(const QString& path, bool existed, const QByteArray& bytes) {
    if (!existed) {
        QFile::remove(path);
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        qCDebug(lcHost) << "QPlayerHost::saveTrack"
                        << "cannot restore" << path << file.errorString();
}

// Time of a document entry as loading reads it: 0 when "ticks" holds no number.
int ticksOf(const QDomElement& entry) {
    bool ok = false;
    const int time = entry.firstChildElement(QStringLiteral("ticks")).text().toInt(&ok);
    return ok ? time : 0;
}

// What ties a window entry to its document entry: the id and the picture's
// name (entries showing pictures of one name with two extensions share the
// id); a name that is no picture of the folder reaches the window as none.
QString matchKey(const QString& id, const QString& picture) {
    return id + QLatin1Char('\n') + (QPlayerHost::isPictureName(picture) ? picture : QString());
}

int wholeSeconds(const QJsonValue& value) {
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::floor(number) != number ||
        number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(number);
}

}  // namespace

bool QPlayerHost::saveTrack(QString titile, QJsonArray track) {
    qCDebug(lcHost) << "QPlayerHost::saveTrack"
                    << "titile is " << titile << "; track is " << track;
    return saveInto(packagePath, titile, track);
}

bool QPlayerHost::saveInto(const QString& package, const QString& titile, const QJsonArray& track) {
    // While a load runs the window holds a part of a track, or none.
    if (loading()) {
        qCDebug(lcHost) << "QPlayerHost::saveTrack"
                        << "a load runs, nothing saved";
        setLastSkipped({});
        setLastError(QStringLiteral("正在打开授课轨迹"));
        return false;
    }
    // Every picture of the track must be in the store before it is packed.
    waitForPictures();
    // Saving an unparsed or absent document would overwrite the package with an
    // empty track.
    if (trackFolder.isEmpty() || packagePath.isEmpty() || document.documentElement().isNull()) {
        qCDebug(lcHost) << "QPlayerHost::saveTrack"
                        << "no track is open, nothing saved";
        setLastSkipped({});
        setLastError(QStringLiteral("没有打开的授课轨迹"));
        return false;
    }

    // A picture that is gone, or is no regular file, is left out and named: the
    // rest of the track still reaches the package.
    const QString pictureFolder = trackFolder + QStringLiteral("/res/");
    std::vector<std::string> files{(trackFolder + QStringLiteral("/tracks.xml")).toStdString()};
    QStringList pictureNames;
    QStringList skipped;
    for (const QJsonValue& value : track) {
        const QJsonObject entry = value.toObject();
        const QString name = pictureNameOf(entry.value(QStringLiteral("sample")), pictureFolder);
        pictureNames << name;
        if (!isPictureName(name))
            continue;  // an entry without a picture
        const QFileInfo picture(pictureFolder + name);
        if (picture.isSymLink() || !picture.isFile()) {
            qCDebug(lcHost) << "QPlayerHost::saveTrack"
                            << "not packed, no regular file:" << picture.filePath();
            skipped << name;
            continue;
        }
        files.push_back(picture.filePath().toStdString());
    }
    skipped.removeDuplicates();
    setLastSkipped(skipped);

    qCDebug(lcHost).noquote() << "QPlayerHost::saveTrack" << document.toString(1);

    QDomElement top = document.documentElement();
    trackxml::setText(document, trackxml::childElement(document, top, QStringLiteral("track_name")),
                      titile);

    QDomElement tracks = trackxml::childElement(document, top, QStringLiteral("tracks"));

    // Every element below "tracks" is an entry; comments and the like stay as
    // they are. Entries no window entry stands for were deleted by the teacher.
    QVector<QDomElement> entries;
    QVector<EntryKey> documentKeys;
    for (QDomElement entry = tracks.firstChildElement(); !entry.isNull();
         entry = entry.nextSiblingElement()) {
        entries << entry;
        const QString picture = entry.firstChildElement(QStringLiteral("picture")).text();
        documentKeys << EntryKey{matchKey(entryIdOfPicture(picture), picture), ticksOf(entry)};
    }
    QVector<EntryKey> windowKeys;
    for (int index = 0; index < track.size(); ++index) {
        const QJsonObject object = track[index].toObject();
        windowKeys << EntryKey{
            matchKey(object.value(QStringLiteral("id")).toString(), pictureNames[index]),
            wholeSeconds(object.value(QStringLiteral("timeTick")))};
    }
    const QVector<int> matched = EntryMatcher(documentKeys).match(windowKeys);
    QVector<bool> kept(entries.size(), false);
    for (int found : matched) {
        if (found >= 0)
            kept[found] = true;
    }
    for (int index = 0; index < entries.size(); ++index) {
        if (!kept[index])
            tracks.removeChild(entries[index]);
    }

    for (int index = 0; index < track.size(); ++index) {
        const QJsonObject object = track[index].toObject();
        const QString id = object.value(QStringLiteral("id")).toString();
        const QString fileName = pictureNames[index];
        const int time = windowKeys[index].time;
        const QString caption = object.value(QStringLiteral("description")).toString();
        const QString level = object.value(QStringLiteral("level")).toString();

        if (matched[index] >= 0) {
            QDomElement entry = entries[matched[index]];
            if (id == QLatin1String("{E8828C0C-2335-4D17-887F-3A61AF1AAE4A}"))
                qCDebug(lcHost) << "QPlayerHost::saveTrack"
                                << "{E8828C0C-2335-4D17-887F-3A61AF1AAE4A}";
            // A time left as it was keeps its text, whatever this editor made of it.
            if (time != ticksOf(entry))
                trackxml::setText(document,
                                  trackxml::childElement(document, entry, QStringLiteral("ticks")),
                                  QString::number(time));
            trackxml::setText(
                document, trackxml::childElement(document, entry, QStringLiteral("description")),
                caption);
            trackxml::setText(
                document, trackxml::childElement(document, entry, QStringLiteral("level")), level);
        } else {
            trackxml::EntryFields fields;
            fields.action = QStringLiteral("manual import");
            fields.description = caption;
            fields.ticks = time;
            fields.picture = fileName;
            fields.level = level;
            const QDomElement entry = trackxml::createEntry(document, fields);
            tracks.appendChild(entry);
        }
    }

    qCDebug(lcHost).noquote() << "QPlayerHost::saveTrack" << document.toString(1);

    // The store's "tracks.xml" is put back when packing fails, so it never
    // holds what the package does not.
    bool existed = false;
    const QByteArray previous = readAll(trackFile.fileName(), &existed);
    if (!writeDocument("QPlayerHost::saveTrack")) {
        setLastError(saveFailureReason(packwell::FailureOfError(documentWriteErrno),
                                       QStringLiteral("无法写入tracks.xml"), documentWriteMessage));
        return false;
    }

    Packwell packwell;
    if (!packwell.ZipFiles(files, {}, package.toStdString(), storeRoot().toStdString(), "", "",
                           "")) {
        qCDebug(lcHost) << "QPlayerHost::saveTrack"
                        << "packing failed:" << QString::fromStdString(packwell.LastError());
        restoreFile(trackFile.fileName(), existed, previous);
        setLastError(saveFailureReason(packwell.LastFailure(), QStringLiteral("无法写入授课轨迹包"),
                                       QString::fromStdString(packwell.LastError())));
        return false;
    }
    // Pictures the document no longer names stay in the store: undo can bring
    // their entries back, and the next open unpacks the track afresh.
    // From here on the track is saved into the package it was packed into.
    packagePath = package;
    setLastError(QString());
    return true;
}
