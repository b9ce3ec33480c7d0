// Arbitrary bytes as the "tracks.xml" of a package, through the real loading
// code into a recording stand-in for the main window, then saved back the way
// the user interface would save the entries it was given. Hostile documents
// (deep nesting, entities) must be refused quickly, with their reason.
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
#include <vector>

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

// libFuzzer's default input limit (4,096 bytes, or the largest seed) is far
// below what a hostile document needs: 30,000 nested elements take 210 KB.
void raiseInputLimit(int* argc, char*** argv) {
    for (int i = 1; i < *argc; ++i) {
        if (strncmp((*argv)[i], "-max_len=", 9) == 0)
            return;
    }
    static std::vector<char*> arguments;
    static char limit[] = "-max_len=262144";
    arguments.assign(*argv, *argv + *argc);
    arguments.push_back(limit);
    arguments.push_back(nullptr);
    *argc += 1;
    *argv = arguments.data();
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    raiseInputLimit(argc, argv);
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

    const bool loaded = host.loadTrack(QUrl::fromLocalFile(state.package)) && host.waitForLoad();
    check(recorder.calls.size() >= 2 && recorder.calls.first() == "clear" &&
              recorder.calls.last() == "reset",
          "clearTimeLine first, resetTimeLine last");
    check(host.title() == host.trackName(), "title equals trackName after a load");
    if (!loaded) {
        // Refused or malformed: a reason, an empty window, nothing to save.
        check(!host.lastError().isEmpty(), "a failed load gives its reason");
        check(recorder.calls.size() == 2, "a failed load appends no entries");
        check(host.title().isEmpty() && host.teacher().isEmpty() && host.duration().isEmpty(),
              "a failed load leaves no track");
        check(!host.saveTrack(QStringLiteral("fuzz"), {}), "nothing to save after a failed load");
        QDir(state.scratch->path() + "/data").removeRecursively();
        return 0;
    }
    check(host.lastError().isEmpty(), "no reason after a load");
    check(host.duration().startsWith(QStringLiteral("时长：")), "duration label");
    check(host.teacher().startsWith(QStringLiteral("授课老师：")), "teacher label");
    for (const QJsonValue& entry : recorder.entries) {
        // A picture outside the track's "res" folder is never offered.
        const QString sample = QUrl(entry.toObject()["sample"].toString()).toLocalFile();
        check(sample.isEmpty() || QFileInfo(sample).absolutePath() ==
                                      host.currentTrackFolder() + QStringLiteral("/res"),
              "samples stay in the track's res folder");
    }

    // Pictures are missing: they are left out, and the document is packed.
    check(host.saveTrack(QStringLiteral("fuzz"), recorder.entries), "saving a loaded track");
    if (!recorder.entries.isEmpty())
        host.updateTrack(recorder.entries[0].toObject()["id"].toString(),
                         QStringLiteral("caption"));
    QDir(state.scratch->path() + "/data").removeRecursively();
    return 0;
}

#include "fuzz_trackload.moc"
