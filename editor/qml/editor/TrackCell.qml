import QtQuick 2.12
import "../controls"

// One entry of the editor's grid: the picture in its frame, the stage badge,
// and the description and time under it. The selected cell shows its tool
// strip and edits description and time in place; the window reads the edits
// back through editedDescription(), editedTime() and timeEdited().
Item {
    id: cell

    property string sample: ""
    property real timeTick: 0
    property string description: ""
    property string level: ""

    signal selectClicked()
    signal stageToggleClicked()
    signal deleteClicked()
    // Enter in an editor: the keyboard goes back to the grid, the typed text
    // stays (it counts when the selection moves, as always).
    signal editorsLeft()

    readonly property bool selected: GridView.isCurrentItem
    readonly property bool isStage: level === "1"
    property string shownTime: ""

    // Enter on the selected cell: type into its caption, cursor at the end.
    function focusCaption() {
        descriptionEditor.forceActiveFocus();
        descriptionEditor.cursorPosition = descriptionEditor.text.length;
    }

    function editedDescription() { return descriptionEditor.text; }
    function editedTime() { return timeEditor.text; }
    function timeEdited() { return timeEditor.text !== shownTime; }

    // The editors start from the stored values whenever the cell becomes
    // selected (typed text of an earlier selection is dropped) and follow
    // changes made by commands meanwhile.
    function resetEditors() {
        descriptionEditor.text = description;
        resetTimeEditor();
    }
    function resetTimeEditor() {
        timeEditor.text = TrackTime.timeTickToString(timeTick);
        shownTime = timeEditor.text;
    }

    width: 254
    height: 264
    z: selected ? 1 : 0

    onSelectedChanged: {
        if (selected)
            resetEditors();
    }
    onDescriptionChanged: {
        if (selected)
            descriptionEditor.text = description;
    }
    onTimeTickChanged: {
        if (selected)
            resetTimeEditor();
    }
    Component.onCompleted: {
        if (selected)
            resetEditors();
    }

    MouseArea {
        anchors.fill: parent
        onClicked: cell.selectClicked()
    }

    BorderImage {
        id: frame
        objectName: "frame"
        width: 237
        height: 178
        y: 36
        anchors.horizontalCenter: parent.horizontalCenter
        source: cell.selected ? "qrc:/image/boder-image-active.png"
                              : "qrc:/image/boder-image-inactive.png"
        border.left: 7; border.top: 2; border.right: 7; border.bottom: 13

        Image {
            objectName: "picture"
            x: 7; y: 2
            width: 223; height: 163
            asynchronous: true
            // Decoded by the host at the size it takes on the screen (the
            // engine asks for device pixels); a picture too large to decode
            // comes as a placeholder.
            sourceSize.width: 223
            sourceSize.height: 163
            source: cell.sample ? "image://picture/" + cell.sample : ""
            // About the frame's shape (a 4:3 slide), it fills the frame;
            // another shape is shown whole on the frame's white.
            fillMode: implicitHeight > 0
                      && Math.abs(implicitWidth * height / (implicitHeight * width) - 1) < 0.05
                      ? Image.Stretch : Image.PreserveAspectFit
        }
    }

    Image {
        objectName: "badge"
        width: 32; height: 32
        anchors.right: frame.right
        anchors.bottom: frame.top
        visible: cell.isStage
        source: "qrc:/image/class-struct-point.png"
    }

    Rectangle {
        objectName: "toolStrip"
        visible: cell.selected
        width: 223
        height: 32
        anchors.top: frame.top
        anchors.horizontalCenter: frame.horizontalCenter
        color: Theme.green

        ImageButton {
            objectName: "classStructButton"
            Accessible.name: cell.isStage ? "取消课堂结构点" : "设为课堂结构点"
            width: Theme.iconSize; height: Theme.iconSize
            x: 4
            anchors.verticalCenter: parent.verticalCenter
            imageNormal: cell.isStage ? "qrc:/image/class-struct-point-cancel.png"
                                      : "qrc:/image/class-struct-point-add.png"
            onButtonClicked: cell.stageToggleClicked()
        }
        ImageButton {
            objectName: "deleteButton"
            Accessible.name: "删除"
            width: Theme.iconSize; height: Theme.iconSize
            anchors.right: parent.right
            anchors.rightMargin: 4
            anchors.verticalCenter: parent.verticalCenter
            imageNormal: "qrc:/image/close-tips-normal.png"
            imagePressed: "qrc:/image/close-tips-pressed.png"
            onButtonClicked: cell.deleteClicked()
        }
    }

    Rectangle {
        id: descriptionBar
        objectName: "descriptionBar"
        anchors.top: frame.bottom
        x: 15
        height: 22
        width: cell.selected ? descriptionEditor.contentWidth + 4 : 224
        color: "white"
        border.width: cell.selected ? 1 : 0
        border.color: Theme.green

        Text {
            visible: !cell.selected
            x: 2
            width: parent.width - 4
            anchors.verticalCenter: parent.verticalCenter
            font.pixelSize: Theme.cellFontSize
            elide: Text.ElideRight
            text: cell.description
        }
        TextInput {
            id: descriptionEditor
            objectName: "descriptionEditor"
            visible: cell.selected
            x: 2
            anchors.verticalCenter: parent.verticalCenter
            font.pixelSize: Theme.cellFontSize
            selectByMouse: true
            Accessible.name: "说明"
            KeyNavigation.tab: timeEditor
            Keys.onReturnPressed: cell.editorsLeft()
            Keys.onEnterPressed: cell.editorsLeft()
        }
    }

    // The shown time is this bar's first child.
    Rectangle {
        objectName: "timeBar"
        anchors.top: descriptionBar.bottom
        anchors.topMargin: 2
        x: 15
        width: 70
        height: 22
        color: "transparent"
        border.width: cell.selected ? 1 : 0
        border.color: Theme.green

        Text {
            visible: !cell.selected
            x: 3
            anchors.verticalCenter: parent.verticalCenter
            font.pixelSize: Theme.cellFontSize
            text: TrackTime.timeTickToString(cell.timeTick)
        }
        TextInput {
            id: timeEditor
            objectName: "timeEditor"
            visible: cell.selected
            x: 3
            anchors.verticalCenter: parent.verticalCenter
            font.pixelSize: Theme.cellFontSize
            inputMask: "99:99:99;_"
            selectByMouse: true
            Accessible.name: "时间"
            KeyNavigation.tab: descriptionEditor
            Keys.onReturnPressed: cell.editorsLeft()
            Keys.onEnterPressed: cell.editorsLeft()
        }
    }
}
