// Shared pieces of the host tests: a user-interface stand-in that records the
// calls the host makes into it, packages written straight through libzip (not
// through the code under test), and a scratch data folder per test.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>

#include <memory>

struct UiCall {
    QString function;
    QVariantList arguments;
};

// Receives clearTimeLine/appendItem/resetTimeLine by name, as the main window does.
class RecordingRoot : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QVariant clearTimeLine();
    Q_INVOKABLE QVariant appendItem(QVariant id, QVariant sample, QVariant timeTick,
                                    QVariant description, QVariant level);
    Q_INVOKABLE QVariant resetTimeLine();

    QList<UiCall> calls;
    QStringList functions() const;
    QList<QVariantList> appended() const;
    // The loaded entries as the main window gives them back to saveTrack:
    // ordered by time (ties as they came), samples as file URLs.
    QJsonArray asWindowHolds() const;
};

struct ZipEntry {
    QByteArray data;
    int method = 0;    // ZIP_CM_*
    qint64 mtime = 0;  // seconds since the epoch, as stored
};

// Writes a package holding the given entries (deflated), in the given order.
bool writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries);
// Reads every entry of a package; empty when it cannot be opened.
QMap<QString, ZipEntry> readZip(const QString& path);
QStringList zipNames(const QString& path);

// A "tracks.xml" text with the given header fields and raw entry markup.
QByteArray trackXml(const QString& entries, const QString& name = QStringLiteral("Lesson"),
                    const QString& endtime = QStringLiteral("2019-07-20T08:44:36"));

// A fresh XDG_DATA_HOME (so a fresh track store) and a folder for packages.
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    QString data() const { return dataDir->path(); }
    QString work() const { return workDir->path(); }
    QString store() const;

private:
    std::unique_ptr<QTemporaryDir> dataDir;
    std::unique_ptr<QTemporaryDir> workDir;
};

// Every file and folder below root, relative, sorted.
QStringList treeOf(const QString& root);
// A small picture encoded in the given format.
QByteArray pictureBytes(const char* format, int side = 16);
