import QtQuick 2.12
import "../controls"

// The player's tips bar above the current mark: the entry's time and
// description, and a button that closes the bar. Never wider than
// `maximumWidth`: a longer text is elided, so the close button stays on screen.
Rectangle {
    id: tipsBar
    objectName: "tipsBar"

    property alias text: tipsText.text
    property real maximumWidth: Infinity

    height: 40
    color: Theme.tipsGreen
    width: Math.min(tipsText.implicitWidth + 72, maximumWidth)

    Text {
        id: tipsText
        objectName: "tipsText"
        x: 16
        width: tipsBar.width - 72
        elide: Text.ElideRight
        anchors.verticalCenter: parent.verticalCenter
        color: Theme.titleText
        font.pixelSize: Theme.tipsFontSize
    }
    ImageButton {
        objectName: "tipsCloseButton"
        Accessible.name: "关闭提示"
        width: Theme.iconSize; height: Theme.iconSize
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        imageNormal: "qrc:/image/close-tips-normal.png"
        imagePressed: "qrc:/image/close-tips-pressed.png"
        onButtonClicked: tipsBar.visible = false
    }
}
