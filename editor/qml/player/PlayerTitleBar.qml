import QtQuick 2.12
import "../controls"

// The player's title bar: the track's title with the cover page button before
// it, minimise and close on the right. Folds away (to height 0) while the
// player rests.
Rectangle {
    id: titleBar
    objectName: "titleBar"

    property string title: ""
    property bool coverAvailable: false
    property bool folded: false

    signal coverClicked()
    signal minimizeClicked()
    signal closeClicked()

    height: folded ? 0 : Theme.barHeight
    Behavior on height { NumberAnimation { duration: Theme.barAnimationMs; easing.type: Easing.Linear } }
    color: Theme.green
    clip: true

    Text {
        id: caption
        objectName: "caption"
        anchors.centerIn: parent
        text: titleBar.title
        color: Theme.titleText
        font.pixelSize: Theme.titleFontSize
    }
    ImageButton {
        objectName: "coverButton"
        Accessible.name: "封面"
        width: Theme.iconSize; height: Theme.iconSize
        anchors.right: caption.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        visible: titleBar.coverAvailable
        imageNormal: "qrc:/image/cover-normal.png"
        imagePressed: "qrc:/image/cover-pressed.png"
        onButtonClicked: titleBar.coverClicked()
    }
    ImageButton {
        objectName: "minimumButton"
        Accessible.name: "最小化"
        width: Theme.iconSize; height: Theme.iconSize
        anchors.right: closeButton.left
        anchors.rightMargin: 50
        anchors.verticalCenter: parent.verticalCenter
        imageNormal: "qrc:/image/minimum-normal.png"
        imagePressed: "qrc:/image/minimum-pressed.png"
        onButtonClicked: titleBar.minimizeClicked()
    }
    ImageButton {
        id: closeButton
        objectName: "closeButton"
        Accessible.name: "关闭"
        width: Theme.iconSize; height: Theme.iconSize
        anchors.right: parent.right
        anchors.rightMargin: 24
        anchors.verticalCenter: parent.verticalCenter
        imageNormal: "qrc:/image/close-normal.png"
        imagePressed: "qrc:/image/close-pressed.png"
        onButtonClicked: titleBar.closeClicked()
    }
}
