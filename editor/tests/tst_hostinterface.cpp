// The host as the user interface meets it: the meta-object interface it calls
// by name, the property setters, start-up with a QML main window and the quit
// chain.
#include "qplayerhost.h"
#include "scene_graph_backend.h"
#include "testsupport.h"

#include <QDomDocument>
#include <QFile>
#include <QMetaMethod>
#include <QQmlContext>
#include <QQmlExpression>
#include <QSignalSpy>
#include <QtTest>

class HostInterface : public QObject {
    Q_OBJECT

private slots:
    // Renderer strings as drivers report them: only rasterisers on the
    // processor count, not a graphics card whose driver names LLVM.
    void softwareRasterisersAreTold_data() {
        QTest::addColumn<QByteArray>("renderer");
        QTest::addColumn<bool>("software");
        QTest::newRow("llvmpipe") << QByteArray("llvmpipe (LLVM 15.0.6, 256 bits)") << true;
        QTest::newRow("softpipe") << QByteArray("softpipe") << true;
        QTest::newRow("swrast") << QByteArray("Software Rasterizer") << true;
        QTest::newRow("Windows") << QByteArray("GDI Generic") << true;
        QTest::newRow("AMD") << QByteArray(
                                    "AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, "
                                    "DRM 3.49, 6.1.0-13-amd64)")
                             << false;
        QTest::newRow("Intel") << QByteArray("Mesa Intel(R) UHD Graphics 620 (KBL GT2)") << false;
        QTest::newRow("NVIDIA") << QByteArray("NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2") << false;
        QTest::newRow("virtual machine") << QByteArray("SVGA3D; build: RELEASE;  LLVM;") << false;
    }
    void softwareRasterisersAreTold() {
        QFETCH(QByteArray, renderer);
        QFETCH(bool, software);
        QCOMPARE(isSoftwareRasteriser(renderer), software);
    }

    // The user interface reaches these by name and index; the order and the
    // parameter names (with "titile") are fixed.
    void metaObjectInterface() {
        RecordingRoot root;
        const QPlayerHost host(&root, nullptr);  // registers QList<QUrl>
        const QMetaObject& meta = QPlayerHost::staticMetaObject;
        const QStringList expected = {
            "quit()",
            "titleChanged(QString)",
            "dateChanged(QString)",
            "trackDescChanged(QString)",
            "trackNameChanged(QString)",
            "teacherChanged(QString)",
            "durationChanged(QString)",
            "setTitle(QString)",
            "setDate(QString)",
            "setTrackDesc(QString)",
            "setTrackName(QString)",
            "setTeacher(QString)",
            "setDuration(QString)",
            "updateTrack(QString,QString)",
            "loadTrack(QUrl)",
            "saveTrack(QString,QJsonArray)",
            "prepareSamples(QList<QUrl>)",
        };
        QCOMPARE(meta.methodCount() - meta.methodOffset(), expected.size());
        QStringList names;
        for (int i = 0; i < expected.size(); ++i) {
            const QMetaMethod method = meta.method(meta.methodOffset() + i);
            QCOMPARE(QString::fromLatin1(method.methodSignature()), expected[i]);
            QCOMPARE(method.methodType(), i <= 6    ? QMetaMethod::Signal
                                          : i <= 12 ? QMetaMethod::Slot
                                                    : QMetaMethod::Method);
            for (const QByteArray& name : method.parameterNames())
                names << QString::fromLatin1(name);
        }
        QCOMPARE(names, QStringList({"arg", "arg", "arg", "arg", "arg", "arg", "arg", "arg", "arg",
                                     "arg", "arg", "arg", "id", "description", "path", "titile",
                                     "track", "urls"}));
        QCOMPARE(meta.method(meta.indexOfMethod("loadTrack(QUrl)")).returnType(),
                 int(QMetaType::Bool));
        QVERIFY(QMetaType::type("QList<QUrl>") != QMetaType::UnknownType);
    }

