// The main window keeps the teacher's work: typed text reaches the save,
// unsaved changes are shown and asked about before they could be lost, and
// every save, load and insert says how it went.
#include "track_packages.h"

#include <session.h>

#include <packwell.h>
#include <testsupport.h>

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

QVector<PackageEntry> threeEntries() {
    return {{10, "entry1", "-1"}, {20, "entry2", "-1"}, {30, "entry3", "-1"}};
}

// The saved "tracks.xml" of package/name as a document.
QDomDocument savedDocument(const QString& package, const QString& name) {
    QTemporaryDir unpacked;
    QDomDocument document;
    if (!Packwell().UnZipFile(package.toStdString(), unpacked.path().toStdString(), "", "", "",
                              false))
        return document;
    QFile xml(unpacked.path() + "/" + name + "/tracks.xml");
    if (xml.open(QIODevice::ReadOnly))
        document.setContent(&xml);
    return document;
}

QStringList captions(const QDomDocument& document) {
    QStringList list;
    const QDomElement tracks = document.documentElement().firstChildElement("tracks");
    for (QDomElement e = tracks.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        list << e.firstChildElement("description").text();
    return list;
}

}  // namespace

class KeepsWorkTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<Session> s;

    bool modified() const { return s->property("modified").toBool(); }
    QString notice() const {
        QQuickItem* bar = s->item("noticeBar");
        return bar && bar->isVisible() ? s->item("noticeText")->property("text").toString()
                                       : QString();
    }
    QQuickWindow* dialog() const { return qobject_cast<QQuickWindow*>(s->object("unsavedDialog")); }
    QQuickItem* choice(const char* name) const {
        return dialog() ? dialog()->findChild<QQuickItem*>(QString::fromLatin1(name)) : nullptr;
    }
    void typeCaption(int position, const QString& text) {
        s->clickCell(position);
        click(s->cellPart(position, "descriptionEditor"));
        selectAllAndType(s->window, text);
    }

    static void keep(QQuickWindow* window, const QString& name) {
        const QString folder = qEnvironmentVariable("REELWRIGHT_GRAB_DIR");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            window->grabWindow().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

private slots:
    void init() { s = std::make_unique<Session>(); }
    void cleanup() { s.reset(); }

    // Text still open in its editor is part of the save; the markers come
    // and go with the changes, and the save says it reached the package.
    void openEditorsAreSavedAndMarked() {
        const QString package = makeTrack(dir.path(), "typed", threeEntries());
        QVERIFY(s->open(package));
        QVERIFY(!modified());
        QVERIFY(!s->item("unsavedDot")->isVisible());
        QVERIFY(!s->item("modifiedMark")->isVisible());

        typeCaption(1, "typed caption");
        click(s->item("saveButton"));
        QCOMPARE(captions(savedDocument(package, "typed")),
                 (QStringList{"entry1", "typed caption", "entry3"}));
        QCOMPARE(notice(), QStringLiteral("已保存"));
        QVERIFY(!modified());
        // The commit is an ordinary command.
        QVERIFY(s->property("canUndo").toBool());

        // A time typed into the open editor moves the entry when saved.
        s->clickCell(0);
        click(s->cellPart(0, "timeEditor"));
        selectAllAndType(s->window, "000025");
        click(s->item("saveButton"));
        const QDomElement tracks =
            savedDocument(package, "typed").documentElement().firstChildElement("tracks");
        QList<int> ticks;
        for (QDomElement e = tracks.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
            ticks << e.firstChildElement("ticks").text().toInt();
        std::sort(ticks.begin(), ticks.end());
        QCOMPARE(ticks, (QList<int>{20, 25, 30}));

        // A title still in its editor is saved too.
        click(s->item("titleArea"));
        selectAllAndType(s->window, "Open title");
        QVERIFY(!modified());  // nothing committed yet
        click(s->item("saveButton"));
        QCOMPARE(savedDocument(package, "typed")
                     .documentElement()
                     .firstChildElement("track_name")
                     .text(),
                 QStringLiteral("Open title"));

        // Any committed change shows both markers until the next save.
        typeCaption(2, "later");
        s->clickCell(0);
        QVERIFY(modified());
        QVERIFY(s->item("unsavedDot")->isVisible());
        QVERIFY(s->item("modifiedMark")->isVisible());
        click(s->item("undoButton"));  // back at the saved state
        QVERIFY(!modified());
        click(s->item("redoButton"));
        QVERIFY(modified());
        click(s->item("saveButton"));
        QVERIFY(!s->item("unsavedDot")->isVisible());
        QVERIFY(!s->item("modifiedMark")->isVisible());
        // A class-structure mark is not undoable but is a change all the same.
        s->clickCell(0);
        click(s->cellPart(0, "classStructButton"));
        QVERIFY(modified());
    }

    // The markers follow the history's saved point: undoing back to it
    // clears them, redoing away sets them again; a new change after undoing
    // past it leaves it out of reach. Real keys.
    void markersFollowTheSavedPoint() {
        QVERIFY(s->open(makeTrack(dir.path(), "point", threeEntries())));
        auto key = [this](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
            QTest::keyClick(s->window, k, modifiers);
            QTest::qWait(10);
        };
        auto markersShown = [this](bool shown) {
            return modified() == shown && s->item("unsavedDot")->isVisible() == shown &&
                   s->item("modifiedMark")->isVisible() == shown;
        };
        typeCaption(0, "one");
        s->clickCell(1);
        QVERIFY(markersShown(true));
        key(Qt::Key_Z);
        QVERIFY(markersShown(false));
        key(Qt::Key_Y);
        QVERIFY(markersShown(true));

        key(Qt::Key_S);
        QVERIFY(markersShown(false));
        key(Qt::Key_Z);  // before the save
        QVERIFY(markersShown(true));
        key(Qt::Key_Y);  // back at it
        QVERIFY(markersShown(false));

        key(Qt::Key_Z);
        typeCaption(2, "other");
        s->clickCell(0);  // recorded: the saved state cannot be redone now
        QVERIFY(markersShown(true));
        key(Qt::Key_Z);
        QVERIFY(markersShown(true));
        QCOMPARE(s->entries()[0].description, QStringLiteral("entry1"));
    }

    // The close tool and the window manager's close ask first; "取消" keeps
    // everything, "不保存" quits, "保存" saves and quits.
    void closingAsksAboutUnsavedChanges() {
        const QString package = makeTrack(dir.path(), "closing", threeEntries());
        QVERIFY(s->open(package));
        QSignalSpy quit(s->host, &QPlayerHost::quit);

        typeCaption(0, "not yet committed");
        click(s->item("closeButton"));
        QTRY_VERIFY(dialog() && dialog()->isVisible());
        QCOMPARE(dialog()->title(), QStringLiteral("课堂轨迹"));
        QCOMPARE(dialog()->findChild<QQuickItem*>("unsavedQuestion")->property("text").toString(),
                 QStringLiteral("当前轨迹有未保存的修改，是否保存？"));
        QCOMPARE(choice("saveChoice")->property("content").toString(), QStringLiteral("保存"));
        QCOMPARE(choice("discardChoice")->property("content").toString(), QStringLiteral("不保存"));
        QCOMPARE(choice("cancelChoice")->property("content").toString(), QStringLiteral("取消"));

        click(choice("cancelChoice"));
        QTRY_VERIFY(!dialog()->isVisible());
        QCOMPARE(quit.count(), 0);
        QVERIFY(s->window->isVisible());
        QCOMPARE(s->entries()[0].description, QStringLiteral("not yet committed"));

        // The window manager's close is asked about the same way.
        s->window->close();
        QTRY_VERIFY(dialog()->isVisible());
        QVERIFY(s->window->isVisible());
        QTest::keyClick(dialog(), Qt::Key_Escape);
        QTRY_VERIFY(!dialog()->isVisible());
        QCOMPARE(quit.count(), 0);

        click(s->item("closeButton"));
        QTRY_VERIFY(dialog()->isVisible());
        click(choice("saveChoice"));
        QTRY_COMPARE(quit.count(), 1);
        QCOMPARE(captions(savedDocument(package, "closing"))[0],
                 QStringLiteral("not yet committed"));
    }

    void discardingQuitsWithoutSaving() {
        const QString package = makeTrack(dir.path(), "discard", threeEntries());
        QVERIFY(s->open(package));
        QSignalSpy quit(s->host, &QPlayerHost::quit);
        typeCaption(2, "dropped");
        click(s->item("closeButton"));
        QTRY_VERIFY(dialog() && dialog()->isVisible());
        click(choice("discardChoice"));
        QTRY_COMPARE(quit.count(), 1);
        QCOMPARE(captions(savedDocument(package, "discard"))[2], QStringLiteral("entry3"));
    }

    void closingWithoutChangesDoesNotAsk() {
        QVERIFY(s->open(makeTrack(dir.path(), "clean", threeEntries())));
        QSignalSpy quit(s->host, &QPlayerHost::quit);
        s->clickCell(1);  // selecting is not editing
        click(s->item("closeButton"));
        QTRY_COMPARE(quit.count(), 1);
        QVERIFY(!dialog() || !dialog()->isVisible());
    }

    // Opening another package from the open tool asks as well.
    void openingAnotherPackageAsks() {
        QVERIFY(s->open(makeTrack(dir.path(), "first", threeEntries())));
        const QString second = makeTrack(dir.path(), "second", {{1, "a", "-1"}, {2, "b", "-1"}});
        typeCaption(0, "first edit");
        s->call("requestOpen", {QUrl::fromLocalFile(second)});
        QTRY_VERIFY(dialog() && dialog()->isVisible());
        click(choice("cancelChoice"));
        QCOMPARE(s->entries().size(), 3);
        QCOMPARE(s->entries()[0].description, QStringLiteral("first edit"));

        s->call("requestOpen", {QUrl::fromLocalFile(second)});
        QTRY_VERIFY(dialog()->isVisible());
        click(choice("discardChoice"));
        QTRY_COMPARE(s->entries().size(), 2);
        QVERIFY(!s->property("modified").toBool());
    }

    // Failures are said in the window, with their reason.
    void failuresAreShown() {
        QFile junk(dir.path() + "/junk.zip");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not an archive");
        junk.close();
        QVERIFY(!s->open(junk.fileName()));
        QVERIFY2(notice().startsWith(QStringLiteral("无法打开授课轨迹：")), qPrintable(notice()));
        QVERIFY(notice().size() > QStringLiteral("无法打开授课轨迹：").size());
        QCOMPARE(s->item("titleText")->property("text").toString(), QString());

        // A package that cannot be written: its folder is now a file.
        const QString folder = dir.path() + "/locked";
        QVERIFY(QDir().mkpath(folder));
        const QString package = makeTrack(folder, "unwritable", threeEntries());
        QVERIFY(s->open(package));
        typeCaption(0, "kept in the window");
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        click(s->item("saveButton"));
        QVERIFY2(notice().startsWith(QStringLiteral("保存失败：")), qPrintable(notice()));
        QVERIFY(notice().size() > QStringLiteral("保存失败：").size());
        QVERIFY(modified());
        QCOMPARE(s->entries()[0].description, QStringLiteral("kept in the window"));
    }

    // A package without entries opens as an empty track that can be filled:
    // the message says so, the insert tool and Ctrl+I work, and the pictures
    // start at 00:00:01.
    void anEmptyTrackCanBeFilled() {
        QQuickItem* message = s->item("emptyMessage");
        QCOMPARE(message->property("text").toString(), QStringLiteral("请打开授课轨迹"));
        // Made empty, its pictures' folder kept (the host writes into it).
        const QString package = makeTrack(dir.path(), "blank", {});
        const QByteArray xml = readZip(package).value("blank/tracks.xml").data;
        QVERIFY(!xml.isEmpty());
        QVERIFY(writeZip(package, {{"blank/tracks.xml", xml}, {"blank/res/", {}}}));
        QVERIFY(s->call("openTrack", {QUrl::fromLocalFile(package)}).toBool());
        QVERIFY(s->host->waitForLoad());
        QVERIFY(message->isVisible());
        QCOMPARE(message->property("text").toString(), QStringLiteral("授课轨迹为空，请插入图片"));
        QCOMPARE(s->item("insertButton")->property("imageNormal").toString(),
                 QStringLiteral("qrc:/image/insert-enable-normal.png"));
        keep(s->window, "empty-track");
        QTest::keyClick(s->window, Qt::Key_I, Qt::ControlModifier);
        QObject* dialog = s->object("insertDialog");
        QTRY_VERIFY(dialog->property("visible").toBool());
        QMetaObject::invokeMethod(dialog, "reject");
        QTRY_VERIFY(!dialog->property("visible").toBool());

        const QVariantList urls = {
            QUrl::fromLocalFile(makePicture(dir.path() + "/one.jpg", QSize(80, 60), Qt::red)),
            QUrl::fromLocalFile(makePicture(dir.path() + "/two.jpg", QSize(80, 60), Qt::blue))};
        s->call("startImport", {QVariant(urls)});
        QTRY_COMPARE(s->entries().size(), 2);
        QCOMPARE(s->entries()[0].tick, 1);
        QCOMPARE(s->entries()[1].tick, 2);
        QVERIFY(!message->isVisible());
        click(s->item("saveButton"));
        QCOMPARE(notice(), QStringLiteral("已保存"));
        QCOMPARE(captions(savedDocument(package, "blank")).size(), 2);

        // A package that cannot be opened leaves no track to fill.
        QFile junk(dir.path() + "/junk.zip");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not an archive");
        junk.close();
        QVERIFY(s->call("openTrack", {QUrl::fromLocalFile(junk.fileName())}).toBool());
        QVERIFY(!s->host->waitForLoad());
        QCOMPARE(message->property("text").toString(), QStringLiteral("请打开授课轨迹"));
        QCOMPARE(s->item("insertButton")->property("imageNormal").toString(),
                 QStringLiteral("qrc:/image/insert-disable-normal.png"));
    }

    // Pictures that cannot be read are named; the readable ones are inserted.
    void unreadablePicturesAreNamed() {
        QVERIFY(s->open(makeTrack(dir.path(), "insert", threeEntries())));
        const QString good = makePicture(dir.path() + "/good.jpg", QSize(80, 60), Qt::blue);
        QFile bad(dir.path() + "/broken.jpg");
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("no picture here");
        bad.close();
        s->clickCell(0);
        s->call("insertPictures", {QVariant(QVariantList{QUrl::fromLocalFile(good),
                                                         QUrl::fromLocalFile(bad.fileName())})});
        QCOMPARE(s->entries().size(), 4);
        QCOMPARE(notice(), QStringLiteral("以下图片无法导入：broken.jpg"));
    }
};

int runKeepsWorkTests(int argc, char** argv) {
    KeepsWorkTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keepswork.moc"
