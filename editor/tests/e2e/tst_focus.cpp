// The keyboard stays with the teacher: after the title editor closes (Enter,
// Escape, a click elsewhere) the arrows, Delete and the history keys act on
// the grid again, and Enter on a selected cell edits its caption unless a tool
// shows that it has the focus. Real key and mouse events on the window.
#include "track_packages.h"

#include <session.h>

#include <QTemporaryDir>
#include <QTest>

#include <memory>

class FocusTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    std::unique_ptr<Session> s;

    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(s->window, k, modifiers);
        QTest::qWait(10);
    }
    bool dialogShown(const char* name) const {
        QObject* dialog = s->object(name);
        return dialog && dialog->property("visible").toBool();
    }
    void editTitle(const QString& text) {
        click(s->item("titleArea"));
        QVERIFY(s->item("titleEditor")->hasActiveFocus());
        selectAllAndType(s->window, text);
    }
    // The arrows select, Delete deletes, Ctrl+Z and Ctrl+Y walk the history.
    // Callers check QTest::currentTestFailed() afterwards.
    void expectGridKeys() {
        QVERIFY(!s->item("titleEditor")->isVisible());
        const int count = s->entries().size();
        key(Qt::Key_Right);
        QCOMPARE(s->selection(), 1);
        key(Qt::Key_Left);
        QCOMPARE(s->selection(), 0);
        key(Qt::Key_Delete);
        QCOMPARE(s->entries().size(), count - 1);
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->entries().size(), count);
        key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(s->entries().size(), count - 1);
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->entries().size(), count);
    }

private slots:
    void init() {
        s = std::make_unique<Session>();
        QVERIFY(s->open(makeTrack(dir.path(), "focus", ticks({10, 20, 30}))));
        s->clickCell(0);
    }
    void cleanup() { s.reset(); }

    void enterClosesTheTitleEditorAndFreesTheKeys() {
        editTitle("Neuer Titel");
        key(Qt::Key_Return);
        QCOMPARE(s->host->title(), QStringLiteral("Neuer Titel"));
        expectGridKeys();
        if (QTest::currentTestFailed())
            return;
        // The title's own change is still in the history, under the others.
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(s->host->title(), QStringLiteral("focus 课题"));
    }

    void escapeClosesTheTitleEditorAndFreesTheKeys() {
        editTitle("dropped");
        key(Qt::Key_Escape);
        QCOMPARE(s->host->title(), QStringLiteral("focus 课题"));
        expectGridKeys();
        if (QTest::currentTestFailed())
            return;
    }

    // A click on a cell closes the title editor, keeps the typed title and
    // gives the keyboard to the grid; so does a click on the grid's empty part.
    void aClickElsewhereClosesTheTitleEditor() {
        editTitle("Clicked away");
        s->clickCell(1);
        QVERIFY(!s->item("titleEditor")->isVisible());
        QCOMPARE(s->host->title(), QStringLiteral("Clicked away"));
        QCOMPARE(s->selection(), 1);
        key(Qt::Key_Left);
        QCOMPARE(s->selection(), 0);
        expectGridKeys();
        if (QTest::currentTestFailed())
            return;

        editTitle("On the empty grid");
        QQuickItem* grid = s->item("trackViewer");
        click(grid, QPointF(grid->width() - 10, grid->height() - 10));
        QVERIFY(!s->item("titleEditor")->isVisible());
        QCOMPARE(s->host->title(), QStringLiteral("On the empty grid"));
        expectGridKeys();
        if (QTest::currentTestFailed())
            return;
    }

    // A tool focused with Tab keeps Enter while its ring shows; a click on a
    // cell takes the focus (and the ring) away, and Enter edits the caption.
    void enterOnASelectedCellAfterATool() {
        key(Qt::Key_Escape);
        key(Qt::Key_Tab);
        for (int k = 0; k < 4; ++k)
            key(Qt::Key_Tab);
        QQuickItem* insert = s->item("insertButton");
        QVERIFY(insert->hasActiveFocus());
        s->clickCell(1);
        QVERIFY(!insert->hasActiveFocus());
        key(Qt::Key_Return);
        QVERIFY(!dialogShown("insertDialog"));
        QVERIFY(s->cellPart(1, "descriptionEditor")->hasActiveFocus());
        // Enter again gives the keyboard back with the text kept.
        typeText(s->window, "!");
        key(Qt::Key_Return);
        key(Qt::Key_Right);
        QCOMPARE(s->selection(), 2);
        QCOMPARE(s->entries()[1].description, QStringLiteral("entry2!"));
    }
};

int runFocusTests(int argc, char** argv) {
    FocusTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_focus.moc"
