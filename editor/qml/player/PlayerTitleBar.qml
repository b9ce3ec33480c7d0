import QtQuick 2.12
import "../controls"

// The player's title bar: the track's title with the cover page button before
// it, minimise and close on the right; a long title is elided between them. Folds away (to height 0) while the
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

    // The room the title may take, as in the editor: from past the cover
    // button to before the window buttons.
    readonly property real roomLeft: Theme.titleRoomGap
                                     + (coverAvailable ? Theme.iconSize + 8 : 0)
    readonly property real roomRight: minimumButton.x - Theme.titleRoomGap

    // Centred while it fits, pushed aside only as far as the room demands,
    // elided when it does not fit at all.
    Text {
        id: caption
        objectName: "caption"
        width: Math.min(implicitWidth, Math.max(0, titleBar.roomRight - titleBar.roomLeft))
        x: Math.max(titleBar.roomLeft,
                    Math.min(titleBar.roomRight - width, (titleBar.width - width) / 2))
        anchors.verticalCenter: parent.verticalCenter
        text: titleBar.title
        elide: Text.ElideRight
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
        id: minimumButton
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
