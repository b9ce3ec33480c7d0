// Generated track packages: numbered slides, captions, class-structure points
// and ticks, packed the way the editor loads them (a folder holding
// "tracks.xml" and the pictures under "res/").
#pragma once

#include <QSize>
#include <QString>
#include <QVector>

struct SampleTrackOptions {
    int count = 12;  // number of entries (pictures)
    QSize pictureSize{1280, 720};
    int distinct = 0;    // pictures actually drawn; the rest reuse their bytes (0: all)
    int quality = 85;    // JPEG quality
    QString folderName;  // track folder inside the package; default: the package's base name
    QString title = QStringLiteral("示例课堂：分数的初步认识");
    QString teacher = QStringLiteral("王老师");
    QString description = QStringLiteral("生成的示例轨迹，供演示和测试使用");
    unsigned seed = 1;
    // Times written from the last to the first, as some producers do: the
    // editor must sort them itself.
    bool descending = false;
};

// One entry of a track written with given values; an empty level writes no
// level element, as older producers did.
struct SampleEntry {
    int tick = 0;
    QString description;
    QString level;
};

// Writes a package of the given entries (pictures of options.pictureSize;
// options.count is ignored). Same staging and result as writeSampleTrack.
QString writeTrackPackage(const QString& packagePath, const QString& stagingRoot,
                          const SampleTrackOptions& options, const QVector<SampleEntry>& entries);

// Writes the package file at packagePath (replacing it). The track folder is
// assembled in stagingRoot first (stagingRoot/<folder>/...) and left there.
// Returns an empty string on success, else what failed.
QString writeSampleTrack(const QString& packagePath, const QString& stagingRoot,
                         const SampleTrackOptions& options);
