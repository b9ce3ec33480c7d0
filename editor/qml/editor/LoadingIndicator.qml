import QtQuick 2.12
import "../controls"

// Over the grid while a package is being opened (hostObject.loading): the
// text "正在打开授课轨迹…" and a bar of how far the load is, a gliding bar
// while the package is unpacked and that is not known. Shown only once the
// load takes a moment, so a small package does not flash it; it takes the
// pointer meanwhile, so a half-loaded track is not edited. finished passes
// on the host's trackLoaded, picturesFailed its picturesUnpacked(false).
Rectangle {
    id: indicator
    objectName: "loadingIndicator"

    signal finished(bool loaded)
    // The pictures of a shown track could not be unpacked.
    signal picturesFailed()

    property bool due: false

    visible: hostObject.loading && due
    color: Theme.editorBackground
    z: 5

    Connections {
        target: hostObject
        function onTrackLoaded(loaded) {
            indicator.due = false;
            indicator.finished(loaded);
        }
        function onPicturesUnpacked(ok) {
            if (!ok)
                indicator.picturesFailed();
        }
    }

    Timer {
        interval: 300
        running: hostObject.loading
        onTriggered: indicator.due = true
    }

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
        onWheel: wheel.accepted = true
    }

    Column {
        anchors.centerIn: parent
        spacing: 24

        Text {
            objectName: "loadingText"
            anchors.horizontalCenter: parent.horizontalCenter
            text: "正在打开授课轨迹…"
            color: Theme.tipsGreen
            font.pixelSize: Theme.messageFontSize
        }

        Rectangle {
            id: bar
            objectName: "loadingBar"
            anchors.horizontalCenter: parent.horizontalCenter
            width: 480
            height: 8
            radius: 4
            color: Theme.markRim
            clip: true

            readonly property bool known: hostObject.loadProgress >= 0

            Rectangle {
                objectName: "loadingBarFill"
                visible: bar.known
                width: parent.width * Math.max(0, hostObject.loadProgress)
                height: parent.height
                radius: parent.radius
                color: Theme.green
            }

            // Ten steps a second: enough to show life, cheap where the window
            // is drawn in software.
            Rectangle {
                id: glider
                visible: !bar.known
                width: parent.width / 4
                height: parent.height
                radius: parent.radius
                color: Theme.green
                x: -width

                Timer {
                    interval: 100
                    repeat: true
                    running: indicator.visible && !bar.known
                    onTriggered: glider.x = glider.x >= bar.width ? -glider.width
                                                                  : glider.x + bar.width / 20
                }
            }
        }
    }
}
