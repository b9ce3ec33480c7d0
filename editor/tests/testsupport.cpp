#include "testsupport.h"

#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QJsonObject>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <zip.h>

QVariant RecordingRoot::clearTimeLine() {
    calls.append({QStringLiteral("clearTimeLine"), {}});
    return {};
}

QVariant RecordingRoot::appendItem(QVariant id, QVariant sample, QVariant timeTick,
                                   QVariant description, QVariant level) {
    calls.append({QStringLiteral("appendItem"), {id, sample, timeTick, description, level}});
    return {};
}

QVariant RecordingRoot::resetTimeLine() {
    calls.append({QStringLiteral("resetTimeLine"), {}});
    return {};
}

QStringList RecordingRoot::functions() const {
    QStringList names;
    for (const UiCall& call : calls)
        names << call.function;
    return names;
}

QList<QVariantList> RecordingRoot::appended() const {
    QList<QVariantList> result;
    for (const UiCall& call : calls) {
        if (call.function == QLatin1String("appendItem"))
            result << call.arguments;
    }
    return result;
}

QJsonArray RecordingRoot::asWindowHolds() const {
    QList<QVariantList> entries = appended();
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const QVariantList& a, const QVariantList& b) { return a[2].toInt() < b[2].toInt(); });
    QJsonArray track;
    for (const QVariantList& e : entries) {
        const QString path = e[1].toString();
        track.append(QJsonObject{
            {"id", e[0].toString()},
            {"sample", path.isEmpty() ? QString() : QUrl::fromLocalFile(path).toString()},
            {"timeTick", e[2].toInt()},
            {"description", e[3].toString()},
            {"level", e[4].toString()}});
    }
    return track;
}

namespace {

// libzip takes UTF-8 paths on Windows, local 8-bit ones elsewhere.
QByteArray zipPath(const QString& path) {
#ifdef Q_OS_WIN
    return path.toUtf8();
#else
    return QFile::encodeName(path);
#endif
}

#ifdef Q_OS_WIN
void removeStore() {
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/tideboard3"))
        .removeRecursively();
}
#endif

}  // namespace

bool writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries) {
    int error = 0;
    zip_t* archive = zip_open(zipPath(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const auto& entry : entries) {
        // The archive reads the bytes at close time, so it gets a copy of its own
        // (libzip takes no ownership of an empty buffer, so none is made for one).
        const size_t size = static_cast<size_t>(entry.second.size());
        void* copy = size ? malloc(size) : nullptr;
        if (copy)
            memcpy(copy, entry.second.constData(), size);
        zip_source_t* source = zip_source_buffer(archive, copy, size, copy ? 1 : 0);
        if (!source || zip_file_add(archive, entry.first.toUtf8().constData(), source,
                                    ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0;
}

QMap<QString, ZipEntry> readZip(const QString& path) {
    QMap<QString, ZipEntry> result;
    int error = 0;
    zip_t* archive = zip_open(zipPath(path).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return result;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0)
            continue;
        ZipEntry entry;
        entry.method = stat.comp_method;
        entry.mtime = static_cast<qint64>(stat.mtime);
        if (zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0)) {
            entry.data.resize(static_cast<int>(stat.size));
            zip_fread(file, entry.data.data(), stat.size);
            zip_fclose(file);
        }
        result.insert(QString::fromUtf8(stat.name), entry);
    }
    zip_discard(archive);
    return result;
}

QStringList zipNames(const QString& path) {
    return readZip(path).keys();
}

QByteArray trackXml(const QString& entries, const QString& name, const QString& endtime) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<track_info>\n"
               "<track_name>%1</track_name>\n<track_description>About waves</track_description>\n"
               "<teacher_name>王老师</teacher_name>\n<endtime>%2</endtime>\n"
               "<tracks>%3</tracks>\n</track_info>\n")
        .arg(name, endtime, entries)
        .toUtf8();
}

Scratch::Scratch() : dataDir(new QTemporaryDir), workDir(new QTemporaryDir) {
#ifdef Q_OS_WIN
    // Windows has no XDG_DATA_HOME: the store lives in the test-mode data
    // folder (apart from a user's real store), emptied at the start and end of
    // each scratch so every test begins with no tracks.
    QStandardPaths::setTestModeEnabled(true);
    removeStore();
#else
    // Read again at every writableLocation call, so each test gets its own store.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataDir->path()));
#endif
}

Scratch::~Scratch() {
#ifdef Q_OS_WIN
    removeStore();
#endif
}

QString Scratch::store() const {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tideboard3/class-track/");
}

QStringList treeOf(const QString& root) {
    QStringList result;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        result << it.next().mid(root.size());
    result.sort();
    return result;
}

QByteArray pictureBytes(const char* format, int side) {
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}
