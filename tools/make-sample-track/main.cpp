// make-sample-track: writes a track package of generated numbered slides.
//   make-sample-track --output PACKAGE [--count N] [--width W] [--height H]
//                     [--distinct K] [--quality Q] [--folder NAME] [--staging DIR]
//                     [--descending]
// The track folder is assembled in DIR (default: beside the package, in
// "<package>.staging") and kept there for comparisons.
// Exit 0 on success and for --help, 2 on a usage error (the usage goes to
// stderr), 1 when the package cannot be written.
#include "sample_track.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    // Text drawing needs the font database, which needs a platform; none is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a sample track package."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("Package file."),
                                    QStringLiteral("path"));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("Entries."),
                                   QStringLiteral("n"), QStringLiteral("12"));
    const QCommandLineOption width(QStringLiteral("width"), QStringLiteral("Picture width."),
                                   QStringLiteral("px"), QStringLiteral("1280"));
    const QCommandLineOption height(QStringLiteral("height"), QStringLiteral("Picture height."),
                                    QStringLiteral("px"), QStringLiteral("720"));
    const QCommandLineOption distinct(QStringLiteral("distinct"),
                                      QStringLiteral("Pictures drawn; the rest repeat them."),
                                      QStringLiteral("k"), QStringLiteral("0"));
    const QCommandLineOption quality(QStringLiteral("quality"), QStringLiteral("JPEG quality."),
                                     QStringLiteral("q"), QStringLiteral("85"));
    const QCommandLineOption folder(QStringLiteral("folder"),
                                    QStringLiteral("Track folder name inside the package."),
                                    QStringLiteral("name"));
    const QCommandLineOption staging(QStringLiteral("staging"),
                                     QStringLiteral("Where the track folder is assembled."),
                                     QStringLiteral("dir"));
    const QCommandLineOption descending(
        QStringLiteral("descending"), QStringLiteral("Times written from the last to the first."));
    parser.addOptions(
        {output, count, width, height, distinct, quality, folder, staging, descending});

    QTextStream err(stderr);
    const auto usageError = [&](const QString& message) {
        err << "make-sample-track: " << message << "\n\n" << parser.helpText();
        return 2;
    };
    if (!parser.parse(application.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument ") +
                          parser.positionalArguments().first());
    if (!parser.isSet(output))
        return usageError(QStringLiteral("--output is required"));
    bool ok[5] = {};
    SampleTrackOptions options;
    options.count = parser.value(count).toInt(&ok[0]);
    options.pictureSize =
        QSize(parser.value(width).toInt(&ok[1]), parser.value(height).toInt(&ok[2]));
    options.distinct = parser.value(distinct).toInt(&ok[3]);
    options.quality = parser.value(quality).toInt(&ok[4]);
    options.folderName = parser.value(folder);
    options.descending = parser.isSet(descending);
    for (bool good : ok) {
        if (!good)
            return usageError(QStringLiteral("numbers expected"));
    }
    const QString package = QFileInfo(parser.value(output)).absoluteFilePath();
    const QString stagingRoot =
        parser.isSet(staging) ? parser.value(staging) : package + QStringLiteral(".staging");
    const QString error = writeSampleTrack(package, stagingRoot, options);
    if (!error.isEmpty()) {
        err << "make-sample-track: " << error << "\n";
        return 1;
    }
    QTextStream(stdout) << package << "\n";
    return 0;
}
