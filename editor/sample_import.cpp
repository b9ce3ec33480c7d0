// Turning picture files into pictures of the open track: each is read upright
// (its EXIF orientation applied), flattened onto white and written as JPEG
// under a new UUID name. The pictures of one call are converted on all cores.
// A picture too large to decode, or whose file is cut short, is skipped and
// named with its reason.
#include "picture_decoding.h"
#include "qplayerhost.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonObject>
#include <QPainter>
#include <QRunnable>
#include <QSemaphore>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QUuid>

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

// Workers decode at most this many pixels at once: on a machine with many
// cores, many large photos would otherwise be decoded side by side. One
// picture at the size limit takes the whole allowance and is read alone.
constexpr int kMegapixelAllowance = int(picture::kMaxPixels / 1000000);

int megapixelsOf(const QString& source) {
    const QSize size = QImageReader(source).size();
    const qint64 pixels = qint64(std::max(size.width(), 0)) * std::max(size.height(), 0);
    return int(std::clamp<qint64>((pixels + 999999) / 1000000, 1, kMegapixelAllowance));
}

// Each picture is read into an image of its own, so nothing of another
// picture (pixels a reader left unwritten, texts, resolution) reaches it.
void convert(Conversion& job, QSemaphore& allowance) {
    const int megapixels = megapixelsOf(job.source);
    allowance.acquire(megapixels);
    const QSemaphoreReleaser release(allowance, megapixels);
    const picture::Picture read = picture::read(job.source);
    switch (read.problem) {
        case picture::Problem::None:
            break;
        case picture::Problem::Unreadable:
            // Named alone, as it always was.
            job.failure = QStringLiteral("cannot read");
            return;
        case picture::Problem::TooLarge:
            job.failure = QStringLiteral("too large");
            job.reason = picture::problemText(read);
            return;
        case picture::Problem::Incomplete:
            job.failure = QStringLiteral("cut short");
            job.reason = picture::problemText(read);
            return;
    }
    const QImage& image = read.image;
    const bool written = image.hasAlphaChannel() ? onWhite(image).save(job.target, "JPEG")
                                                 : image.save(job.target, "JPEG");
    if (!written)
        job.failure = QStringLiteral("cannot write");
}

// Workers take the next unconverted picture until none is left; each job is
// touched by one worker only, so the jobs need no lock.
class Converter : public QRunnable {
public:
    Converter(std::vector<Conversion>& jobs, std::atomic<size_t>& next, QSemaphore& allowance)
        : jobs(jobs), next(next), allowance(allowance) {}
    void run() override {
        for (size_t k = next++; k < jobs.size(); k = next++)
            convert(jobs[k], allowance);
    }

private:
    std::vector<Conversion>& jobs;
    std::atomic<size_t>& next;
    QSemaphore& allowance;
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
    // A package made without pictures may have no "res" folder; a folder that
    // cannot be made shows as pictures that cannot be written.
    if (!QDir().mkpath(folder))
        qDebug() << "QPlayerHost::prepareSamples cannot create" << folder;

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
    QSemaphore allowance(kMegapixelAllowance);
    const int workers = static_cast<int>(
        std::min<size_t>(jobs.size(), static_cast<size_t>(QThread::idealThreadCount())));
    if (workers <= 1) {
        Converter(jobs, next, allowance).run();
    } else {
        QThreadPool pool;
        pool.setMaxThreadCount(workers);
        for (int k = 0; k < workers; ++k)
            pool.start(new Converter(jobs, next, allowance));
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
