// A way out of a failed save: the "保存失败" notice offers 另存为, and so does
// Ctrl+Shift+S; the teacher picks a new package file in the save dialog and
// the window goes on with it. Where the host's saveTrackAs is not what is
// tested, a stand-in takes the host's place for the one call.
#include "track_packages.h"

#include <packwell.h>
#include <session.h>

#include <QApplication>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QQmlContext>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

// Answers saveTrackAs as told and records what it was given; carries the
// host's properties that the window reads meanwhile.
class SaveAsStandIn : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title MEMBER title NOTIFY titleChanged)
    Q_PROPERTY(QString lastError MEMBER lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(QStringList lastSkipped MEMBER lastSkipped NOTIFY lastSkippedChanged)

public:
    QString title;
    QString lastError;
    QStringList lastSkipped;
    bool result = true;
    QString failure;
    QList<QUrl> packages;
    QString savedTitle;
    QJsonArray savedTrack;

    Q_INVOKABLE bool saveTrackAs(QUrl package, QString titile, QJsonArray track) {
        packages << package;
        savedTitle = titile;
        savedTrack = track;
        lastError = result ? QString() : failure;
        emit lastErrorChanged(lastError);
        return result;
    }

signals:
    void titleChanged(QString arg);
    void lastErrorChanged(QString arg);
    void lastSkippedChanged(QStringList arg);
};

QFileDialog* shownFileDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// The captions of the "tracks.xml" in the package's one track folder.
QStringList savedCaptions(const QString& package) {
    QTemporaryDir unpacked;
    if (!Packwell().UnZipFile(package.toStdString(), unpacked.path().toStdString(), "", "", "",
                              false))
        return {};
    const QStringList folders = QDir(unpacked.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (folders.size() != 1)
        return {};
    QFile xml(unpacked.path() + "/" + folders.first() + "/tracks.xml");
    QDomDocument document;
    if (!xml.open(QIODevice::ReadOnly) || !document.setContent(&xml))
        return {};
    QStringList list;
    const QDomElement tracks = document.documentElement().firstChildElement("tracks");
    for (QDomElement e = tracks.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        list << e.firstChildElement("description").text();
    return list;
}

}  // namespace

class SaveAsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<Session> s;

    QString notice() const {
        QQuickItem* bar = s->item("noticeBar");
        return bar && bar->isVisible() ? s->item("noticeText")->property("text").toString()
                                       : QString();
    }
    bool modified() const { return s->property("modified").toBool(); }
    void typeCaption(int position, const QString& text) {
        s->clickCell(position);
        click(s->cellPart(position, "descriptionEditor"));
        selectAllAndType(s->window, text);
    }
    // Types folder and name into the shown save dialog, each with Enter.
    void saveIn(const QString& folder, const QString& name) {
        QFileDialog* dialog = shownFileDialog();
        QVERIFY(dialog);
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(field);
        field->setFocus();
        for (const QString& text : {folder, name}) {
            field->clear();
            QTest::keyClicks(field, text);
            QTest::keyClick(field, Qt::Key_Return);
            QTest::qWait(50);
        }
        QTRY_VERIFY(!shownFileDialog());
        s->window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(s->window));
    }
    void useHost(QObject* host) {
        s->host->qmlEngine()->rootContext()->setContextProperty("hostObject", host);
    }
    QString folder(const QString& name) const {
        const QString path = dir.path() + QLatin1Char('/') + name;
        QDir().mkpath(path);
        return path;
    }

