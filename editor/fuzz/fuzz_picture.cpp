// Arbitrary bytes as a picture file, read the ways the editor reads pictures:
// fitted to a grid cell and to the player's screen through the picture
// provider, and whole, as an import reads it. A picture claiming more than
// the limits must not be decoded (the harness's memory limit stops one that
// is); what comes back keeps within the limits and the size asked for.
#include "picture_decoding.h"
#include "picture_provider.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

namespace {

QGuiApplication* application = nullptr;
QTemporaryDir* scratch = nullptr;
PictureProvider* provider = nullptr;
QString path;

void check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "fuzz_picture: %s\n", what);
        abort();
    }
}

bool fits(const QSize& size, const QSize& box) {
    return size.width() <= box.width() && size.height() <= box.height();
}

}  // namespace

// The GUI library's fonts and the platform plug-in keep allocations past exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt5Gui.so\nleak:libQt5Core.so\nleak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false;qt.*=false");
    application = new QGuiApplication(*argc, *argv);
    // In memory: every input is written once.
    const QString memory = QStringLiteral("/dev/shm");
    scratch = QFileInfo(memory).isDir() ? new QTemporaryDir(memory + "/fuzz_picture.XXXXXX")
                                        : new QTemporaryDir;
    std::atexit([] { delete scratch; });
    path = scratch->filePath(QStringLiteral("picture"));
    provider = new PictureProvider;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    const QString id = QUrl::fromLocalFile(path).toString();

    for (const QSize box : {QSize(223, 163), QSize(1920, 1080)}) {
        const picture::Picture read = picture::read(path, box);
        check(read.problem != picture::Problem::None || !read.image.isNull(),
              "an image or a problem");
        check(read.problem == picture::Problem::None || read.image.isNull(),
              "no image with a problem");
        if (read.problem == picture::Problem::TooLarge)
            check(!picture::withinLimits(read.claimed), "too large only beyond the limits");
        if (!read.image.isNull())
            check(fits(read.image.size(), box), "fitted into the box");

        QSize shownSize;
        const QImage shown = provider->requestImage(id, &shownSize, box);
        check(shown.size() == shownSize, "the provider reports what it returns");
        check(shown.isNull() || fits(shown.size(), box), "the provider fits the box");
    }
    // Whole, as an import reads it; only for pictures a fuzzer run can afford.
    const picture::Picture fitted = picture::read(path, QSize(64, 64));
    if (fitted.problem == picture::Problem::None &&
        qint64(fitted.claimed.width()) * fitted.claimed.height() <= 16 * 1000 * 1000) {
        const picture::Picture whole = picture::read(path);
        // The limits hold for what is decoded only if no decoder makes more
        // pixels than its header claims.
        check(whole.image.isNull() || qint64(whole.image.width()) * whole.image.height() <=
                                          qint64(fitted.claimed.width()) * fitted.claimed.height(),
              "no more pixels than claimed");
    }
    return 0;
}
