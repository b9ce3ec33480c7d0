// The real program started as the desktop starts it, with a package on its
// command line: the package is opened into the track store, the window carries
// the program icon, a package that cannot be opened leaves a running window
// that says why (also when a second program is started on a track that is
// open already), and on a screen of twice the density the window is drawn
// twice as large. Needs an X display of its own (CTest runs it under
// xvfb-run), xwininfo/xprop to look at the windows and import for screenshots.
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000))
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The viewable top-level window that the process with that id put up, or
// empty. Qt marks its windows with _NET_WM_PID.
QString windowOf(qint64 pid) {
    const QString tree = output("xwininfo", {"-root", "-children"});
    const QRegularExpression idLine("^\\s+(0x[0-9a-f]+) ", QRegularExpression::MultilineOption);
    for (auto match = idLine.globalMatch(tree); match.hasNext();) {
        const QString id = match.next().captured(1);
        if (output("xprop", {"-id", id, "_NET_WM_PID"}).trimmed() !=
            QStringLiteral("_NET_WM_PID(CARDINAL) = %1").arg(pid))
            continue;
        if (output("xwininfo", {"-id", id}).contains("Map State: IsViewable"))
            return id;
    }
    return {};
}

// Width and height of the first picture of the window's _NET_WM_ICON.
QSize iconSize(const QString& window) {
    const QString text =
        output("xprop", {"-id", window, "-f", "_NET_WM_ICON", "32c", "-len", "16", "_NET_WM_ICON"});
    const QRegularExpressionMatch match = QRegularExpression("= (\\d+), (\\d+)").match(text);
    return match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The screen's pixels, or a null image (a grab of the window alone would be
// black: it is drawn with OpenGL).
QImage grabScreen() {
    QProcess import;
    import.start("import", {"-window", "root", "png:-"});
    if (!import.waitForFinished(20000))
        return {};
    return QImage::fromData(import.readAllStandardOutput(), "PNG");
}

// A failure notice in the window at the screen's top left: the red bar
// centred 12 below the 72-high title bar.
bool showsFailureNotice(const QImage& window) {
    if (window.isNull())
        return false;
    const QColor colour = window.pixelColor(window.width() / 2, 72 + 12 + 4);
    return qAbs(colour.red() - 0xD0) < 16 && qAbs(colour.green() - 0x34) < 16 &&
           qAbs(colour.blue() - 0x2C) < 16;
}

// Whether a failure notice shows within the time: looked for every half
// second (a grab takes seconds on a busy machine, and QTRY_* would wait three
// times as long before it fails).
template <typename Grab>
bool noticeShowsWithin(Grab grab, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    do {
        if (showsFailureNotice(grab()))
            return true;
        QTest::qWait(500);
    } while (timer.elapsed() < milliseconds);
    return false;
}

// The program on an X display of its own (xvfb-run): a screen of another
// density, or a window that no other covers. The script tells which display
// and which process, then waits for the program.
class OwnDisplay {
public:
    OwnDisplay() = default;
    OwnDisplay(const OwnDisplay&) = delete;
    OwnDisplay& operator=(const OwnDisplay&) = delete;
    // A failed test leaves no display and no program behind.
    ~OwnDisplay() {
        if (runner.state() != QProcess::NotRunning)
            stop();
    }
    bool start(const QProcessEnvironment& environment, const QString& screen,
               const QStringList& arguments) {
        runner.setProcessEnvironment(environment);
        runner.start("xvfb-run",
                     QStringList{"-a", "-s", screen, "sh", "-c",
                                 "\"$0\" \"$@\" & echo \"$DISPLAY $XAUTHORITY $!\"; wait",
                                 QStringLiteral(REELWRIGHT_PROGRAM)} +
                         arguments);
        if (!runner.waitForStarted())
            return false;
        QElapsedTimer timer;
        timer.start();
        while (!runner.canReadLine() && runner.state() == QProcess::Running &&
               timer.elapsed() < 30000)
            runner.waitForReadyRead(1000);
        started = QString::fromLocal8Bit(runner.readLine()).trimmed().split(' ');
        return started.size() == 3;
    }
    // The display's pixels, or a null image.
    QImage grab() const {
        QProcess import;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XAUTHORITY", started[1]);
        import.setProcessEnvironment(environment);
        import.start("import", {"-display", started[0], "-window", "root", "png:-"});
        if (!import.waitForFinished(20000))
            return {};
        return QImage::fromData(import.readAllStandardOutput(), "PNG");
    }
    // What the program wrote to its error channel so far.
    QByteArray errors() { return collected += runner.readAllStandardError(); }
    bool stop() {
        QProcess::execute("kill", {started.value(2)});
        return runner.waitForFinished(20000);
    }

private:
    QProcess runner;
    QStringList started;
    QByteArray collected;
};

}  // namespace

