import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/controls"
import "qrc:/qml/editor"

// The grid cell as the main window uses it: the editors start from the stored
// values at each selection, follow changes made meanwhile, and report whether
// the time was touched.
Item {
    id: root

    width: 600
    height: 300

    ListModel { id: model }

    GridView {
        id: grid

        anchors.fill: parent
        cellWidth: 254
        cellHeight: 264
        currentIndex: -1
        model: model
        delegate: TrackCell {
            sample: model.sample
            timeTick: model.timeTick
            description: model.description
            level: model.level
            onStageToggleClicked: root.toggled = index
        }
    }

    property int toggled: -1

    TestCase {
        name: "TrackCell"
        when: windowShown

        function cell(k) {
            var item = grid.itemAtIndex(k);
            verify(item, "cell " + k);
            return item;
        }

        function part(k, name) {
            var item = findChild(cell(k), name);
            verify(item, name);
            return item;
        }

        function init() {
            grid.currentIndex = -1;
            model.clear();
            model.append({ sample: "", timeTick: 65, description: "first", level: "1" });
            model.append({ sample: "", timeTick: 360005, description: "second", level: "-1" });
            root.toggled = -1;
            waitForRendering(grid);
        }

        function test_unselectedShowsStoredValues() {
            verify(!cell(0).selected);
            compare(part(0, "timeBar").children[0].text, "00:01:05");
            compare(part(1, "timeBar").children[0].text, "100:00:05");
            verify(part(0, "badge").visible);
            verify(!part(1, "badge").visible);
            verify(!part(0, "toolStrip").visible);
        }

        function test_selectionStartsTheEditors() {
            grid.currentIndex = 0;
            verify(cell(0).selected);
            verify(part(0, "toolStrip").visible);
            compare(cell(0).editedDescription(), "first");
            compare(cell(0).editedTime(), "00:01:05");
            verify(!cell(0).timeEdited());
        }

        // Typed text of an earlier selection is dropped.
        function test_reselectionDropsTypedText() {
            grid.currentIndex = 0;
            part(0, "descriptionEditor").text = "typed";
            part(0, "timeEditor").text = "00:02:00";
            verify(cell(0).timeEdited());
            grid.currentIndex = 1;
            grid.currentIndex = 0;
            compare(cell(0).editedDescription(), "first");
            compare(cell(0).editedTime(), "00:01:05");
            verify(!cell(0).timeEdited());
        }

        // Undo and redo change the stored values under a selected cell.
        function test_selectedEditorsFollowStoredChanges() {
            grid.currentIndex = 0;
            model.setProperty(0, "description", "changed");
            model.setProperty(0, "timeTick", 3600);
            compare(cell(0).editedDescription(), "changed");
            compare(cell(0).editedTime(), "01:00:00");
            verify(!cell(0).timeEdited());
        }

        function test_stageButtonReportsItsCell() {
            grid.currentIndex = 1;
            compare(part(1, "classStructButton").imageNormal,
                    "qrc:/image/class-struct-point-add.png");
            mouseClick(part(1, "classStructButton"));
            compare(root.toggled, 1);
            model.setProperty(1, "level", "1");
            compare(part(1, "classStructButton").imageNormal,
                    "qrc:/image/class-struct-point-cancel.png");
            verify(part(1, "badge").visible);
        }
    }
}
