import QtQuick 2.12
import "control_global_resource.js" as Theme

// The player's tips bar above the current mark: the entry's time and
// description, and a button that closes the bar.
Rectangle {
    id: tipsBar
    objectName: "tipsBar"

    property alias text: tipsText.text

    height: 40
    color: Theme.tipsGreen
    width: tipsText.contentWidth + 72

    Text {
        id: tipsText
        objectName: "tipsText"
        x: 16
        anchors.verticalCenter: parent.verticalCenter
        color: Theme.titleText
        font.pixelSize: Theme.tipsFontSize
    }
    ImageButton {
        objectName: "tipsCloseButton"
        width: Theme.iconSize; height: Theme.iconSize
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        imageNormal: "qrc:/image/close-tips-normal.png"
        imagePressed: "qrc:/image/close-tips-pressed.png"
        onButtonClicked: tipsBar.visible = false
    }
}
