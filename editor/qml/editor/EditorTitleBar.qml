import QtQuick 2.12
import "../controls"

// The editor's title bar: open, undo, redo, save and insert on the left, the
// track's title in the middle (a click edits it), minimise and close on the
// right. The title stays between the last tool and the window buttons: it is
// centred while it fits and elided when it does not.
Rectangle {
    id: titleBar
    objectName: "titleBar"

    property string title: ""
    property bool canUndo: false
    property bool canRedo: false
    property bool canInsert: false
    // Unsaved changes: a dot on the save tool and "*" after the title.
    property bool modified: false
    // An empty title of an open track invites a click with a hint.
    property bool hintAllowed: false

    signal openClicked()
    signal undoClicked()
    signal redoClicked()
    signal saveClicked()
    signal insertClicked()
    signal minimizeClicked()
    signal closeClicked()
    // The title editor closed with a text other than `title`.
    signal titleEdited(string text)
    // The title editor closed while it had the keyboard (Return, Escape), so
    // nothing has it now: the window gives it to the grid.
    signal editorLeft()

    readonly property bool editing: titleArea.editing

    // Closes the title editor (Return, focus lost) and reports a changed text.
    function closeEditor() {
        if (!titleArea.editing)
            return;
        var hadKeyboard = titleEditor.activeFocus;
        titleArea.editing = false;
        if (titleEditor.text !== title)
            titleEdited(titleEditor.text);
        if (hadKeyboard)
            editorLeft();
    }

    // Closes the title editor and drops what was typed (Escape).
    function cancelEditor() {
        if (!titleArea.editing)
            return;
        var hadKeyboard = titleEditor.activeFocus;
        titleArea.editing = false;
        if (hadKeyboard)
            editorLeft();
    }

    function openEditor() {
        if (titleArea.editing)
            return;
        titleEditor.text = title;
        titleArea.editing = true;
        titleEditor.forceActiveFocus();
    }

    // The room the title may take: from past the last tool to before the
    // window buttons, less the unsaved mark after it.
    readonly property real roomLeft: tools.x + tools.width + Theme.titleRoomGap
    readonly property real roomRight: minimumButton.x - Theme.titleRoomGap - modifiedMark.implicitWidth

    height: Theme.barHeight
    color: Theme.green
    clip: true

    // The tools stand 48 pixels apart, the first 48 from the left edge.
    Row {
        id: tools
        x: 48
        anchors.verticalCenter: parent.verticalCenter
        spacing: 48

        ImageButton {
            objectName: "openButton"
        Accessible.name: "打开"
            width: Theme.iconSize; height: Theme.iconSize
            imageNormal: "qrc:/image/open-normal.png"
            imagePressed: "qrc:/image/open-pressed.png"
            onButtonClicked: titleBar.openClicked()
        }
        ImageButton {
            objectName: "undoButton"
        Accessible.name: "撤销"
            width: Theme.iconSize; height: Theme.iconSize
            imageNormal: titleBar.canUndo ? "qrc:/image/undo-enable-normal.png"
                                          : "qrc:/image/undo-disable-normal.png"
            imagePressed: "qrc:/image/undo-pressed.png"
            onButtonClicked: titleBar.undoClicked()
        }
        ImageButton {
            objectName: "redoButton"
        Accessible.name: "重做"
            width: Theme.iconSize; height: Theme.iconSize
            imageNormal: titleBar.canRedo ? "qrc:/image/redo-enable-normal.png"
                                          : "qrc:/image/redo-disable-normal.png"
            imagePressed: "qrc:/image/redo-pressed.png"
            onButtonClicked: titleBar.redoClicked()
        }
        ImageButton {
            objectName: "saveButton"
        Accessible.name: "保存"
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
        Accessible.name: "插入图片"
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
        readonly property real room: Math.max(0, titleBar.roomRight - titleBar.roomLeft)
        // An empty title still offers a target of its own, with a hint.
        readonly property real naturalWidth: Math.max(
            (editing ? titleEditor.contentWidth : titleText.implicitWidth) + 8,
            titleBar.title === "" || editing ? Theme.titleMinimumWidth : 0)
        width: Math.min(naturalWidth, room)
        height: 32
        // Centred in the bar, pushed aside only as far as the room demands.
        x: Math.max(titleBar.roomLeft,
                    Math.min(titleBar.roomRight - width, (titleBar.width - width) / 2))
        anchors.verticalCenter: parent.verticalCenter
        color: "transparent"
        border.width: editing ? 1 : 0
        border.color: Theme.titleText

        activeFocusOnTab: true
        Keys.onSpacePressed: titleBar.openEditor()
        Keys.onReturnPressed: titleBar.openEditor()
        Keys.onEnterPressed: titleBar.openEditor()
        Accessible.role: Accessible.Button
        Accessible.name: "标题：" + (titleBar.title !== "" ? titleBar.title : "未命名")
        Accessible.onPressAction: titleBar.openEditor()

        Text {
            id: titleText
            objectName: "titleText"
            visible: !titleArea.editing
            x: 4
            width: titleArea.width - 8
            anchors.verticalCenter: parent.verticalCenter
            text: titleBar.title
            elide: Text.ElideRight
            color: Theme.titleText
            font.family: Theme.titleFamily
            font.pixelSize: Theme.titleFontSize
        }
        Text {
            objectName: "titleHint"
            visible: titleBar.hintAllowed && !titleArea.editing && titleBar.title === ""
            x: 4
            width: titleArea.width - 8
            anchors.verticalCenter: parent.verticalCenter
            text: "点击输入标题"
            elide: Text.ElideRight
            color: Theme.titleHint
            font.family: Theme.titleFamily
            font.pixelSize: Theme.titleHintFontSize
        }
        TextInput {
            id: titleEditor
            objectName: "titleEditor"
            visible: titleArea.editing
            x: 4
            width: titleArea.width - 8
            clip: true
            anchors.verticalCenter: parent.verticalCenter
            color: Theme.titleText
            font.family: Theme.titleFamily
            font.pixelSize: Theme.titleFontSize
            Accessible.name: "标题"
            Keys.onReturnPressed: titleBar.closeEditor()
            onActiveFocusChanged: {
                if (!activeFocus && Qt.application.state === Qt.ApplicationActive)
                    titleBar.closeEditor();
            }
        }
        MouseArea {
            anchors.fill: parent
            onClicked: titleBar.openEditor()
        }
        FocusRing {
            shown: titleArea.activeFocus
        }
    }
    Text {
        id: modifiedMark
        objectName: "modifiedMark"
        visible: titleBar.modified && !titleArea.editing
        anchors.left: titleArea.right
        anchors.verticalCenter: titleArea.verticalCenter
        text: "*"
        color: Theme.titleText
        font.family: Theme.titleFamily
        font.pixelSize: Theme.titleFontSize
    }

    ImageButton {
        id: minimumButton
        objectName: "minimumButton"
        Accessible.name: "最小化"
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
        Accessible.name: "关闭"
        width: Theme.iconSize; height: Theme.iconSize
        anchors.verticalCenter: parent.verticalCenter
        anchors.right: parent.right
        anchors.rightMargin: 24
        imageNormal: "qrc:/image/close-normal.png"
        imagePressed: "qrc:/image/close-pressed.png"
        onButtonClicked: titleBar.closeClicked()
    }
}
