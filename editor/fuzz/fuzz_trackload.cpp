// Arbitrary bytes as the "tracks.xml" of a package, through the real loading
// code into a recording stand-in for the main window, then saved back the way
// the user interface would save the entries it was given.
#include "qplayerhost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QVariant>

#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class Recorder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QVariant clearTimeLine() {
        calls.append(QStringLiteral("clear"));
        return {};
    }
    Q_INVOKABLE QVariant appendItem(QVariant id, QVariant sample, QVariant timeTick,
                                    QVariant description, QVariant level) {
        calls.append(QStringLiteral("append"));
        entries.append(QJsonObject{{"id", id.toString()},
                                   {"sample", QUrl::fromLocalFile(sample.toString()).toString()},
                                   {"timeTick", timeTick.toInt()},
                                   {"description", description.toString()},
                                   {"level", level.toString()}});
        return {};
    }
    Q_INVOKABLE QVariant resetTimeLine() {
        calls.append(QStringLiteral("reset"));
        return {};
    }
    QStringList calls;
    QJsonArray entries;
};

struct State {
    QCoreApplication* application = nullptr;
    QTemporaryDir* scratch = nullptr;
    Recorder* recorder = nullptr;
    QPlayerHost* host = nullptr;
    QString package;
};
State state;

void check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "fuzz_trackload: %s\n", what);
        abort();
    }
}

bool writePackage(const QString& path, const uint8_t* data, size_t size) {
    int error = 0;
    zip_t* archive =
        zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    // libzip takes no ownership of an empty buffer, so none is made for one.
    void* copy = size ? malloc(size) : nullptr;
    if (copy)
        memcpy(copy, data, size);
    zip_source_t* source = zip_source_buffer(archive, copy, size, copy ? 1 : 0);
    if (!source || zip_file_add(archive, "L/tracks.xml", source, 0) < 0) {
        zip_source_free(source);
        zip_discard(archive);
        return false;
    }
    return zip_close(archive) == 0;
}

}  // namespace

// The QML engine keeps its memory in pages the leak checker does not scan, so
// what it holds looks unreachable; leaks of the host's own code still show.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt5Qml.so\nleak:libQt5Core.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    state.application = new QCoreApplication(*argc, *argv);
    // Saving syncs "tracks.xml" to disk; in memory that costs nothing, and the
    // harness runs many times faster.
    const QString memory = QStringLiteral("/dev/shm");
    state.scratch = QFileInfo(memory).isDir() ? new QTemporaryDir(memory + "/fuzz_trackload.XXXXXX")
                                              : new QTemporaryDir;
    std::atexit([] { delete state.scratch; });
    qputenv("XDG_DATA_HOME", QFile::encodeName(state.scratch->path() + "/data"));
    state.package = state.scratch->path() + "/lesson.zip";
    state.recorder = new Recorder;
    state.host = new QPlayerHost(state.recorder, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!writePackage(state.package, data, size))
        return 0;
    Recorder& recorder = *state.recorder;
    recorder.calls.clear();
    recorder.entries = QJsonArray();
    QPlayerHost& host = *state.host;

    const bool loaded = host.loadTrack(QUrl::fromLocalFile(state.package));
    check(loaded, "a package with L/tracks.xml must load");
    check(recorder.calls.size() >= 2 && recorder.calls.first() == "clear" &&
              recorder.calls.last() == "reset",
          "clearTimeLine first, resetTimeLine last");
    check(host.duration().startsWith(QStringLiteral("时长：")), "duration label");
    check(host.teacher().startsWith(QStringLiteral("授课老师：")), "teacher label");
    check(host.title() == host.trackName(), "title equals trackName after a load");

    // Pictures are missing, so packing fails; the document is still merged and written.
    host.saveTrack(QStringLiteral("fuzz"), recorder.entries);
    if (!recorder.entries.isEmpty())
        host.updateTrack(recorder.entries[0].toObject()["id"].toString(),
                         QStringLiteral("caption"));
    QDir(state.scratch->path() + "/data").removeRecursively();
    return 0;
}

#include "fuzz_trackload.moc"
