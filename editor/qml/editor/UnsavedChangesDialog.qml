import QtQuick 2.12
import QtQuick.Window 2.2
import "../controls"

// Asks what to do with unsaved changes before the window closes or another
// track is opened. Exactly one of the three signals answers each open();
// closing the dialog any other way is "取消".
Window {
    id: dialog
    objectName: "unsavedDialog"

    signal saveChosen()
    signal discardChosen()
    signal cancelChosen()

    property bool answered: true

    function ask() {
        answered = false;
        // Centred on the screen: without a window manager nobody else places it.
        x = Screen.virtualX + (Screen.width - width) / 2;
        y = Screen.virtualY + (Screen.height - height) / 2;
        show();
        raise();
        requestActivate();
        saveChoice.forceActiveFocus();
    }

    function answer(choice) {
        if (answered)
            return;
        answered = true;
        hide();
        if (choice === "save")
            saveChosen();
        else if (choice === "discard")
            discardChosen();
        else
            cancelChosen();
    }

    title: "课堂轨迹"
    modality: Qt.ApplicationModal
    flags: Qt.Dialog
    width: 420
    height: 160
    minimumWidth: width
    minimumHeight: height
    maximumWidth: width
    maximumHeight: height
    color: Theme.editorBackground

    onClosing: answer("cancel")

    Item {
        anchors.fill: parent
        focus: true
        Keys.onEscapePressed: dialog.answer("cancel")

        Text {
            objectName: "unsavedQuestion"
            anchors.top: parent.top
            anchors.topMargin: 28
            anchors.horizontalCenter: parent.horizontalCenter
            width: parent.width - 48
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            text: "当前轨迹有未保存的修改，是否保存？"
            font.family: Theme.titleFamily
            font.pixelSize: Theme.tipsFontSize
        }

        Row {
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 24
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 16

            DialogChoice {
                id: saveChoice
                objectName: "saveChoice"
                content: "保存"
                onChosen: dialog.answer("save")
                KeyNavigation.right: discardChoice
            }
            DialogChoice {
                id: discardChoice
                objectName: "discardChoice"
                content: "不保存"
                onChosen: dialog.answer("discard")
                KeyNavigation.left: saveChoice
                KeyNavigation.right: cancelChoice
            }
            DialogChoice {
                id: cancelChoice
                objectName: "cancelChoice"
                content: "取消"
                onChosen: dialog.answer("cancel")
                KeyNavigation.left: discardChoice
            }
        }
    }
}
