import QtQuick 2.12
import "../controls"

// A short line under the title bar that says how the last save, load or insert
// went. Good news goes away by itself; a failure stays until clicked, so the
// teacher cannot miss it.
Rectangle {
    id: noticeBar
    objectName: "noticeBar"

    property alias text: noticeText.text
    property bool failure: false

    // Shows `message`; a failure stays until clicked or replaced.
    function show(message, isFailure) {
        failure = isFailure === true;
        noticeText.text = message;
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
                    noticeText.implicitWidth + 2 * Theme.noticePadding)
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

    Timer {
        id: hideTimer
        interval: Theme.noticeMs
        onTriggered: noticeBar.visible = false
    }
}
