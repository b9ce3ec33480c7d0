import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/controls"
import "qrc:/qml/editor"

// The editor's title bar on its own: the title edited in place, reported once
// and only when changed; insert reported only while there is a track.
Item {
    id: root

    width: 1000
    height: 100

    EditorTitleBar {
        id: bar

        width: root.width
        title: "Lesson"
    }

    SignalSpy { id: edited; target: bar; signalName: "titleEdited" }
    SignalSpy { id: inserted; target: bar; signalName: "insertClicked" }
    SignalSpy { id: undone; target: bar; signalName: "undoClicked" }

    TestCase {
        name: "EditorTitleBar"
        when: windowShown

        function part(name) {
            var item = findChild(bar, name);
            verify(item, name);
            return item;
        }

        function init() {
            bar.closeEditor();
            bar.title = "Lesson";
            bar.canInsert = false;
            bar.canUndo = false;
            edited.clear();
            inserted.clear();
            undone.clear();
        }

        function startEditing() {
            mouseClick(part("titleArea"));
            verify(part("titleArea").editing);
            verify(part("titleEditor").activeFocus);
            compare(part("titleEditor").text, "Lesson");
        }

        function startEditingWith(text) {
            mouseClick(part("titleArea"));
            compare(part("titleEditor").text, text);
        }

        function test_returnReportsTheNewTitleOnce() {
            startEditing();
            keyClick(Qt.Key_End);
            keyClick(Qt.Key_S);
            keyClick(Qt.Key_Return);
            verify(!part("titleArea").editing);
            compare(edited.count, 1);
            compare(edited.signalArguments[0][0], "Lessons");
            // A second Return with the editor closed reports nothing.
            keyClick(Qt.Key_Return);
            bar.closeEditor();
            compare(edited.count, 1);
        }

        function test_unchangedTitleIsNoEdit() {
            startEditing();
            keyClick(Qt.Key_Return);
            verify(!part("titleArea").editing);
            compare(edited.count, 0);
        }

        // The shown title follows `title`, also while the window holds it.
        function test_titleFollowsTheProperty() {
            bar.title = "Second";
            compare(part("titleText").text, "Second");
            startEditingWith("Second");
            keyClick(Qt.Key_Return);
            compare(edited.count, 0);
        }

        function test_insertOnlyWithATrack() {
            mouseClick(part("insertButton"));
            compare(inserted.count, 0);
            compare(part("insertButton").imageNormal, "qrc:/image/insert-disable-normal.png");
            bar.canInsert = true;
            compare(part("insertButton").imageNormal, "qrc:/image/insert-enable-normal.png");
            mouseClick(part("insertButton"));
            compare(inserted.count, 1);
        }

        // Undo is reported whatever its look: the window decides.
        function test_undoLookFollowsCanUndo() {
            compare(part("undoButton").imageNormal, "qrc:/image/undo-disable-normal.png");
            bar.canUndo = true;
            compare(part("undoButton").imageNormal, "qrc:/image/undo-enable-normal.png");
            mouseClick(part("undoButton"));
            compare(undone.count, 1);
        }

        // The tools stand 72 pixels apart from x 48, centred in the 72-pixel bar.
        function test_toolPositions() {
            compare(bar.height, 72);
            var names = ["openButton", "undoButton", "redoButton", "saveButton", "insertButton"];
            for (var k = 0; k < names.length; ++k) {
                var p = part(names[k]).mapToItem(bar, 0, 0);
                compare(p.x, 48 + 72 * k, names[k]);
                compare(p.y, 24, names[k]);
            }
            var close = part("closeButton").mapToItem(bar, 0, 0);
            compare(close.x, bar.width - 24 - 24);
        }
    }
}
