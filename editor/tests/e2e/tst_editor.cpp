// The main editor window end to end: loading, selection and commit rules, time
// and title edits, insert, delete, class-structure marks, undo and redo, save.
#include "track_packages.h"

#include <session.h>

#include <packwell.h>

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

QStringList ids(const QVector<Entry>& entries) {
    QStringList list;
    for (const Entry& e : entries)
        list << e.id;
    return list;
}

QList<int> tickList(const QVector<Entry>& entries) {
    QList<int> list;
    for (const Entry& e : entries)
        list << e.tick;
    return list;
}

QString imageOf(QQuickItem* button) {
    return button->property("source").toUrl().toString();
}

}  // namespace

class EditorTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<Session> s;

    QString track(const QString& name, const QVector<PackageEntry>& entries,
                  QSize size = QSize(320, 180)) {
        return makeTrack(dir.path(), name, entries, size);
    }

    bool canUndo() const { return s->property("canUndo").toBool(); }
    bool canRedo() const { return s->property("canRedo").toBool(); }

private slots:
    void init() { s = std::make_unique<Session>(); }
    void cleanup() { s.reset(); }

    void startsEmptyAndLoadsInTickOrder() {
        QVERIFY(s->window);
        QCOMPARE(s->window->width(), s->window->screen()->availableGeometry().width());
        QVERIFY(s->item("emptyMessage")->isVisible());
        QCOMPARE(s->item("emptyMessage")->property("text").toString(),
                 QStringLiteral("请打开授课轨迹"));
        QVERIFY(imageOf(s->item("undoButton")).endsWith("undo-disable-normal.png"));
        QVERIFY(imageOf(s->item("redoButton")).endsWith("redo-disable-normal.png"));
        QVERIFY(imageOf(s->item("insertButton")).endsWith("insert-disable-normal.png"));

        // Calls arrive in document order 30, 10, 20.
        QVERIFY(s->open(track("order", ticks({30, 10, 20}))));
        QCOMPARE(tickList(s->entries()), (QList<int>{10, 20, 30}));
        QCOMPARE(ids(s->entries()), (QStringList{"slide0002", "slide0003", "slide0001"}));
        QVERIFY(s->entries()[0].sample.startsWith("file:///"));
        QVERIFY(QFile::exists(QUrl(s->entries()[0].sample).toLocalFile()));
        QCOMPARE(s->selection(), -1);
        QCOMPARE(s->currentMark(), -1);
        const auto marks = s->marks();
        QCOMPARE(marks.size(), 3);
        for (const Mark& mark : marks)
            QCOMPARE(mark.rect.width(), 16.0);
        QVERIFY(!s->item("emptyMessage")->isVisible());
        QVERIFY(imageOf(s->item("insertButton")).endsWith("insert-enable-normal.png"));
        QCOMPARE(s->item("titleText")->property("text").toString(), QStringLiteral("order 课题"));

        // A later entry with an existing tick goes before it.
        s->call("appendItem", {"late", "/nowhere/late.jpg", 20, "late", "-1"});
        QCOMPARE(ids(s->entries())[1], QStringLiteral("late"));
        QCOMPARE(s->entries()[1].sample, QStringLiteral("file:///nowhere/late.jpg"));
    }

    // The insertion point is found by bisection; on any arrival order the list
    // must equal what a walk from the start gives.
    void appendItemMatchesAWalkOnManyEntries() {
        QRandomGenerator random(7);
        QVector<QPair<int, QString>> expected;
        s->call("clearTimeLine");
        for (int k = 0; k < 400; ++k) {
            const int tick = static_cast<int>(random.bounded(60));
            const QString id = QStringLiteral("n%1").arg(k);
            int pos = 0;
            while (pos < expected.size() && expected[pos].first < tick)
                ++pos;
            expected.insert(pos, {tick, id});
            s->call("appendItem", {id, "/x/" + id + ".jpg", tick, id, "-1"});
        }
        s->call("resetTimeLine");
        const auto entries = s->entries();
        QCOMPARE(entries.size(), expected.size());
        for (int k = 0; k < entries.size(); ++k) {
            QCOMPARE(entries[k].id, expected[k].second);
            QCOMPARE(entries[k].tick, expected[k].first);
        }
        QCOMPARE(s->marks().size(), 400);
        QCOMPARE(s->selection(), -1);
    }

    void typedDescriptionIsKeptOnlyByACellClick() {
        QVERIFY(s->open(track("captions", ticks({10, 20, 30}))));
        s->clickCell(0);
        QCOMPARE(s->selection(), 0);
        QCOMPARE(s->currentMark(), 0);
        QQuickItem* editor = s->cellPart(0, "descriptionEditor");
        QVERIFY(editor && editor->isVisible());
        QCOMPARE(editor->property("text").toString(), QStringLiteral("entry1"));
        click(editor);
        QVERIFY(editor->hasActiveFocus());
        selectAllAndType(s->window, "typed");
        QCOMPARE(editor->property("text").toString(), QStringLiteral("typed"));

        // Tab goes to the time editor and back.
        QTest::keyClick(s->window, Qt::Key_Tab);
        QVERIFY(s->cellPart(0, "timeEditor")->hasActiveFocus());
        QTest::keyClick(s->window, Qt::Key_Tab);
        QVERIFY(editor->hasActiveFocus());

        // A mark click drops the typed text.
        click(s->marks()[2]);
        QCOMPARE(s->selection(), 2);
        QCOMPARE(s->entries()[0].description, QStringLiteral("entry1"));
        QVERIFY(!canUndo());
        s->clickCell(0);
        editor = s->cellPart(0, "descriptionEditor");
        QCOMPARE(editor->property("text").toString(), QStringLiteral("entry1"));

        // A cell click records it.
        click(editor);
        selectAllAndType(s->window, "kept");
        s->clickCell(1);
        QCOMPARE(s->entries()[0].description, QStringLiteral("kept"));
        QCOMPARE(s->selection(), 1);
        QVERIFY(canUndo());
        QVERIFY(imageOf(s->item("undoButton")).endsWith("undo-enable-normal.png"));

        click(s->item("undoButton"));
        QCOMPARE(s->entries()[0].description, QStringLiteral("entry1"));
        QCOMPARE(s->selection(), 0);
        QCOMPARE(s->currentMark(), 0);
        QCOMPARE(s->cellPart(0, "descriptionEditor")->property("text").toString(),
                 QStringLiteral("entry1"));
        QVERIFY(!canUndo());
        QVERIFY(canRedo());
        click(s->item("redoButton"));
        QCOMPARE(s->entries()[0].description, QStringLiteral("kept"));

        // A click on the selected cell commits nothing.
        click(s->cellPart(0, "descriptionEditor"));
        selectAllAndType(s->window, "again");
        s->clickCell(0);
        QCOMPARE(s->entries()[0].description, QStringLiteral("kept"));
    }

    void timeEditMovesTheEntry() {
        QVERIFY(s->open(track("times", ticks({10, 50, 120}))));
        s->clickCell(0);
        QQuickItem* time = s->cellPart(0, "timeEditor");
        QCOMPARE(time->property("text").toString(), QStringLiteral("00:00:10"));
        click(time);
        selectAllAndType(s->window, "000140");
        QCOMPARE(time->property("displayText").toString(), QStringLiteral("00:01:40"));
        s->clickCell(2);
        QCOMPARE(tickList(s->entries()), (QList<int>{50, 100, 120}));
        QCOMPARE(ids(s->entries()), (QStringList{"slide0002", "slide0001", "slide0003"}));
        QCOMPARE(s->selection(), 2);
        QCOMPARE(s->currentMark(), 2);
        QCOMPARE(s->marks().size(), 3);

        click(s->item("undoButton"));
        QCOMPARE(tickList(s->entries()), (QList<int>{10, 50, 120}));
        QCOMPARE(s->selection(), 0);
        click(s->item("redoButton"));
        QCOMPARE(tickList(s->entries()), (QList<int>{50, 100, 120}));
        QCOMPARE(s->selection(), 1);

        // Minutes are not range-checked.
        click(s->cellPart(1, "timeEditor"));
        selectAllAndType(s->window, "007500");
        s->clickCell(0);
        QCOMPARE(tickList(s->entries()), (QList<int>{50, 120, 4500}));
        QCOMPARE(s->cellPart(2, "timeBar")->findChild<QQuickItem*>()->property("text").toString(),
                 QStringLiteral("01:15:00"));
    }

    // A time field left blank reads as no number: no change is recorded.
    void blankTimeFieldIsNoChange() {
        QVERIFY(s->open(track("blank", ticks({10, 50}))));
        s->clickCell(0);
        QQuickItem* time = s->cellPart(0, "timeEditor");
        click(time);
        selectAllAndType(s->window, "00");
        QCOMPARE(time->property("displayText").toString(), QStringLiteral("00:__:__"));
        s->clickCell(1);
        QCOMPARE(tickList(s->entries()), (QList<int>{10, 50}));
        QVERIFY(!canUndo());

        // A single digit in a field reads as that digit: 1_:02:03.
        time = s->cellPart(1, "timeEditor");
        click(time);
        QTest::keyClick(s->window, Qt::Key_Home);
        selectAllAndType(s->window, "1");
        QTest::keyClick(s->window, Qt::Key_Right);
        typeText(s->window, "0203");
        QCOMPARE(time->property("displayText").toString(), QStringLiteral("1_:02:03"));
        s->clickCell(0);
        QCOMPARE(tickList(s->entries()), (QList<int>{10, 3723}));
    }

    // Ticks of 100 hours do not fit the editor's mask; merely selecting such an
    // entry must not rewrite its time.
    void longTickSurvivesSelection() {
        QVERIFY(s->open(track("long", ticks({10, 360005}))));
        QCOMPARE(s->call("timeTickToString", {360005}).toString(), QStringLiteral("100:00:05"));
        s->clickCell(1);
        s->clickCell(0);
        QCOMPARE(tickList(s->entries()), (QList<int>{10, 360005}));
        QVERIFY(!canUndo());
    }

    void descriptionAndTimeAreTwoCommands() {
        QVERIFY(s->open(track("both", ticks({10, 20, 30}))));
        s->clickCell(0);
        click(s->cellPart(0, "descriptionEditor"));
        selectAllAndType(s->window, "moved");
        QTest::keyClick(s->window, Qt::Key_Tab);
        selectAllAndType(s->window, "000025");
        s->clickCell(2);
        QCOMPARE(s->entries()[1].description, QStringLiteral("moved"));
        QCOMPARE(s->entries()[1].tick, 25);
        click(s->item("undoButton"));  // the time first
        QCOMPARE(s->entries()[0].tick, 10);
        QCOMPARE(s->entries()[0].description, QStringLiteral("moved"));
        click(s->item("undoButton"));
        QCOMPARE(s->entries()[0].description, QStringLiteral("entry1"));
        QVERIFY(!canUndo());
    }

    void titleEditing() {
        QVERIFY(s->open(track("titled", ticks({10}))));
        QQuickItem* area = s->item("titleArea");
        QQuickItem* editor = s->item("titleEditor");
        QCOMPARE(area->property("border").value<QObject*>()->property("width").toInt(), 0);
        click(area);
        QVERIFY(editor->isVisible());
        QVERIFY(editor->hasActiveFocus());
        QCOMPARE(area->property("border").value<QObject*>()->property("width").toInt(), 1);
        QCOMPARE(editor->property("text").toString(), QStringLiteral("titled 课题"));
        QTest::keyClick(s->window, Qt::Key_Return);
        QVERIFY(!editor->isVisible());
        QVERIFY(!canUndo());

        click(area);
        selectAllAndType(s->window, "Fractions");
        // Keypad Enter does not close the editor; Escape closes it and drops
        // what was typed.
        QTest::keyClick(s->window, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(editor->isVisible());
        QTest::keyClick(s->window, Qt::Key_Escape);
        QVERIFY(!editor->isVisible());
        QCOMPARE(s->host->title(), QStringLiteral("titled 课题"));
        QVERIFY(!canUndo());
        click(area);
        QCOMPARE(editor->property("text").toString(), QStringLiteral("titled 课题"));
        selectAllAndType(s->window, "Fractions");
        click(area);  // further clicks leave it open
        QVERIFY(editor->isVisible());
        QTest::keyClick(s->window, Qt::Key_Return);
        QVERIFY(!editor->isVisible());
        QCOMPARE(s->host->title(), QStringLiteral("Fractions"));
        QCOMPARE(s->item("titleText")->property("text").toString(), QStringLiteral("Fractions"));
        QVERIFY(canUndo());
        QCOMPARE(area->width(), s->item("titleText")->property("contentWidth").toReal() + 8);

        click(s->item("undoButton"));
        QCOMPARE(s->host->title(), QStringLiteral("titled 课题"));
        click(s->item("redoButton"));
        QCOMPARE(s->host->title(), QStringLiteral("Fractions"));
        click(s->item("undoButton"));

        // Chinese text typed into the editor.
        click(area);
        QTest::keyClick(s->window, Qt::Key_End);
        typeText(s->window, QStringLiteral("复习"));
        QTest::keyClick(s->window, Qt::Key_Return);
        QCOMPARE(s->host->title(), QStringLiteral("titled 课题复习"));
        click(s->item("undoButton"));
        QCOMPARE(s->host->title(), QStringLiteral("titled 课题"));

        // Another control taking the focus closes the editor and records it.
        click(area);
        selectAllAndType(s->window, "Decimals");
        s->clickCell(0);
        click(s->cellPart(0, "descriptionEditor"));
        QVERIFY(!editor->isVisible());
        QCOMPARE(s->host->title(), QStringLiteral("Decimals"));
    }

    void openingAnotherTrackClearsHistoryAndAFailedLoadEmpties() {
        QVERIFY(s->open(track("first", ticks({10, 20}))));
        s->clickCell(0);
        click(s->cellPart(0, "descriptionEditor"));
        selectAllAndType(s->window, "x");
        s->clickCell(1);
        click(s->item("undoButton"));
        QVERIFY(canRedo());
        s->clickCell(1);
        click(s->cellPart(1, "descriptionEditor"));
        selectAllAndType(s->window, "y");
        s->clickCell(0);
        QVERIFY(canUndo());

        QVERIFY(s->open(track("second", ticks({5, 6, 7}))));
        QVERIFY(!canUndo());
        QVERIFY(!canRedo());
        QVERIFY(imageOf(s->item("undoButton")).endsWith("undo-disable-normal.png"));
        QVERIFY(imageOf(s->item("redoButton")).endsWith("redo-disable-normal.png"));
        QCOMPARE(s->entries().size(), 3);
        QCOMPARE(s->selection(), -1);

        QFile junk(dir.path() + "/junk.zip");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not an archive");
        junk.close();
        QVERIFY(!s->open(junk.fileName()));
        QVERIFY(s->entries().isEmpty());
        QVERIFY(s->marks().isEmpty());
        QVERIFY(!canUndo());
        QVERIFY(s->item("emptyMessage")->isVisible());
        // No track is open after a failed load: no title over the empty grid.
        QCOMPARE(s->host->title(), QString());
        QCOMPARE(s->item("titleText")->property("text").toString(), QString());

        // Insert and preview do nothing on an empty list.
        const QString picture = makePicture(dir.path() + "/p.jpg", QSize(40, 30), Qt::red);
        s->call("insertPictures", {QVariant(QVariantList{QUrl::fromLocalFile(picture)})});
        QVERIFY(s->entries().isEmpty());
        click(s->item("previewButton"));
        QVERIFY(!s->player());
    }

    void insertPlacesPicturesAfterTheSelection() {
        QVERIFY(s->open(track("insert", ticks({0, 300, 310}))));
        QVariantList urls;
        for (const char* name : {"board", "desk", "chart"})
            urls << QUrl::fromLocalFile(
                makePicture(dir.path() + "/" + name + ".png", QSize(64, 48), Qt::blue));
        s->clickCell(1);
        s->call("insertPictures", {QVariant(urls)});
        auto entries = s->entries();
        QCOMPARE(tickList(entries), (QList<int>{0, 300, 301, 302, 303, 310}));
        QCOMPARE(entries[2].description, QStringLiteral("board"));
        QCOMPARE(entries[4].description, QStringLiteral("chart"));
        for (int k = 2; k <= 4; ++k) {
            QCOMPARE(entries[k].level, QStringLiteral("-1"));
            QVERIFY(entries[k].id.startsWith('{'));
            QVERIFY(QFile::exists(QUrl(entries[k].sample).toLocalFile()));
        }
        QVERIFY(canUndo());
        QCOMPARE(s->marks().size(), 6);

        s->clickCell(4);
        click(s->item("undoButton"));
        QCOMPARE(tickList(s->entries()), (QList<int>{0, 300, 310}));
        QCOMPARE(s->selection(), 1);
        QCOMPARE(s->marks().size(), 3);

        // Nothing selected: from 00:00:01 on, behind the entries at tick 0.
        QVERIFY(s->open(track("insert", ticks({0, 0, 300}))));
        s->call("insertPictures", {QVariant(urls)});
        QCOMPARE(tickList(s->entries()), (QList<int>{0, 0, 1, 2, 3, 300}));
    }

    void classStructMarkIsNotUndoable() {
        QVERIFY(s->open(track("marks", ticks({10, 20, 30}))));
        s->clickCell(0);
        QQuickItem* badge = s->cellPart(0, "badge");
        QVERIFY(!badge->isVisible());
        QQuickItem* button = s->cellPart(0, "classStructButton");
        QVERIFY(imageOf(button).endsWith("class-struct-point-add.png"));
        click(button);
        QCOMPARE(s->entries()[0].level, QStringLiteral("1"));
        QVERIFY(badge->isVisible());
        QVERIFY(imageOf(button).endsWith("class-struct-point-cancel.png"));
        QCOMPARE(s->marks()[0].level, 1);
        QVERIFY(!canUndo());

        s->clickCell(1);
        QCOMPARE(s->marks()[0].color, QColor("#16A949"));
        QCOMPARE(s->marks()[2].color, QColor("#444749"));
        click(s->item("undoButton"));
        QCOMPARE(s->entries()[0].level, QStringLiteral("1"));

        s->clickCell(0);
        click(s->cellPart(0, "classStructButton"));
        QCOMPARE(s->entries()[0].level, QStringLiteral("-1"));
        QVERIFY(!s->cellPart(0, "badge")->isVisible());
        QCOMPARE(s->marks()[0].level, -1);
    }

    void deleteUndoRedo() {
        QVERIFY(s->open(track("delete", ticks({10, 20, 30}))));
        s->clickCell(1);
        click(s->cellPart(1, "deleteButton"));
        QCOMPARE(ids(s->entries()), (QStringList{"slide0001", "slide0003"}));
        QCOMPARE(s->selection(), 1);
        QCOMPARE(s->marks().size(), 2);
        QVERIFY(canUndo());

        click(s->item("undoButton"));
        QCOMPARE(ids(s->entries()), (QStringList{"slide0001", "slide0002", "slide0003"}));
        QCOMPARE(s->selection(), 1);
        QCOMPARE(s->currentMark(), 1);
        QCOMPARE(s->entries()[1].tick, 20);
        QCOMPARE(s->entries()[1].description, QStringLiteral("entry2"));
        click(s->item("redoButton"));
        QCOMPARE(ids(s->entries()), (QStringList{"slide0001", "slide0003"}));

        s->clickCell(1);
        click(s->cellPart(1, "deleteButton"));
        QCOMPARE(s->selection(), 0);
        click(s->cellPart(0, "deleteButton"));
        QVERIFY(s->entries().isEmpty());
        QCOMPARE(s->selection(), -1);
        QVERIFY(s->item("emptyMessage")->isVisible());
    }

    // Every kind of edit, saved, checked in the package and reopened.
    void saveWritesThePackage() {
        QVector<PackageEntry> entries = {
            {0, "start", "-1"}, {40, "stage one", "1"}, {90, "", ""},
            {150, "plain", ""}, {200, "gone", "-1"},    {260, "end", "-1"},
        };
        const QString package = track("saved", entries);
        QVERIFY(s->open(package));

        click(s->item("titleArea"));
        selectAllAndType(s->window, "Saved title");
        QTest::keyClick(s->window, Qt::Key_Return);
        s->clickCell(2);  // empty caption gains a text
        click(s->cellPart(2, "descriptionEditor"));
        selectAllAndType(s->window, "caption");
        s->clickCell(3);  // time of "plain" moves past "gone"
        click(s->cellPart(3, "timeEditor"));
        selectAllAndType(s->window, "000640");
        s->clickCell(4);
        // The clicked "gone" moved up by one as "plain" went to the end.
        QCOMPARE(s->selection(), 3);
        QCOMPARE(s->entries()[3].description, QStringLiteral("gone"));
        click(s->cellPart(3, "deleteButton"));
        QCOMPARE(s->selection(), 3);
        s->clickCell(4);
        click(s->cellPart(4, "classStructButton"));  // "plain", now last
        s->clickCell(1);
        const QString picture = makePicture(dir.path() + "/added.jpg", QSize(80, 60), Qt::green);
        s->call("insertPictures", {QVariant(QVariantList{QUrl::fromLocalFile(picture)})});

        const QVector<Entry> before = s->entries();
        QCOMPARE(tickList(before), (QList<int>{0, 40, 41, 90, 260, 400}));
        click(s->item("saveButton"));
        QVERIFY(canUndo());  // saving keeps the history
        QCOMPARE(s->selection(), 1);

        QTemporaryDir unpacked;
        QVERIFY(Packwell().UnZipFile(package.toStdString(), unpacked.path().toStdString(), "", "",
                                     "", false));
        QFile xml(unpacked.path() + "/saved/tracks.xml");
        QVERIFY(xml.open(QIODevice::ReadOnly));
        QDomDocument document;
        QVERIFY(document.setContent(&xml));
        const QDomElement top = document.documentElement();
        QCOMPARE(top.firstChildElement("track_name").text(), QStringLiteral("Saved title"));
        QMap<QString, QDomElement> byPicture;
        const QDomElement tracks = top.firstChildElement("tracks");
        for (QDomElement e = tracks.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
            byPicture.insert(e.firstChildElement("picture").text(), e);
        QCOMPARE(byPicture.size(), 6);
        QVERIFY(!byPicture.contains("slide0005.jpg"));
        for (const Entry& entry : before) {
            const QString name = QFileInfo(QUrl(entry.sample).toLocalFile()).fileName();
            QVERIFY2(byPicture.contains(name), qPrintable(name));
            const QDomElement e = byPicture[name];
            QCOMPARE(e.firstChildElement("ticks").text().toInt(), entry.tick);
            QCOMPARE(e.firstChildElement("description").text(), entry.description);
            QCOMPARE(e.firstChildElement("level").text(), entry.level);
            QVERIFY2(QFile::exists(unpacked.path() + "/saved/res/" + name), qPrintable(name));
        }
        QCOMPARE(byPicture[QFileInfo(QUrl(before[2].sample).toLocalFile()).fileName()]
                     .firstChildElement("action")
                     .text(),
                 QStringLiteral("manual import"));

        // Reopening gives the same track.
        QVERIFY(s->open(package));
        const QVector<Entry> after = s->entries();
        QCOMPARE(after.size(), before.size());
        for (int k = 0; k < after.size(); ++k) {
            QCOMPARE(after[k].id, before[k].id);
            // The host's URL of an inserted picture is percent-encoded, the
            // loaded one is not: the same file.
            QCOMPARE(QUrl(after[k].sample).toLocalFile(), QUrl(before[k].sample).toLocalFile());
            QCOMPARE(after[k].tick, before[k].tick);
            QCOMPARE(after[k].description, before[k].description);
            QCOMPARE(after[k].level, before[k].level);
        }
        QCOMPARE(s->host->title(), QStringLiteral("Saved title"));
    }

    void coloursAndPictureDecoding() {
        QVERIFY(s->open(track("colours", ticks({0, 30, 60}), QSize(1600, 1200))));
        s->clickCell(0);
        s->clickCell(1);
        click(s->cellPart(1, "classStructButton"));
        s->clickCell(0);  // 0 current, 1 a class-structure point, 2 ordinary
        QVERIFY(s->waitForPictures());

        // Pictures are decoded at the size they are shown, in the background.
        QQuickItem* picture = s->cellPart(0, "picture");
        QCOMPARE(picture->property("status").toInt(), 1);  // Image.Ready
        QVERIFY(picture->property("asynchronous").toBool());
        QCOMPARE(picture->property("sourceSize").toSize(), QSize(223, 163));
        QVERIFY(picture->implicitWidth() <= 223 && picture->implicitHeight() <= 163);

        QTest::qWait(100);
        const QImage grab = s->window->grabWindow();
        QVERIFY(!grab.isNull());
        QQuickWindow* w = s->window;
        QVERIFY(near(pixel(grab, w, QPointF(20, 5)), "#16A949"));
        QVERIFY(near(pixel(grab, w, QPointF(8, w->height() - 6)), "#222222"));
        QVERIFY(near(pixel(grab, w, QPointF(w->width() - 30, 300)), "#FAFDFC"));
        QVERIFY(near(pixel(grab, w, QPointF(20, 200)), "#FAFDFC"));
        // Picture frames: the rim left of the picture, active and inactive.
        QQuickItem* frame0 = s->cellPart(0, "frame");
        QQuickItem* frame2 = s->cellPart(2, "frame");
        QVERIFY(near(pixel(grab, w, frame0->mapToScene(QPointF(5.5, 100))), "#18A74B", 30));
        QVERIFY(near(pixel(grab, w, frame2->mapToScene(QPointF(5.5, 100))), "#ACB4B6", 30));
        // Tool strip on the selected cell.
        QVERIFY(near(pixel(grab, w, frame0->mapToScene(QPointF(118, 30))), "#16A949"));
        // Marks: current and class-structure green, ordinary dark with a light rim.
        const auto marks = s->marks();
        QVERIFY(near(pixel(grab, w, centreInWindow(marks[0])), "#16A949"));
        QVERIFY(near(pixel(grab, w, centreInWindow(marks[1])), "#16A949"));
        QVERIFY(near(pixel(grab, w, centreInWindow(marks[2]) + QPointF(-4, 0)), "#444749"));
        QVERIFY(near(pixel(grab, w, marks[2].rect.topLeft() + QPointF(8, 1)), "#E2E2E2", 40));
        QCOMPARE(marks[0].rect.width(), 24.0);
        if (!qEnvironmentVariableIsEmpty("REELWRIGHT_GRAB_DIR"))
            grab.save(qEnvironmentVariable("REELWRIGHT_GRAB_DIR") + "/editor.png");
    }
};

int runEditorTests(int argc, char** argv) {
    EditorTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_editor.moc"
