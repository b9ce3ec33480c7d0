// The editor in a teacher's hands: every tool from the keyboard (real key
// events on the windows), controls that take the focus and say what they are,
// titles that leave the tools alone, pictures whose names hold URL characters,
// a readable timeline, a tips bar that stays on screen, and an import that says
// what it is doing before the window freezes.
#include "track_packages.h"

#include <session.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

// The Accessible attached object of a QML item, or null.
QObject* accessibleOf(QObject* item) {
    for (QObject* child : item->children()) {
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child;
    }
    return nullptr;
}

QString accessibleName(QObject* item) {
    QObject* attached = item ? accessibleOf(item) : nullptr;
    return attached ? attached->property("name").toString() : QString();
}

// The focus ring child of a control, or null.
QQuickItem* focusRing(QQuickItem* control) {
    for (QQuickItem* child : control->childItems()) {
        if (QByteArray(child->metaObject()->className()).startsWith("FocusRing_QMLTYPE"))
            return child;
    }
    return nullptr;
}

QRectF sceneRect(QQuickItem* item) {
    return QRectF(item->mapToScene(QPointF(0, 0)), QSizeF(item->width(), item->height()));
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<Session> s;

    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(s->window, k, modifiers);
        QTest::qWait(10);
    }
    QVariant activeFocusName() const {
        QQuickItem* focused = s->window->activeFocusItem();
        return focused ? focused->objectName() : QString();
    }
    bool dialogShown(const char* name) const {
        QObject* dialog = s->object(name);
        if (!dialog)
            qWarning() << "no dialog" << name;
        return dialog && dialog->property("visible").toBool();
    }
    // Cancels a file dialog and gives the keyboard back to the main window.
    void dismiss(const char* name) {
        QVERIFY(s->object(name));
        QMetaObject::invokeMethod(s->object(name), "reject");
        QTRY_VERIFY(!dialogShown(name));
        // The main window counts as active while its hidden dialog still has
        // the focus (no window manager hands it back under Xvfb).
        s->window->requestActivate();
        QTRY_COMPARE(QGuiApplication::focusWindow(), static_cast<QWindow*>(s->window));
    }
    QString notice() const {
        QQuickItem* bar = s->item("noticeBar");
        return bar && bar->isVisible() ? s->item("noticeText")->property("text").toString()
                                       : QString();
    }
    // Keeps a grab for a person to look at when REELWRIGHT_GRAB_DIR is set.
    static void keep(QQuickWindow* window, const QString& name) {
        const QString folder = qEnvironmentVariable("REELWRIGHT_GRAB_DIR");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        window->grabWindow().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
    QString picture(const QString& name, const QColor& colour = Qt::darkCyan) {
        return makePicture(dir.path() + QLatin1Char('/') + name, QSize(120, 90), colour);
    }

private slots:
    void init() { s = std::make_unique<Session>(); }
    void cleanup() { s.reset(); }

    // Undo, redo, insert and preview keys do nothing while their tools would not.
    void shortcutsFollowTheToolsEnabledStates() {
        key(Qt::Key_Z, Qt::ControlModifier);
        key(Qt::Key_I, Qt::ControlModifier);
        QVERIFY(!dialogShown("insertDialog"));
        key(Qt::Key_F5);
        QVERIFY(!s->player());
        key(Qt::Key_Right);
        key(Qt::Key_Delete);

        QVERIFY(s->open(makeTrack(dir.path(), "states", ticks({10, 20}))));
        key(Qt::Key_Z, Qt::ControlModifier);
        key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(s->entries().size(), 2);
        QVERIFY(!s->property("canUndo").toBool());
        QCOMPARE(s->selection(), -1);
        key(Qt::Key_Delete);  // nothing selected
        QCOMPARE(s->entries().size(), 2);
    }

    // Arrows move and commit, Enter types into the caption, Delete deletes,
    // Ctrl+Z / Ctrl+Y / Ctrl+Shift+Z walk the history, Ctrl+S saves.
    void gridAndHistoryFromTheKeyboard() {
        QVERIFY(s->open(makeTrack(dir.path(), "grid", ticks({10, 20, 30}))));
        key(Qt::Key_Right);
        QCOMPARE(s->selection(), 0);
        QCOMPARE(s->currentMark(), 0);
        key(Qt::Key_Right);
        key(Qt::Key_Right);
        key(Qt::Key_Right);  // stays on the last
        QCOMPARE(s->selection(), 2);
        key(Qt::Key_Left);
        key(Qt::Key_Left);
        QCOMPARE(s->selection(), 0);

        // Enter: the caption editor; the arrows then edit the text.
        key(Qt::Key_Return);
        QQuickItem* caption = s->cellPart(0, "descriptionEditor");
        QVERIFY(caption->hasActiveFocus());
        selectAllAndType(s->window, "kept");
        key(Qt::Key_Left);
        key(Qt::Key_Delete);  // in the text: deletes the "t"
        QCOMPARE(caption->property("text").toString(), QStringLiteral("kep"));
        QCOMPARE(s->selection(), 0);
        QCOMPARE(s->entries().size(), 3);
        typeText(s->window, "t");
        // Enter again leaves the editor with its text; moving commits it.
        key(Qt::Key_Return);
        QVERIFY(!caption->hasActiveFocus());
        QCOMPARE(s->entries()[0].description, QStringLiteral("entry1"));
        key(Qt::Key_Right);
        QCOMPARE(s->selection(), 1);
        QCOMPARE(s->entries()[0].description, QStringLiteral("kept"));
        QVERIFY(s->property("canUndo").toBool());

        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->entries()[0].description, QStringLiteral("entry1"));
        QCOMPARE(s->selection(), 0);
        key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(s->entries()[0].description, QStringLiteral("kept"));
        key(Qt::Key_Z, Qt::ControlModifier);
        key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(s->entries()[0].description, QStringLiteral("kept"));

        // Inside a text editor Ctrl+Z undoes the typing, not the track.
        key(Qt::Key_Return);
        QVERIFY(s->cellPart(0, "descriptionEditor")->hasActiveFocus());
        typeText(s->window, "xy");
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->entries()[0].description, QStringLiteral("kept"));
        QVERIFY(s->property("canUndo").toBool());
        key(Qt::Key_Escape);

        // Delete on the grid deletes the selected entry; the next one follows.
        key(Qt::Key_Right);
        QCOMPARE(s->selection(), 1);
        key(Qt::Key_Delete);
        QCOMPARE(s->entries().size(), 2);
        QCOMPARE(s->entries()[1].description, QStringLiteral("entry3"));
        QCOMPARE(s->selection(), 1);
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->entries().size(), 3);

        key(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(notice(), QStringLiteral("已保存"));
        QVERIFY(!s->property("modified").toBool());
    }

    // Up and Down go a row at a time and scroll the selected cell into view.
    void upAndDownScrollTheGrid() {
        QVector<PackageEntry> many;
        for (int k = 0; k < 40; ++k)
            many.append({k * 10, QStringLiteral("e%1").arg(k), QStringLiteral("-1")});
        QVERIFY(s->open(makeTrack(dir.path(), "rows", many, QSize(64, 48))));
        QQuickItem* grid = s->item("trackViewer");
        const int columns = qMax(1, int(grid->width() / 254));
        key(Qt::Key_Down);  // from nothing: the first
        QCOMPARE(s->selection(), 0);
        key(Qt::Key_Down);
        QCOMPARE(s->selection(), columns);
        key(Qt::Key_Up);
        QCOMPARE(s->selection(), 0);
        key(Qt::Key_Up);
        QCOMPARE(s->selection(), 0);
        for (int k = 1; k < columns; ++k)
            key(Qt::Key_Right);
        QCOMPARE(s->selection(), columns - 1);
        for (int k = 0; k < 40; ++k)
            key(Qt::Key_Down);
        // From the last column the last row, short or not, ends on the last entry.
        QCOMPARE(s->selection(), 39);
        QVERIFY(grid->property("contentY").toReal() > 0);
        QQuickItem* selected = grid->property("currentItem").value<QQuickItem*>();
        QVERIFY(selected);
        const QRectF cell = sceneRect(selected);
        const QRectF view = sceneRect(grid);
        QVERIFY2(cell.top() >= view.top() - 0.5 && cell.bottom() <= view.bottom() + 0.5,
                 qPrintable(QString("cell %1..%2 view %3..%4")
                                .arg(cell.top())
                                .arg(cell.bottom())
                                .arg(view.top())
                                .arg(view.bottom())));
    }

    // Escape closes the open editors and keeps the stored values.
    void escapeDropsWhatWasTyped() {
        QVERIFY(s->open(makeTrack(dir.path(), "escape", ticks({10, 20}))));
        s->clickCell(0);
        click(s->cellPart(0, "timeEditor"));
        selectAllAndType(s->window, "000500");
        QTest::keyClick(s->window, Qt::Key_Tab);
        selectAllAndType(s->window, "dropped");
        key(Qt::Key_Escape);
        QCOMPARE(s->cellPart(0, "descriptionEditor")->property("text").toString(),
                 QStringLiteral("entry1"));
        QCOMPARE(s->cellPart(0, "timeEditor")->property("text").toString(),
                 QStringLiteral("00:00:10"));
        QVERIFY(!s->cellPart(0, "descriptionEditor")->hasActiveFocus());
        key(Qt::Key_Right);
        QCOMPARE(s->selection(), 1);
        QCOMPARE(s->entries()[0].tick, 10);
        QCOMPARE(s->entries()[0].description, QStringLiteral("entry1"));
        QVERIFY(!s->property("canUndo").toBool());

        click(s->item("titleArea"));
        selectAllAndType(s->window, "Not this");
        key(Qt::Key_Escape);
        QVERIFY(!s->item("titleEditor")->isVisible());
        QCOMPARE(s->host->title(), QStringLiteral("escape 课题"));
        QVERIFY(!s->property("canUndo").toBool());
    }

    // Ctrl+O and Ctrl+I show their dialogs; F5 previews; in the player the
    // arrows step, Space plays and pauses, Escape closes.
    void dialogsAndPreviewKeys() {
        key(Qt::Key_O, Qt::ControlModifier);
        QTRY_VERIFY(dialogShown("openDialog"));
        dismiss("openDialog");

        QVERIFY(s->open(makeTrack(dir.path(), "preview", ticks({0, 20, 40}))));
        key(Qt::Key_I, Qt::ControlModifier);
        QTRY_VERIFY(dialogShown("insertDialog"));
        dismiss("insertDialog");

        key(Qt::Key_Right);
        QCOMPARE(s->selection(), 0);
        key(Qt::Key_F5);
        QQuickWindow* player = s->player();
        QVERIFY(player);
        QVERIFY(QTest::qWaitForWindowExposed(player));
        player->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(player));
        QQuickItem* timeLine = s->playerItem("timeLine");
        QCOMPARE(timeLine->property("currentIndex").toInt(), 0);
        QTest::keyClick(player, Qt::Key_Right);
        QCOMPARE(timeLine->property("currentIndex").toInt(), 1);
        QTest::keyClick(player, Qt::Key_Left);
        QCOMPARE(timeLine->property("currentIndex").toInt(), 0);
        QObject* playTimer = player->property("playTimer").value<QObject*>();
        QTest::keyClick(player, Qt::Key_Space);
        QVERIFY(playTimer->property("running").toBool());
        QCOMPARE(accessibleName(s->playerItem("playButton")), QStringLiteral("暂停"));
        QTest::keyClick(player, Qt::Key_Space);
        QVERIFY(!playTimer->property("running").toBool());
        QCOMPARE(accessibleName(s->playerItem("playButton")), QStringLiteral("播放"));
        QTest::keyClick(player, Qt::Key_Escape);
        QTRY_VERIFY(!s->player());
    }

    // Tab reaches the tools in order, each shows the focus and acts on Space
    // or Enter; every control has its Chinese name.
    void controlsTakeTheFocusAndSayWhatTheyAre() {
        QVERIFY(s->open(makeTrack(dir.path(), "focus", ticks({10, 20}))));
        const QList<QPair<const char*, const char*>> names = {
            {"openButton", "打开"},  {"undoButton", "撤销"},       {"redoButton", "重做"},
            {"saveButton", "保存"},  {"insertButton", "插入图片"}, {"minimumButton", "最小化"},
            {"closeButton", "关闭"}, {"previewButton", "预览"},
        };
        for (const auto& pair : names)
            QCOMPARE(accessibleName(s->item(pair.first)), QString::fromUtf8(pair.second));
        s->clickCell(0);
        QCOMPARE(accessibleName(s->cellPart(0, "deleteButton")), QStringLiteral("删除"));
        QQuickItem* stage = s->cellPart(0, "classStructButton");
        QCOMPARE(accessibleName(stage), QStringLiteral("设为课堂结构点"));
        click(stage);
        QCOMPARE(accessibleName(stage), QStringLiteral("取消课堂结构点"));

        key(Qt::Key_Escape);  // the keyboard to the window, no control focused
        key(Qt::Key_Tab);
        QQuickItem* open = s->item("openButton");
        QVERIFY(open->hasActiveFocus());
        QQuickItem* ring = focusRing(open);
        QVERIFY(ring && ring->isVisible());
        QVERIFY(!focusRing(s->item("undoButton"))->isVisible());
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        QVERIFY(s->item("saveButton")->hasActiveFocus());
        QVERIFY(!ring->isVisible());
        keep(s->window, "keyboard-focus");
        QVERIFY(s->property("modified").toBool());
        key(Qt::Key_Space);
        QCOMPARE(notice(), QStringLiteral("已保存"));
        QVERIFY(!s->property("modified").toBool());
        key(Qt::Key_Tab);
        QVERIFY(s->item("insertButton")->hasActiveFocus());
        key(Qt::Key_Return);
        QTRY_VERIFY(dialogShown("insertDialog"));
        dismiss("insertDialog");
        // The title comes next; Enter opens its editor.
        s->item("insertButton")->forceActiveFocus();
        key(Qt::Key_Tab);
        QVERIFY2(s->item("titleArea")->hasActiveFocus(), qPrintable(activeFocusName().toString()));
        key(Qt::Key_Return);
        QVERIFY(s->item("titleEditor")->isVisible());
        QVERIFY(s->item("titleEditor")->hasActiveFocus());
    }

    // A long title is elided between the insert tool and the window buttons;
    // the insert tool stays clickable. An empty title keeps a target and a hint.
    void titlesFitBetweenTheTools() {
        // Before a track is open the title area is empty and quiet.
        QVERIFY(!s->item("titleHint")->isVisible());
        QVERIFY(s->item("titleArea")->width() >= 120);
        QVERIFY(s->open(makeTrack(dir.path(), "title", ticks({10, 20}))));
        s->clickCell(0);
        click(s->cellPart(0, "classStructButton"));  // a change: the "*" shows
        s->host->setTitle(QString(120, QChar(0x8BFE)) + QStringLiteral(" end"));
        QQuickItem* area = s->item("titleArea");
        QQuickItem* insert = s->item("insertButton");
        QQuickItem* minimum = s->item("minimumButton");
        QQuickItem* mark = s->item("modifiedMark");
        QVERIFY(mark->isVisible());
        const QRectF title = sceneRect(area);
        QVERIFY2(title.left() > sceneRect(insert).right(),
                 qPrintable(QString::number(title.left())));
        QVERIFY(sceneRect(mark).right() <= sceneRect(minimum).left());
        QVERIFY(s->item("titleText")->property("truncated").toBool());
        keep(s->window, "title-long");

        click(insert);
        QVERIFY(!s->item("titleEditor")->isVisible());
        QTRY_VERIFY(dialogShown("insertDialog"));
        dismiss("insertDialog");

        // The editor gets the same room.
        click(area);
        QQuickItem* editor = s->item("titleEditor");
        QVERIFY(editor->isVisible());
        QVERIFY(sceneRect(area).left() > sceneRect(insert).right());
        QVERIFY(sceneRect(area).right() <= sceneRect(minimum).left());
        QVERIFY(sceneRect(editor).right() <= sceneRect(area).right());
        key(Qt::Key_Escape);

        s->host->setTitle(QString());
        QVERIFY(area->width() >= 120);
        QQuickItem* hint = s->item("titleHint");
        QVERIFY(hint->isVisible());
        QCOMPARE(hint->property("text").toString(), QStringLiteral("点击输入标题"));
        keep(s->window, "title-empty");
        click(area, QPointF(area->width() - 10, area->height() / 2));
        QVERIFY(editor->isVisible());
        QVERIFY(!hint->isVisible());
        typeText(s->window, "Short");
        key(Qt::Key_Return);
        QCOMPARE(s->host->title(), QStringLiteral("Short"));
        QCOMPARE(area->width(), s->item("titleText")->property("contentWidth").toReal() + 8);
    }

    // Picture names with "#", "?" and "%" show, in the grid and in the player.
    void pictureNamesWithUrlCharacters() {
        QVERIFY(s->open(makeTrack(dir.path(), "names", ticks({10}))));
        const QStringList names = {"a#b.jpg", "c?.jpg", "50%.jpg", "空 格.jpg"};
        s->call("clearTimeLine");
        int tick = 0;
        for (const QString& name : names) {
            const QString path = picture(name);
            QVERIFY(!path.isEmpty());
            s->call("appendItem", {name, path, ++tick, name, "-1"});
        }
        s->call("resetTimeLine");
        const auto entries = s->entries();
        for (int k = 0; k < names.size(); ++k) {
            QVERIFY2(entries[k].sample.startsWith("file:///"), qPrintable(entries[k].sample));
            QCOMPARE(QUrl(entries[k].sample).toLocalFile(), dir.path() + "/" + names[k]);
        }
        for (int k = 0; k < names.size(); ++k)
            QTRY_COMPARE(s->cellPart(k, "picture")->property("status").toInt(), 1);  // Ready
        // A URL from the host is kept as it is.
        const QString url = QUrl::fromLocalFile(picture("d#e.jpg")).toString();
        s->call("appendItem", {"url", url, 9, "url", "-1"});
        QCOMPARE(s->entries().last().sample, url);

        s->clickCell(0);
        key(Qt::Key_F5);
        QVERIFY(s->player());
        QTRY_COMPARE(s->playerItem("picture")->property("status").toInt(), 1);
    }

    // Hovering a mark names it; the hovered mark comes to the front and
    // class-structure marks stay above the ordinary ones they overlap.
    void timelineMarksShowTheirTimeAndCaption() {
        QVector<PackageEntry> dense = {{0, "start", "-1"},
                                       {1, "stage", "1"},
                                       {2, "next", "-1"},
                                       {3, "other", "-1"},
                                       {600, "end", "-1"}};
        QVERIFY(s->open(makeTrack(dir.path(), "dense", dense)));
        const auto marks = s->marks();
        QCOMPARE(marks.size(), 5);
        QTest::qWait(100);
        QImage grab = s->window->grabWindow();
        // The class-structure point shows green although later ordinary marks
        // lie over it.
        QVERIFY(near(pixel(grab, s->window, centreInWindow(marks[1]) + QPointF(-2, 0)), "#16A949"));
        QVERIFY(marks[1].z > marks[2].z);

        QQuickItem* tip = s->item("markTip");
        QVERIFY(!tip->isVisible());
        QTest::mouseMove(s->window, centreInWindow(marks[4]).toPoint());
        QTRY_VERIFY(tip->isVisible());
        QCOMPARE(s->item("markTipText")->property("text").toString(),
                 QStringLiteral("00:10:00  end"));
        // Above the control bar's marks and inside the window.
        QVERIFY(sceneRect(tip).bottom() <= marks[4].rect.top());
        QVERIFY(sceneRect(tip).right() <= s->window->width());
        keep(s->window, "timeline-tip");

        // The ordinary mark under the pointer is drawn over the stage mark.
        QTest::mouseMove(s->window, (centreInWindow(marks[3]) + QPointF(7, 0)).toPoint());
        QTRY_COMPARE(s->item("markTipText")->property("text").toString(),
                     QStringLiteral("00:00:03  other"));
        QVERIFY(s->marks()[3].z > s->marks()[1].z);
        // A caption changed in the grid is what the tooltip shows.
        s->clickCell(3);
        click(s->cellPart(3, "descriptionEditor"));
        selectAllAndType(s->window, "renamed");
        s->clickCell(4);
        QCOMPARE(s->marks()[3].description, QStringLiteral("renamed"));
        QTest::mouseMove(s->window, QPoint(s->window->width() / 2, s->window->height() / 2));
        QTRY_VERIFY(!tip->isVisible());
    }

    // The tips bar stays inside the picture area with its close button.
    void tipsBarStaysOnScreen() {
        const QString longCaption = QString(160, QChar(0x957F));
        QVERIFY(
            s->open(makeTrack(dir.path(), "tips",
                              {{0, "first", "-1"}, {30, "mid", "-1"}, {600, longCaption, "-1"}})));
        s->clickCell(0);
        click(s->item("previewButton"));
        QQuickWindow* player = s->player();
        QVERIFY(player);
        QVERIFY(QTest::qWaitForWindowExposed(player));
        QQuickItem* tips = s->playerItem("tipsBar");
        QQuickItem* area = s->playerItem("pictureArea");
        QTRY_VERIFY(tips->isVisible());
        QCOMPARE(sceneRect(tips).left(), sceneRect(area).left());

        player->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(player));
        QTest::keyClick(player, Qt::Key_Right);
        QTest::keyClick(player, Qt::Key_Right);
        QCOMPARE(s->playerItem("timeLine")->property("currentIndex").toInt(), 2);
        const QRectF bar = sceneRect(tips);
        QVERIFY(bar.left() >= sceneRect(area).left());
        QVERIFY2(bar.right() <= sceneRect(area).right(), qPrintable(QString::number(bar.right())));
        QVERIFY(s->playerItem("tipsText")->property("truncated").toBool());
        keep(player, "tips-late");
        QQuickItem* close = s->playerItem("tipsCloseButton");
        QVERIFY(sceneRect(close).right() <= player->width());
        click(close);
        QVERIFY(!tips->isVisible());
    }

    // The insert dialog's import says what it is doing and lets that be drawn
    // before the window blocks, then reports as usual.
    void importAnnouncesItself() {
        QVERIFY(s->open(makeTrack(dir.path(), "import", ticks({10, 20}))));
        const QVariantList urls = {QUrl::fromLocalFile(picture("one.jpg")),
                                   QUrl::fromLocalFile(picture("two.jpg"))};
        s->call("startImport", {QVariant(urls)});
        QCOMPARE(notice(), QStringLiteral("正在导入图片…（2 张）"));
        QCOMPARE(s->entries().size(), 2);  // not yet
        QTRY_COMPARE(s->entries().size(), 4);
        // Started by drawn frames, not by the fallback for a hidden window.
        QCOMPARE(s->property("importFrames").toInt(), 2);
        QCOMPARE(notice(), QString());
        QVERIFY(s->property("canUndo").toBool());
    }
};

int runKeyboardTests(int argc, char** argv) {
    KeyboardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keyboard.moc"
