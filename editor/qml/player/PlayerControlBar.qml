import QtQuick 2.12
import "../controls"

// The player's control bar: the timeline, play/pause and the button that lets
// the bars fold away while the pointer rests. Folds away (to height 0) itself.
Rectangle {
    id: controlBar
    objectName: "controlBar"

    property alias timeLine: timeLine
    property bool playing: false
    property bool folded: false

    signal playClicked()
    signal restClicked()

    height: folded ? 0 : Theme.barHeight
    Behavior on height { NumberAnimation { duration: Theme.barAnimationMs; easing.type: Easing.Linear } }
    color: Theme.barDark
    clip: true

    TimeLine {
        id: timeLine
        objectName: "timeLine"
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.leftMargin: 24
        anchors.right: playButton.left
        anchors.rightMargin: 40
        minuteFormat: true
    }

    ImageButton {
        id: playButton
        objectName: "playButton"
        Accessible.name: controlBar.playing ? "暂停" : "播放"
        width: Theme.largeIconSize; height: Theme.largeIconSize
        anchors.right: fullScreenButton.left
        anchors.rightMargin: 46
        anchors.verticalCenter: parent.verticalCenter
        imageNormal: controlBar.playing ? "qrc:/image/pause-normal.png"
                                        : "qrc:/image/play-normal.png"
        imagePressed: controlBar.playing ? "qrc:/image/pause-pressed.png"
                                         : "qrc:/image/play-pressed.png"
        onButtonClicked: controlBar.playClicked()
    }
    ImageButton {
        id: fullScreenButton
        objectName: "fullScreenButton"
        Accessible.name: "全屏"
        width: Theme.iconSize; height: Theme.iconSize
        anchors.right: parent.right
        anchors.rightMargin: 52
        anchors.verticalCenter: parent.verticalCenter
        imageNormal: "qrc:/image/full-screen-normal.png"
        imagePressed: "qrc:/image/full-screen-pressed.png"
        onButtonClicked: controlBar.restClicked()
    }
}
