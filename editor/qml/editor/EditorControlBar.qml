import QtQuick 2.12
import "../controls"

// The editor's control bar: the timeline of the track's marks and the button
// that opens the preview player.
Rectangle {
    id: controlBar
    objectName: "controlBar"

    property alias timeLine: timeLine

    signal previewClicked()

    height: Theme.barHeight
    color: Theme.barDark

    TimeLine {
        id: timeLine
        objectName: "timeLine"
        anchors.top: parent.top
        anchors.bottom: parent.bottom
        anchors.left: parent.left
        anchors.leftMargin: 24
        anchors.right: previewButton.left
        anchors.rightMargin: 38
    }

    ImageButton {
        id: previewButton
        objectName: "previewButton"
        Accessible.name: "预览"
        width: Theme.largeIconSize; height: Theme.largeIconSize
        anchors.right: parent.right
        anchors.rightMargin: 16
        anchors.verticalCenter: parent.verticalCenter
        imageNormal: "qrc:/image/preview-normal.png"
        imagePressed: "qrc:/image/preview-pressed.png"
        onButtonClicked: controlBar.previewClicked()
    }
}