class Startup : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> scratch;
    std::unique_ptr<QProcess> program;

    // The program's environment: its own track store and settings.
    QProcessEnvironment programEnvironment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", scratch->data());
        environment.insert("XDG_CONFIG_HOME", scratch->data());
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("ASAN_OPTIONS", "detect_leaks=0");
        return environment;
    }
    // Starts the program in the scratch work folder with its own track store.
    void start(const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment()) {
        program.reset(new QProcess);
        program->setProcessEnvironment(environment.isEmpty() ? programEnvironment() : environment);
        program->setWorkingDirectory(scratch->work());
        program->start(QStringLiteral(REELWRIGHT_PROGRAM), arguments);
        QVERIFY2(program->waitForStarted(), qPrintable(program->errorString()));
    }
    QString waitForWindow() {
        QElapsedTimer timer;
        timer.start();
        QString window;
        while (window.isEmpty() && timer.elapsed() < 60000 &&
               program->state() == QProcess::Running) {
            QTest::qWait(200);
            window = windowOf(program->processId());
        }
        return window;
    }
    void expectStillRunningCleanly() {
        QCOMPARE(program->state(), QProcess::Running);
        const QByteArray errors = program->readAllStandardError();
        QVERIFY2(!errors.contains("AddressSanitizer") && !errors.contains("runtime error"),
                 errors.constData());
    }

