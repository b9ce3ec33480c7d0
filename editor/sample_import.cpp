// Turning picture files into pictures of the open track: each is read upright
// (its EXIF orientation applied), flattened onto white and written as JPEG
// under a new UUID name. The pictures of one call are converted on all cores.
#include "picture_decoding.h"
#include "qplayerhost.h"

#include <QDebug>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonObject>
#include <QPainter>
#include <QRunnable>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QUuid>
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
#include <QColorSpace>
#endif

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

struct Conversion {
    QUrl url;
    QString source;
    QString id;
    QString target;
    QString failure;  // empty when the picture was written
    QString reason;   // for the window, when more than the name is needed
};

// JPEG has no transparency: transparent parts become the white of a page
// instead of the black the writer would leave.
QImage onWhite(const QImage& picture) {
    QImage opaque(picture.size(), QImage::Format_RGB32);
    opaque.setDotsPerMeterX(picture.dotsPerMeterX());
    opaque.setDotsPerMeterY(picture.dotsPerMeterY());
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, picture);
    painter.end();
    return opaque;
}

// A decoded 4000x3000 photo takes 48 MB; allocating that afresh for every
// picture costs more than decoding it (the pages are mapped and cleared each
// time), so each worker reads into one image that keeps its memory while the
// next picture has the same size and format.
class PictureBuffer {
public:
    // Reads the picture upright: a phone photo is stored sideways with an
    // orientation tag, and the teacher expects it as the camera showed it.
    const QImage* read(const QString& source) {
        QImageReader reader(source);
        reader.setAutoTransform(true);
        // A reader sets only what its file holds: what the last picture left
        // (texts, resolution, colour space) must not reach this one.
        if (!image.textKeys().isEmpty())
            image = QImage();
        image.setDotsPerMeterX(fresh.dotsPerMeterX());
        image.setDotsPerMeterY(fresh.dotsPerMeterY());
        image.setOffset(fresh.offset());
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
        image.setColorSpace(fresh.colorSpace());
#endif
        if (!reader.read(&image)) {
            image = QImage();
            return nullptr;
        }
        return &image;
    }

private:
    const QImage fresh{1, 1, QImage::Format_RGB32};
    QImage image;
};

void convert(Conversion& job, PictureBuffer& buffer) {
    // What the header claims decides before a single pixel is decoded.
    picture::Picture header;
    header.claimed = QImageReader(job.source).size();
    if (header.claimed.isValid() && !picture::withinLimits(header.claimed)) {
        header.problem = picture::Problem::TooLarge;
        job.failure = QStringLiteral("too large");
        job.reason = picture::problemText(header);
        return;
    }
    const QImage* picture = buffer.read(job.source);
    if (!picture) {
        job.failure = QStringLiteral("cannot read");
        return;
    }
    const bool written = picture->hasAlphaChannel() ? onWhite(*picture).save(job.target, "JPEG")
                                                    : picture->save(job.target, "JPEG");
    if (!written)
        job.failure = QStringLiteral("cannot write");
}

// Workers take the next unconverted picture until none is left; each job is
// touched by one worker only, so the jobs need no lock.
class Converter : public QRunnable {
public:
    Converter(std::vector<Conversion>& jobs, std::atomic<size_t>& next) : jobs(jobs), next(next) {}
    void run() override {
        PictureBuffer buffer;
        for (size_t k = next++; k < jobs.size(); k = next++)
            convert(jobs[k], buffer);
    }

private:
    std::vector<Conversion>& jobs;
    std::atomic<size_t>& next;
};

// A new id whose picture does not exist yet and that no earlier picture of
// this call took, so the outcome never depends on which worker writes first.
QString freshId(const QString& folder, QSet<QString>& taken) {
    for (;;) {
        const QString id = QUuid::createUuid().toString();
        if (!taken.contains(id) &&
            !QFileInfo::exists(folder + QLatin1Char('/') + id + QStringLiteral(".jpeg"))) {
            taken.insert(id);
            return id;
        }
    }
}

}  // namespace

QJsonArray QPlayerHost::prepareSamples(QList<QUrl> urls) {
    // Without an open track there is no "res" folder to write into.
    if (trackFolder.isEmpty()) {
        qDebug() << "QPlayerHost::prepareSamples no track is open";
        setLastSkipped({});
        return {};
    }
    const QString folder = trackFolder + QStringLiteral("/res");

    // Names are handed out here, in the order of the urls, before any work.
    std::vector<Conversion> jobs;
    jobs.reserve(static_cast<size_t>(urls.size()));
    QSet<QString> taken;
    for (const QUrl& url : urls) {
        Conversion job;
        job.url = url;
        job.source = url.toLocalFile();
        job.id = freshId(folder, taken);
        job.target = folder + QLatin1Char('/') + job.id + QStringLiteral(".jpeg");
        jobs.push_back(job);
    }

    std::atomic<size_t> next{0};
    const int workers = static_cast<int>(
        std::min<size_t>(jobs.size(), static_cast<size_t>(QThread::idealThreadCount())));
    if (workers <= 1) {
        Converter(jobs, next).run();
    } else {
        QThreadPool pool;
        pool.setMaxThreadCount(workers);
        for (int k = 0; k < workers; ++k)
            pool.start(new Converter(jobs, next));
        pool.waitForDone();
    }

    QJsonArray result;
    QStringList skipped;
    for (const Conversion& job : jobs) {
        if (!job.failure.isEmpty()) {
            qDebug() << "QPlayerHost::prepareSamples" << job.failure
                     << (job.failure == QLatin1String("cannot write") ? job.target : job.source);
            const QString name =
                job.source.isEmpty() ? job.url.toDisplayString() : QFileInfo(job.source).fileName();
            skipped << (job.reason.isEmpty() ? name
                                             : name + QStringLiteral("（%1）").arg(job.reason));
            continue;
        }
        // fromLocalFile encodes what a URL would misread ("#", "?", "%").
        result.append(
            QJsonObject{{QStringLiteral("id"), job.id},
                        {QStringLiteral("sample"), QUrl::fromLocalFile(job.target).toString()},
                        {QStringLiteral("description"), QFileInfo(job.source).completeBaseName()}});
    }
    setLastSkipped(skipped);
    return result;
}
