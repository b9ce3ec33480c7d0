#include "track_packages.h"

#include <testsupport.h>

#include <QBuffer>
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QImage>
#include <QList>
#include <QPair>
#include <QTime>
#include <QXmlStreamWriter>

namespace {

QByteArray jpeg(QSize size, const QColor& colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

}  // namespace

QString makeTrack(const QString& dir, const QString& name, const QVector<PackageEntry>& entries,
                  QSize pictureSize) {
    QList<QPair<QString, QByteArray>> files;
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("class_track"));
    writer.writeTextElement(QStringLiteral("track_name"), name + QStringLiteral(" 课题"));
    writer.writeTextElement(QStringLiteral("track_description"),
                            QStringLiteral("生成的示例轨迹，供演示和测试使用"));
    writer.writeTextElement(QStringLiteral("teacher_name"), QStringLiteral("李老师"));
    writer.writeStartElement(QStringLiteral("tracks"));
    int last = 0;
    for (int k = 0; k < entries.size(); ++k) {
        const PackageEntry& entry = entries[k];
        const int number = k + 1;
        const QString picture = QStringLiteral("slide%1.jpg").arg(number, 4, 10, QLatin1Char('0'));
        files.append({name + QStringLiteral("/res/") + picture,
                      jpeg(pictureSize, QColor::fromHsv((number * 47) % 360, 90, 230))});
        writer.writeStartElement(QStringLiteral("track"));
        writer.writeAttribute(QStringLiteral("id"), QStringLiteral("e%1").arg(number));
        writer.writeTextElement(QStringLiteral("action"),
                                k == 0 ? QStringLiteral("start") : QStringLiteral("shot"));
        writer.writeTextElement(QStringLiteral("description"), entry.description);
        writer.writeTextElement(QStringLiteral("ticks"), QString::number(entry.tick));
        writer.writeTextElement(QStringLiteral("interval"), QStringLiteral("0"));
        writer.writeTextElement(QStringLiteral("picture"), picture);
        if (!entry.level.isEmpty())
            writer.writeTextElement(QStringLiteral("level"), entry.level);
        writer.writeEndElement();
        last = qMax(last, entry.tick);
    }
    writer.writeEndElement();
    const QDateTime start(QDate(2019, 7, 20), QTime(8, 0, 0));
    writer.writeTextElement(QStringLiteral("endtime"), start.addSecs(last).toString(Qt::ISODate));
    writer.writeEndElement();
    writer.writeEndDocument();
    files.prepend({name + QStringLiteral("/tracks.xml"), xml});

    const QString package = dir + QLatin1Char('/') + name + QStringLiteral(".zip");
    if (!writeZip(package, files)) {
        qWarning() << "makeTrack: cannot write" << package;
        return QString();
    }
    return package;
}

QVector<PackageEntry> ticks(std::initializer_list<int> values) {
    QVector<PackageEntry> list;
    int n = 0;
    for (int t : values)
        list.append({t, QStringLiteral("entry%1").arg(++n), QStringLiteral("-1")});
    return list;
}

QString makePicture(const QString& path, QSize size, const QColor& colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image.save(path, "JPEG") ? path : QString();
}