    // What the window shows after an operation: two read-only notifying
    // properties, reachable from QML by name, outside the fixed method table.
    void outcomeProperties() {
        const QMetaObject& meta = QPlayerHost::staticMetaObject;
        const QMetaProperty error = meta.property(meta.indexOfProperty("lastError"));
        const QMetaProperty skipped = meta.property(meta.indexOfProperty("lastSkipped"));
        QVERIFY(error.isValid() && skipped.isValid());
        QVERIFY(!error.isWritable() && !skipped.isWritable());
        QCOMPARE(error.userType(), int(QMetaType::QString));
        QCOMPARE(skipped.userType(), int(QMetaType::QStringList));
        QCOMPARE(error.notifySignal().methodSignature(), QByteArray("lastErrorChanged(QString)"));
        QCOMPARE(skipped.notifySignal().methodSignature(),
                 QByteArray("lastSkippedChanged(QStringList)"));

        // The hook the picture import reports its skipped files through.
        struct Importer : QPlayerHost {
            using QPlayerHost::QPlayerHost;
            void skip(const QStringList& names) { setLastSkipped(names); }
        };
        Scratch scratch;
        RecordingRoot root;
        Importer host(&root, nullptr);
        QSignalSpy changes(&host, &QPlayerHost::lastSkippedChanged);
        host.skip({"a.png", "b c.png"});
        host.skip({"a.png", "b c.png"});
        QCOMPARE(changes.count(), 1);

        QQmlExpression names(host.qmlEngine()->rootContext(), nullptr,
                             "hostObject.lastSkipped.join('|')");
        QCOMPARE(names.evaluate().toString(), QStringLiteral("a.png|b c.png"));
        // A load started from QML ends with its outcome in trackLoaded and lastError.
        QSignalSpy loaded(&host, &QPlayerHost::trackLoaded);
        QQmlExpression open(host.qmlEngine()->rootContext(), nullptr,
                            "hostObject.loadTrack('file:///nowhere/lesson.zip')");
        QVERIFY(open.evaluate().toBool());
        QVERIFY(host.loading());
        QVERIFY(!host.waitForLoad());
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(loaded[0][0].toBool(), false);
        QQmlExpression reason(host.qmlEngine()->rootContext(), nullptr, "hostObject.lastError");
        QCOMPARE(reason.evaluate().toString(), QStringLiteral("文件不存在"));
    }

    void settersSignalRealChangesOnly() {
        RecordingRoot root;
        QPlayerHost host(&root, nullptr);
        const QMetaObject& meta = QPlayerHost::staticMetaObject;
        for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
            const QMetaProperty property = meta.property(i);
            QSignalSpy spy(&host, property.notifySignal());
            QVERIFY(property.write(&host, QStringLiteral("课")));
            QVERIFY(property.write(&host, QStringLiteral("课")));
            QVERIFY(property.write(&host, QString()));
            QCOMPARE(spy.count(), 2);
            QCOMPARE(spy[0][0].toString(), QStringLiteral("课"));
            QCOMPARE(spy[1][0].toString(), QString());
            QCOMPARE(property.read(&host).toString(), QString());
        }
    }

    // The real constructor: "hostObject" exists when the window is created, the
    // script functions get JavaScript values, and Qt.quit() reaches quit().
    void startupWithMainWindow() {
        Scratch scratch;
        QPlayerHost host(nullptr);
        QObject* window = host.userInterface();
        QVERIFY(window);
        QVERIFY(window->property("hostSeenAtCreation").toBool());

        const QString package = scratch.work() + "/lesson.zip";
        QVERIFY(writeZip(
            package,
            {{"L/tracks.xml", trackXml("<track><ticks>7</ticks><picture>a.jpg</picture></track>"
                                       "<track><ticks>2</ticks><picture>b.jpg</picture>"
                                       "<level>1</level></track>")},
             {"L/res/a.jpg", pictureBytes("JPEG")}}));
        QVERIFY(host.loadTrack(QUrl::fromLocalFile(package)) && host.waitForLoad());
        QCOMPARE(
            window->property("calls").toStringList(),
            QStringList({"clearTimeLine", "appendItem string,string,number,string,string b 2 1",
                         "appendItem string,string,number,string,string a 7 -1", "resetTimeLine"}));

        // A JavaScript array of plain objects arrives as entries with their types.
        const QString sample =
            QUrl::fromLocalFile(host.currentTrackFolder() + "/res/a.jpg").toString();
        QVariant saved;
        QVERIFY(QMetaObject::invokeMethod(window, "saveAll", Q_RETURN_ARG(QVariant, saved),
                                          Q_ARG(QVariant, "From QML"), Q_ARG(QVariant, sample)));
        QVERIFY(saved.toBool());
        QFile file(host.currentTrackFolder() + "/tracks.xml");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QDomDocument document;
        QVERIFY(document.setContent(&file));
        const QDomElement track =
            document.documentElement().firstChildElement("tracks").firstChildElement("track");
        QCOMPARE(track.firstChildElement("ticks").text(), QStringLiteral("3"));
        QCOMPARE(track.firstChildElement("description").text(), QStringLiteral("d"));
        QCOMPARE(track.firstChildElement("level").text(), QStringLiteral("1"));
        QVERIFY(track.nextSiblingElement().isNull());

        QSignalSpy quit(&host, &QPlayerHost::quit);
        QVERIFY(QMetaObject::invokeMethod(window, "requestQuit"));
        QTRY_COMPARE(quit.count(), 1);
    }
};

QTEST_MAIN(HostInterface)
#include "tst_hostinterface.moc"
