// Saving a track: merge the user interface's entry list into the document,
// rewrite "tracks.xml" and repack the package; turning pictures into entries.
#include "qplayerhost.h"

#include <packwell.h>

#include <QDebug>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QJsonValue>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

struct IndexedEntry {
    int position;
    QDomNode node;
};

QString entryIdOf(const QDomNode& entry) {
    const QString picture = entry.firstChildElement(QStringLiteral("picture")).text();
    const int dot = picture.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? picture : picture.left(dot);
}

// The local path of an entry's "sample". prepareSamples makes its URLs with
// QUrl::fromLocalFile, which percent-encodes the braces of the picture's name,
// so the path is read through QUrl. The user interface makes the URLs of loaded
// entries by putting "file:///" before the path, unencoded: for a picture whose
// name holds "#", "?" or "%" only the text after the scheme names the file.
QString samplePath(const QJsonValue& sample) {
    const QString text = sample.toString();
    const QString path = QUrl(text).toLocalFile();
    if (!path.isEmpty() && QFileInfo::exists(path))
        return path;
    const QString scheme = QStringLiteral("file://");
    if (text.startsWith(scheme, Qt::CaseInsensitive) && QFileInfo::exists(text.mid(scheme.size())))
        return text.mid(scheme.size());
    return path.isEmpty() ? text : path;
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

// Sets the first text of element, creating it when the element has none.
void setText(QDomDocument& document, QDomElement element, const QString& text) {
    if (element.isNull())
        return;
    if (element.firstChild().isNull())
        element.appendChild(document.createTextNode(text));
    else
        element.firstChild().setNodeValue(text);
}

// The entry's first child element of that name, appended when it has none, so
// an edited time, caption or level is not dropped for want of a place.
QDomElement childElement(QDomDocument& document, QDomNode entry, const QString& name) {
    QDomElement element = entry.firstChildElement(name);
    if (element.isNull() && entry.isElement())
        element = entry.appendChild(document.createElement(name)).toElement();
    return element;
}

QDomElement textElement(QDomDocument& document, const QString& name, const QString& text) {
    QDomElement element = document.createElement(name);
    element.appendChild(document.createTextNode(text));
    return element;
}

}  // namespace

bool QPlayerHost::saveTrack(QString titile, QJsonArray track) {
    qDebug() << "QPlayerHost::saveTrack"
             << "titile is " << titile << "; track is " << track;

    // Saving an unparsed or absent document would overwrite the package with an
    // empty track.
    if (trackFolder.isEmpty() || packagePath.isEmpty()) {
        qDebug() << "QPlayerHost::saveTrack"
                 << "no track is open, nothing saved";
        return false;
    }
    if (document.isNull() || document.documentElement().isNull()) {
        qDebug() << "QPlayerHost::saveTrack" << trackFile.fileName()
                 << "was not parsed, nothing saved";
        return false;
    }

    std::vector<std::string> files{(trackFolder + QStringLiteral("/tracks.xml")).toStdString()};
    QSet<QString> wantedIds;
    for (const QJsonValue& value : track) {
        const QJsonObject entry = value.toObject();
        wantedIds.insert(entry.value(QStringLiteral("id")).toString());
        files.push_back(samplePath(entry.value(QStringLiteral("sample"))).toStdString());
    }

    qDebug().noquote() << "QPlayerHost::saveTrack" << document.toString(1);

    QDomElement top = document.documentElement();
    QDomElement name = top.firstChildElement(QStringLiteral("track_name"));
    if (name.isNull())
        name = top.appendChild(document.createElement(QStringLiteral("track_name"))).toElement();
    setText(document, name, titile);

    QDomElement tracks = top.firstChildElement(QStringLiteral("tracks"));
    if (tracks.isNull())
        tracks = top.appendChild(document.createElement(QStringLiteral("tracks"))).toElement();

    // The kept entries by id, each list in document order. An entry is looked up
    // as the first of its id, as a walk from the top would find it; an edit that
    // renames its picture moves it to the list of its new id.
    QSet<QString> keptIds;
    QHash<QString, std::vector<IndexedEntry>> keptById;
    int position = 0;
    for (QDomNode child = tracks.firstChild(); !child.isNull(); ++position) {
        const QDomNode next = child.nextSibling();
        const QString id = entryIdOf(child);
        if (wantedIds.contains(id)) {
            keptIds.insert(id);
            keptById[id].push_back({position, child});
        } else {
            tracks.removeChild(child);
        }
        child = next;
    }

    for (const QJsonValue& value : track) {
        const QJsonObject object = value.toObject();
        const QString id = object.value(QStringLiteral("id")).toString();
        const QString fileName =
            QFileInfo(samplePath(object.value(QStringLiteral("sample")))).fileName();
        const int time = wholeSeconds(object.value(QStringLiteral("timeTick")));
        const QString caption = object.value(QStringLiteral("description")).toString();
        const QString level = object.value(QStringLiteral("level")).toString();

        if (keptIds.contains(id)) {
            auto kept = keptById.find(id);
            if (kept == keptById.end() || kept->empty())
                continue;  // its only entry was renamed by an edit before
            const IndexedEntry found = kept->front();
            QDomNode entry = found.node;
            if (id == QLatin1String("{E8828C0C-2335-4D17-887F-3A61AF1AAE4A}"))
                qDebug() << "QPlayerHost::saveTrack"
                         << "{E8828C0C-2335-4D17-887F-3A61AF1AAE4A}";
            setText(document, childElement(document, entry, QStringLiteral("ticks")),
                    QString::number(time));
            setText(document, entry.firstChildElement(QStringLiteral("picture")), fileName);
            setText(document, childElement(document, entry, QStringLiteral("description")),
                    caption);
            setText(document, childElement(document, entry, QStringLiteral("level")), level);
            const QString newId = entryIdOf(entry);
            if (newId != id) {
                kept->erase(kept->begin());
                std::vector<IndexedEntry>& moved = keptById[newId];  // may rehash: kept is done
                moved.insert(std::upper_bound(moved.begin(), moved.end(), found,
                                              [](const IndexedEntry& a, const IndexedEntry& b) {
                                                  return a.position < b.position;
                                              }),
                             found);
            }
        } else {
            QDomElement entry = document.createElement(QStringLiteral("track"));
            entry.appendChild(
                textElement(document, QStringLiteral("action"), QStringLiteral("manual import")));
            entry.appendChild(textElement(document, QStringLiteral("description"), caption));
            entry.appendChild(
                textElement(document, QStringLiteral("ticks"), QString::number(time)));
            entry.appendChild(textElement(document, QStringLiteral("picture"), fileName));
            entry.appendChild(textElement(document, QStringLiteral("level"), level));
            tracks.appendChild(entry);
        }
    }

    qDebug().noquote() << "QPlayerHost::saveTrack" << document.toString(1);

    if (!writeDocument("QPlayerHost::saveTrack"))
        return false;

    Packwell packwell;
    if (!packwell.ZipFiles(files, {}, packagePath.toStdString(), storeRoot().toStdString(), "", "",
                           "")) {
        qDebug() << "QPlayerHost::saveTrack"
                 << "packing failed:" << QString::fromStdString(packwell.LastError());
        return false;
    }
    return true;
}
