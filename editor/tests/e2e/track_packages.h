// Track packages and pictures for the end-to-end tests, written straight
// through libzip (testsupport.h), not through the code under test.
#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <QVector>

#include <initializer_list>

// One entry of a written track; an empty level writes no level element, as
// older producers did.
struct PackageEntry {
    int tick = 0;
    QString description;
    QString level;
};

// Writes dir/name.zip holding a track folder `name` ("tracks.xml" and one JPEG
// picture per entry under "res/"), titled "<name> 课题", taught by 李老师, and
// returns its path (empty on failure).
QString makeTrack(const QString& dir, const QString& name, const QVector<PackageEntry>& entries,
                  QSize pictureSize = QSize(320, 180));
// Ordinary entries at the given ticks, captioned "entry1", "entry2" … in that order.
QVector<PackageEntry> ticks(std::initializer_list<int> values);
// A JPEG picture file of the given size, for inserting.
QString makePicture(const QString& path, QSize size, const QColor& colour);
