import QtQuick 2.12
import "control_global_resource.js" as Theme

// The editor's title bar: open, undo, redo, save and insert on the left, the
// track's title in the middle (a click edits it), minimise and close on the
// right.
Rectangle {
    id: titleBar
    objectName: "titleBar"

    property string title: ""
    property bool canUndo: false
    property bool canRedo: false
    property bool canInsert: false
    // Unsaved changes: a dot on the save tool and "*" after the title.
    property bool modified: false

    signal openClicked()
    signal undoClicked()
    signal redoClicked()
    signal saveClicked()
    signal insertClicked()
    signal minimizeClicked()
    signal closeClicked()
    // The title editor closed with a text other than `title`.
    signal titleEdited(string text)

    // Closes the title editor (Return, focus lost) and reports a changed text.
    function closeEditor() {
        if (!titleArea.editing)
            return;
        titleArea.editing = false;
        if (titleEditor.text !== title)
            titleEdited(titleEditor.text);
    }

    height: Theme.barHeight
    color: Theme.green
    clip: true

    // The tools stand 48 pixels apart, the first 48 from the left edge.
    Row {
        x: 48
        anchors.verticalCenter: parent.verticalCenter
        spacing: 48

        ImageButton {
            objectName: "openButton"
            width: Theme.iconSize; height: Theme.iconSize
            imageNormal: "qrc:/image/open-normal.png"
            imagePressed: "qrc:/image/open-pressed.png"
            onButtonClicked: titleBar.openClicked()
        }
        ImageButton {
            objectName: "undoButton"
            width: Theme.iconSize; height: Theme.iconSize
            imageNormal: titleBar.canUndo ? "qrc:/image/undo-enable-normal.png"
                                          : "qrc:/image/undo-disable-normal.png"
            imagePressed: "qrc:/image/undo-pressed.png"
            onButtonClicked: titleBar.undoClicked()
        }
        ImageButton {
            objectName: "redoButton"
            width: Theme.iconSize; height: Theme.iconSize
            imageNormal: titleBar.canRedo ? "qrc:/image/redo-enable-normal.png"
                                          : "qrc:/image/redo-disable-normal.png"
            imagePressed: "qrc:/image/redo-pressed.png"
            onButtonClicked: titleBar.redoClicked()
        }
        ImageButton {
            objectName: "saveButton"
            width: Theme.iconSize; height: Theme.iconSize
            imageNormal: "qrc:/image/save-enable-normal.png"
            imagePressed: "qrc:/image/save-pressed.png"
            onButtonClicked: titleBar.saveClicked()

            Rectangle {
                objectName: "unsavedDot"
                visible: titleBar.modified
                width: 8; height: 8
                radius: 4
                x: parent.width - 4
                y: -4
                color: Theme.unsavedDot
                border.width: 1
                border.color: Theme.titleText
            }
        }
        ImageButton {
            objectName: "insertButton"
            width: Theme.iconSize; height: Theme.iconSize
            imageNormal: titleBar.canInsert ? "qrc:/image/insert-enable-normal.png"
                                            : "qrc:/image/insert-disable-normal.png"
            imagePressed: "qrc:/image/insert-pressed.png"
            onButtonClicked: {
                if (titleBar.canInsert)
                    titleBar.insertClicked();
            }
        }
    }

    Rectangle {
        id: titleArea
        objectName: "titleArea"
        property bool editing: false
        anchors.centerIn: parent
        height: 32
        width: (editing ? titleEditor.contentWidth : titleText.contentWidth) + 8
        color: "transparent"
        border.width: editing ? 1 : 0
        border.color: Theme.titleText

        Text {
            id: titleText
            objectName: "titleText"
            visible: !titleArea.editing
            x: 4
            anchors.verticalCenter: parent.verticalCenter
            text: titleBar.title
            color: Theme.titleText
            font.family: Theme.titleFamily
            font.pixelSize: Theme.titleFontSize
        }
        TextInput {
            id: titleEditor
            objectName: "titleEditor"
            visible: titleArea.editing
            x: 4
            anchors.verticalCenter: parent.verticalCenter
            color: Theme.titleText
            font.family: Theme.titleFamily
            font.pixelSize: Theme.titleFontSize
            Keys.onReturnPressed: titleBar.closeEditor()
            onActiveFocusChanged: {
                if (!activeFocus && Qt.application.state === Qt.ApplicationActive)
                    titleBar.closeEditor();
            }
        }
        Text {
            objectName: "modifiedMark"
            visible: titleBar.modified && !titleArea.editing
            anchors.left: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: "*"
            color: Theme.titleText
            font.family: Theme.titleFamily
            font.pixelSize: Theme.titleFontSize
        }
        MouseArea {
            anchors.fill: parent
            onClicked: {
                if (titleArea.editing)
                    return;
                titleEditor.text = titleBar.title;
                titleArea.editing = true;
                titleEditor.forceActiveFocus();
            }
        }
    }

    ImageButton {
        objectName: "minimumButton"
        width: Theme.iconSize; height: Theme.iconSize
        anchors.verticalCenter: parent.verticalCenter
        anchors.right: closeButton.left
        anchors.rightMargin: 50
        imageNormal: "qrc:/image/minimum-normal.png"
        imagePressed: "qrc:/image/minimum-pressed.png"
        onButtonClicked: titleBar.minimizeClicked()
    }
    ImageButton {
        id: closeButton
        objectName: "closeButton"
        width: Theme.iconSize; height: Theme.iconSize
        anchors.verticalCenter: parent.verticalCenter
        anchors.right: parent.right
        anchors.rightMargin: 24
        imageNormal: "qrc:/image/close-normal.png"
        imagePressed: "qrc:/image/close-pressed.png"
        onButtonClicked: titleBar.closeClicked()
    }
}
