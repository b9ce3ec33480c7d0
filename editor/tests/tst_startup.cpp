// The real program started as the desktop starts it, with a package on its
// command line: the package is opened into the track store, the window carries
// the program icon, and a package that cannot be opened leaves a running
// window instead of a crash. Needs an X display of its own (CTest runs it
// under xvfb-run) and xwininfo/xprop to look at the windows.
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

}  // namespace

class Startup : public QObject {
    Q_OBJECT

    std::unique_ptr<Scratch> scratch;
    std::unique_ptr<QProcess> program;

    // Starts the program in the scratch work folder with its own track store.
    void start(const QStringList& arguments) {
        program.reset(new QProcess);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", scratch->data());
        environment.insert("XDG_CONFIG_HOME", scratch->data());
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("ASAN_OPTIONS", "detect_leaks=0");
        program->setProcessEnvironment(environment);
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
        QTest::qWait(1500);  // the package is tried once the event loop runs
        expectStillRunningCleanly();
        QVERIFY(QDir(scratch->store()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    }
};

QTEST_GUILESS_MAIN(Startup)
#include "tst_startup.moc"