private slots:
    void initTestCase() {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "needs an X display: run under xvfb-run");
        QVERIFY2(!QStandardPaths::findExecutable("xprop").isEmpty() &&
                     !QStandardPaths::findExecutable("xwininfo").isEmpty(),
                 "xprop and xwininfo (x11-utils) are missing");
    }
    void init() { scratch.reset(new Scratch); }
    void cleanup() {
        if (program && program->state() != QProcess::NotRunning) {
            program->terminate();
            if (!program->waitForFinished(10000))
                program->kill();
            program->waitForFinished(5000);
        }
        program.reset();
        scratch.reset();
    }

    void opensPackageFromCommandLine_data() {
        QTest::addColumn<QString>("argument");
        QTest::newRow("relative path") << "Stunde #7.zip";
        QTest::newRow("absolute path") << "@/Stunde #7.zip";
        QTest::newRow("file URL") << "url";
    }
    // As a file manager or "Open with" passes it: a name with "#" and a space.
    void opensPackageFromCommandLine() {
        QFETCH(QString, argument);
        const QString package = scratch->work() + "/Stunde #7.zip";
        const QByteArray xml = trackXml("<track><ticks>4</ticks><picture>a.jpg</picture></track>",
                                        QStringLiteral("Brüche 7b"));
        QVERIFY(writeZip(package,
                         {{"Brüche/tracks.xml", xml}, {"Brüche/res/a.jpg", pictureBytes("JPEG")}}));
        if (argument.startsWith('@'))
            argument = package;
        else if (argument == "url")
            argument = QUrl::fromLocalFile(package).toString();
        start({argument});

        const QString window = waitForWindow();
        QVERIFY2(!window.isEmpty(), program->readAllStandardError().constData());
        const QString folder = scratch->store() + "/Brüche";
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder + "/res/a.jpg"), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(folder + "/tracks.xml"), xml, 10000);
        expectStillRunningCleanly();

        // The window shows the program's own icon, not the desktop's default.
        QCOMPARE(iconSize(window), QSize(256, 256));
    }

    void choosesItsRenderer_data() {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("software");
        QTest::newRow("as found") << QString() << true;
        QTest::newRow("OpenGL asked for") << "opengl" << false;
    }
    // Xvfb's OpenGL is Mesa's rasteriser on the processor, as on a PC
    // without a graphics driver: the program draws with Qt Quick's software
    // renderer there, unless told otherwise; the window comes up either way.
    void choosesItsRenderer() {
        QFETCH(QString, asked);
        QFETCH(bool, software);
        QProcessEnvironment environment = programEnvironment();
        environment.remove("QT_QUICK_BACKEND");
        environment.insert("QT_LOGGING_RULES", "reelwright.host.debug=true");
        if (!asked.isEmpty())
            environment.insert("REELWRIGHT_RENDERER", asked);
        start({}, environment);
        QVERIFY(!waitForWindow().isEmpty());
        const QByteArray errors = program->readAllStandardError();
        QCOMPARE(errors.contains("OpenGL runs on the processor (llvmpipe"), software);
        QCOMPARE(errors.contains("drawing with the software renderer"), software);
        QCOMPARE(program->state(), QProcess::Running);
    }

    void followsScreenDensity_data() {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("barHeight");
        QTest::newRow("96 dpi") << 96 << 72;
        QTest::newRow("192 dpi") << 192 << 144;
    }
    // On a screen of twice the density the window is drawn twice as large:
    // the title bar is 72 device-independent pixels high.
    void followsScreenDensity() {
        QFETCH(int, dpi);
        QFETCH(int, barHeight);
        // A display of that density for the program alone.
        OwnDisplay display;
        QVERIFY(display.start(programEnvironment(),
                              QStringLiteral("-screen 0 1280x800x24 -dpi %1").arg(dpi), {}));

        // The title bar's height at its left edge, once the window is drawn.
        auto barRows = [&]() {
            const QImage screen = display.grab();
            if (screen.isNull())
                return -1;
            int rows = 0;
            while (rows < screen.height() && qAbs(screen.pixelColor(4, rows).green() - 0xa9) < 16 &&
                   qAbs(screen.pixelColor(4, rows).red() - 0x17) < 16)
                ++rows;
            return rows;
        };
        int rows = 0;
        QElapsedTimer timer;
        timer.start();
        while (rows == 0 && timer.elapsed() < 60000) {
            QTest::qWait(500);
            rows = barRows();
        }
        QTest::qWait(500);  // a second look, after any relayout
        rows = barRows();
        QVERIFY(display.stop());
        QCOMPARE(rows, barHeight);
    }

    void survivesBadPackage_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << "absent.zip" << QByteArray();
        QTest::newRow("not a package") << "notes.zip" << QByteArray("plain text, no archive");
        QTest::newRow("no track inside") << "empty.zip" << QByteArray("zip");
    }
    void survivesBadPackage() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString path = scratch->work() + "/" + name;
        if (content == "zip")
            QVERIFY(writeZip(path, {{"readme.txt", "no track here"}}));
        else if (!content.isEmpty())
            QVERIFY(writeFile(path, content));
        start({name});
        QVERIFY2(!waitForWindow().isEmpty(), program->readAllStandardError().constData());
        // The package is tried once the event loop runs; the window says why
        // it could not be opened, as the open tool's way does.
        QVERIFY(noticeShowsWithin(grabScreen, 20000));
        expectStillRunningCleanly();
        QVERIFY(QDir(scratch->store()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    }

    // A second program started on a track that the first one has open says
    // so in its window instead of showing an empty one.
    void secondProgramOnAnOpenTrackSaysWhy() {
        const QString package = scratch->work() + "/lesson.zip";
        QVERIFY(writeZip(package,
                         {{"Lesson/tracks.xml",
                           trackXml("<track><ticks>4</ticks><picture>a.jpg</picture></track>")},
                          {"Lesson/res/a.jpg", pictureBytes("JPEG")}}));
        start({package});
        QVERIFY2(!waitForWindow().isEmpty(), program->readAllStandardError().constData());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(scratch->store() + "/Lesson/res/a.jpg"), 30000);

        // The second on a display of its own, where nothing covers its window.
        OwnDisplay second;
        QVERIFY(second.start(programEnvironment(), "-screen 0 1280x800x24", {package}));
        QVERIFY2(noticeShowsWithin([&second]() { return second.grab(); }, 60000),
                 second.errors().constData());
        QVERIFY(
            second.errors().contains(QStringLiteral("此授课轨迹已在另一个窗口中打开").toUtf8()));
        QVERIFY(second.stop());
        QVERIFY2(!second.errors().contains("AddressSanitizer"), second.errors().constData());
        expectStillRunningCleanly();
    }
};

QTEST_GUILESS_MAIN(Startup)
#include "tst_startup.moc"
