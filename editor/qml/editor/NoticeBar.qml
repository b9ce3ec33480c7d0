import QtQuick 2.12
import "../controls"

// A short line under the title bar that says how the last save, load or insert
// went. Good news goes away by itself; a failure stays until clicked, so the
// teacher cannot miss it, and may offer a way out (a button at its end).
Rectangle {
    id: noticeBar
    objectName: "noticeBar"

    property alias text: noticeText.text
    property bool failure: false

    // The offered way out was chosen; the notice is gone.
    signal actionChosen()

    // Shows `message`; a failure stays until clicked or replaced. `offer`
    // names a way out, a button that emits actionChosen.
    function show(message, isFailure, offer) {
        failure = isFailure === true;
        noticeText.text = message;
        action.content = offer !== undefined ? offer : "";
        visible = true;
        if (failure)
            hideTimer.stop();
        else
            hideTimer.restart();
    }

    function hide() {
        hideTimer.stop();
        visible = false;
    }

    visible: false
    height: Math.max(Theme.noticeHeight, noticeText.implicitHeight + 8)
    width: Math.min(parent ? parent.width - 2 * Theme.noticeMargin : 0,
                    noticeText.implicitWidth + 2 * Theme.noticePadding
                    + (action.visible ? action.width + Theme.noticePadding : 0))
    radius: 4
    color: failure ? Theme.noticeFailure : Theme.green
    z: 10

    Accessible.role: Accessible.AlertMessage
    Accessible.name: noticeText.text

    Text {
        id: noticeText
        objectName: "noticeText"
        anchors.fill: parent
        anchors.leftMargin: Theme.noticePadding
        anchors.rightMargin: Theme.noticePadding
                             + (action.visible ? action.width + Theme.noticePadding : 0)
        verticalAlignment: Text.AlignVCenter
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        color: Theme.titleText
        font.family: Theme.titleFamily
        font.pixelSize: Theme.tipsFontSize
    }

    MouseArea {
        anchors.fill: parent
        onClicked: noticeBar.hide()
    }

    Button {
        id: action
        objectName: "noticeAction"
        visible: content !== ""
        width: Theme.noticeActionWidth
        height: Theme.noticeHeight - 12
        anchors.right: parent.right
        anchors.rightMargin: Theme.noticePadding / 2
        anchors.verticalCenter: parent.verticalCenter
        buttonColor: Theme.titleText
        contentColor: noticeBar.failure ? Theme.noticeFailure : Theme.green
        contentFont: Qt.font({ family: Theme.titleFamily, pixelSize: Theme.cellFontSize })
        onButtonClicked: {
            noticeBar.hide();
            noticeBar.actionChosen();
        }
    }

    Timer {
        id: hideTimer
        interval: Theme.noticeMs
        onTriggered: noticeBar.visible = false
    }
}