private slots:
    void init() { s = std::make_unique<Session>(); }
    void cleanup() { s.reset(); }

    // The package's folder is gone (a file stands in its place): the save
    // fails, the notice offers 另存为, and its dialog keeps the work elsewhere.
    void aFailedSaveOffersSaveAs() {
        const QString lost = folder("lost");
        QVERIFY(s->open(makeTrack(lost, "lesson", {{10, "a", "-1"}, {20, "b", "-1"}})));
        typeCaption(1, "typed");
        QVERIFY(QDir(lost).removeRecursively());
        QFile blocker(lost);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        click(s->item("saveButton"));
        QVERIFY2(notice().startsWith(QStringLiteral("保存失败：")), qPrintable(notice()));
        QQuickItem* action = s->item("noticeAction");
        QVERIFY(action && action->isVisible());
        QCOMPARE(action->property("content").toString(), QStringLiteral("另存为…"));
        keep(s->window, "notice-save-failed");
        QVERIFY(modified());

        click(action);
        QTRY_VERIFY(shownFileDialog());
        QFileDialog* dialog = shownFileDialog();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("另存为"));
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->nameFilters(), QStringList({QStringLiteral("授课轨迹包 (*.zip)"),
                                                     QStringLiteral("所有文件 (*)")}));

        SaveAsStandIn standIn;
        standIn.title = s->host->title();
        useHost(&standIn);
        const QString kept = folder("kept");
        saveIn(kept, "copy");
        useHost(s->host);
        // The name gets the package's suffix; the typed caption is saved.
        QCOMPARE(standIn.packages, QList<QUrl>{QUrl::fromLocalFile(kept + "/copy.zip")});
        QCOMPARE(standIn.savedTitle, QStringLiteral("lesson 课题"));
        QCOMPARE(standIn.savedTrack.size(), 2);
        QCOMPARE(standIn.savedTrack[1].toObject()["description"].toString(),
                 QStringLiteral("typed"));
        QCOMPARE(notice(), QStringLiteral("已另存为copy.zip"));
        QVERIFY(!modified());
    }

    // Ctrl+Shift+S, only with a track open; a failed save as says why and
    // offers another try.
    void ctrlShiftSAndItsFailure() {
        QTest::keyClick(s->window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::qWait(200);
        QVERIFY(!shownFileDialog());
        QVERIFY(s->open(makeTrack(folder("start"), "keys", ticks({10}))));
        typeCaption(0, "changed");
        QTest::keyClick(s->window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(shownFileDialog());

        SaveAsStandIn standIn;
        standIn.title = s->host->title();
        standIn.result = false;
        standIn.failure = QStringLiteral("磁盘空间不足");
        useHost(&standIn);
        saveIn(folder("full"), "lesson.zip");
        QCOMPARE(standIn.packages.size(), 1);
        QCOMPARE(notice(), QStringLiteral("保存失败：磁盘空间不足"));
        QVERIFY(s->item("noticeAction") && s->item("noticeAction")->isVisible());
        useHost(s->host);
        QVERIFY(modified());
    }

    // With the host's own saveTrackAs: the new package holds the track and
    // is the one that later saves go to; the old one is left as it was.
    void theWindowGoesOnWithTheNewPackage() {
        if (QPlayerHost::staticMetaObject.indexOfMethod("saveTrackAs(QUrl,QString,QJsonArray)") < 0)
            QSKIP("this host has no saveTrackAs yet");
        const QString original = makeTrack(folder("old"), "lesson", ticks({10, 20}));
        QVERIFY(s->open(original));
        typeCaption(0, "first");
        QTest::keyClick(s->window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY(shownFileDialog());
        const QString elsewhere = folder("new");
        saveIn(elsewhere, "lesson-copy");
        QCOMPARE(notice(), QStringLiteral("已另存为lesson-copy.zip"));
        const QString copy = elsewhere + "/lesson-copy.zip";
        QCOMPARE(savedCaptions(copy), QStringList({"first", "entry2"}));
        typeCaption(1, "second");
        s->clickCell(0);
        QTest::keyClick(s->window, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(notice(), QStringLiteral("已保存"));
        QCOMPARE(savedCaptions(copy), QStringList({"first", "second"}));
        QCOMPARE(savedCaptions(original), QStringList({"entry1", "entry2"}));
    }

private:
    static void keep(QQuickWindow* window, const QString& name) {
        const QString folder = qEnvironmentVariable("REELWRIGHT_GRAB_DIR");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            window->grabWindow().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
};

int runSaveAsTests(int argc, char** argv) {
    SaveAsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_saveas.moc"
