#include "sample_track.h"

#include <packwell.h>
#include <track_xml.h>

#include <QBuffer>
#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QStringList>

#include <string>
#include <utility>
#include <vector>

namespace {

const QStringList kStages = {
    QStringLiteral("导入新课"), QStringLiteral("新知探究"), QStringLiteral("合作交流"),
    QStringLiteral("巩固练习"), QStringLiteral("课堂小结"), QStringLiteral("布置作业"),
};

const QStringList kCaptions = {
    QStringLiteral("板书"),     QStringLiteral("学生回答"), QStringLiteral("例题讲解"),
    QStringLiteral("小组讨论"), QStringLiteral("投影展示"), QStringLiteral("随堂检测"),
};

QByteArray drawSlide(int number, int total, const QString& caption, const QSize& size,
                     int quality) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const int hue = (number * 47) % 360;
    QLinearGradient background(0, 0, size.width(), size.height());
    background.setColorAt(0, QColor::fromHsv(hue, 60, 250));
    background.setColorAt(1, QColor::fromHsv((hue + 40) % 360, 120, 200));
    painter.fillRect(image.rect(), background);

    const int unit = qMax(1, qMin(size.width(), size.height()) / 12);
    painter.setPen(QPen(QColor(40, 40, 40), qMax(1, unit / 10)));
    painter.drawRect(unit / 2, unit / 2, size.width() - unit, size.height() - unit);

    QFont big(QStringLiteral("WenQuanYi Micro Hei"));
    big.setPixelSize(unit * 4);
    big.setBold(true);
    painter.setFont(big);
    painter.drawText(image.rect().adjusted(0, 0, 0, -unit * 3), Qt::AlignCenter,
                     QString::number(number));

    QFont small(QStringLiteral("WenQuanYi Micro Hei"));
    small.setPixelSize(qMax(8, unit));
    painter.setFont(small);
    painter.drawText(image.rect().adjusted(unit, unit * 5, -unit, -unit),
                     Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextWordWrap,
                     QStringLiteral("%1\n第 %2 / %3 页").arg(caption).arg(number).arg(total));
    painter.end();

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", quality);
    return bytes;
}

}  // namespace

QString writeSampleTrack(const QString& packagePath, const QString& stagingRoot,
                         const SampleTrackOptions& options) {
    if (options.count < 0)
        return QStringLiteral("bad count");
    // A lesson of a few seconds to a minute and a half per picture, with a new
    // teaching stage every eight pictures or so.
    QRandomGenerator random(options.seed);
    QVector<SampleEntry> entries;
    int tick = 0;
    for (int k = 0; k < options.count; ++k) {
        const bool stage = k % 8 == 1;
        SampleEntry entry;
        entry.tick = tick;
        entry.description = stage ? kStages[(k / 8) % kStages.size()]
                                  : kCaptions[static_cast<int>(random.bounded(kCaptions.size()))] +
                                        QString::number(k + 1);
        // Older producers wrote no level for ordinary entries.
        entry.level = stage ? QStringLiteral("1") : k % 3 != 0 ? QStringLiteral("-1") : QString();
        entries.append(entry);
        tick += 5 + static_cast<int>(random.bounded(86));
    }
    if (options.descending) {
        for (int k = 0; k < entries.size() / 2; ++k)
            std::swap(entries[k].tick, entries[entries.size() - 1 - k].tick);
    }
    return writeTrackPackage(packagePath, stagingRoot, options, entries);
}

QString writeTrackPackage(const QString& packagePath, const QString& stagingRoot,
                          const SampleTrackOptions& options, const QVector<SampleEntry>& entries) {
    if (options.pictureSize.isEmpty())
        return QStringLiteral("bad picture size");
    const QString folderName = options.folderName.isEmpty()
                                   ? QFileInfo(packagePath).completeBaseName()
                                   : options.folderName;
    const QString folder = QDir(stagingRoot).filePath(folderName);
    if (!QDir(folder).removeRecursively() || !QDir().mkpath(folder + QStringLiteral("/res")))
        return QStringLiteral("cannot create ") + folder;

    QDomDocument document = trackxml::createDocument(QStringLiteral("class_track"), options.title,
                                                     options.description, options.teacher);
    QDomElement root = document.documentElement();
    QDomElement tracks = root.firstChildElement(QStringLiteral("tracks"));

    const int count = entries.size();
    const int distinct = options.distinct > 0 ? options.distinct : count;
    std::vector<QByteArray> drawn;
    int last = 0;
    for (int k = 0; k < count; ++k) {
        const SampleEntry& sample = entries[k];
        const int number = k + 1;
        if (k < distinct)
            drawn.push_back(
                drawSlide(number, count, sample.description, options.pictureSize, options.quality));
        const QByteArray& bytes = drawn[static_cast<size_t>(k % distinct)];
        const QString picture = QStringLiteral("slide%1.jpg").arg(number, 4, 10, QLatin1Char('0'));
        QFile file(folder + QStringLiteral("/res/") + picture);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QStringLiteral("cannot write ") + file.fileName();
        file.close();

        trackxml::EntryFields fields;
        fields.id = QStringLiteral("e%1").arg(number);
        fields.action = k == 0 ? QStringLiteral("start") : QStringLiteral("shot");
        fields.description = sample.description;
        fields.ticks = sample.tick;
        fields.interval = QStringLiteral("0");
        fields.picture = picture;
        if (!sample.level.isEmpty())
            fields.level = sample.level;
        const QDomElement entry = trackxml::createEntry(document, fields);
        tracks.appendChild(entry);
        last = qMax(last, sample.tick);
    }
    const QDateTime start(QDate(2019, 7, 20), QTime(8, 0, 0));
    root.appendChild(trackxml::textElement(document, QStringLiteral("endtime"),
                                           start.addSecs(last).toString(Qt::ISODate)));

    QFile xml(folder + QStringLiteral("/tracks.xml"));
    if (!xml.open(QIODevice::WriteOnly | QIODevice::Truncate) || !trackxml::write(document, xml))
        return QStringLiteral("cannot write ") + xml.fileName();
    xml.close();

    QFile::remove(packagePath);
    Packwell packwell;
    if (!packwell.ZipFiles({}, {folder.toStdString()}, packagePath.toStdString(),
                           QDir(stagingRoot).absolutePath().toStdString(), "", "", ""))
        return QStringLiteral("cannot pack: ") + QString::fromStdString(packwell.LastError());
    return QString();
}
