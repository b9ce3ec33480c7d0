import QtQuick 2.12
import QtQuick.Window 2.2

// Full-screen preview of the track: slide show, tips bar, timeline, cover page
// with the teaching stages.
Window {
    id: playerWindow

    flags: Qt.FramelessWindowHint | Qt.Window | Qt.WindowStaysOnTopHint
    color: "transparent"
    width: 1366
    height: 768

    signal close()

    property alias trackModel: trackModel
    property alias classStructModel: classStructModel
    property alias timeLine: timeLine
    property alias playTimer: playTimer
    property alias restTimer: restTimer
    property alias coverPage: coverPage
    property alias tipsBar: tipsBar
    property point lastMousePosition: Qt.point(0, 0)
    property point currentMousePosition: Qt.point(0, 0)
    property int sameMousePositionCount: 0
    property bool sidebarVisible: true
    property int classStructTableBorderSize: 1
    property int classStructTableRowHeigh: 32
    property int whitespaceHeight: 8
    property int classStructTableWidth: 512
    property real classStructTableHeight: 0

    // Cover the screen before asking for full screen: without a window
    // manager the request alone leaves the nominal size.
    Component.onCompleted: {
        x = Screen.virtualX;
        y = Screen.virtualY;
        width = Screen.width;
        height = Screen.height;
        showFullScreen();
    }

    ListModel { id: trackModel }
    ListModel { id: classStructModel }

    function timeToString(time) {
        var minutes = Math.floor(time / 60);
        var seconds = time % 60;
        return (minutes <= 9 ? "0" : "") + minutes + ":" + (seconds <= 9 ? "0" : "") + seconds;
    }

    function appendItem(id, sample, timeTick, description, level) {
        var tick = Number(timeTick);
        var pos = -1;
        for (var k = 0; k < trackModel.count; ++k) {
            if (trackModel.get(k).timeTick >= tick) {
                pos = k;
                break;
            }
        }
        var entry = { id: id, sample: sample, timeTick: tick, description: description,
                      level: level };
        if (pos < 0) {
            if (classStructModel.count > 0)
                classStructModel.setProperty(classStructModel.count - 1, "endTimeTick", tick);
            trackModel.append(entry);
        } else {
            trackModel.insert(pos, entry);
        }
        if (level !== "1")
            return;
        var stage = { id: id, startTimeTick: tick, endTimeTick: tick, description: description,
                      level: level };
        for (var i = 0; i < classStructModel.count; ++i) {
            if (classStructModel.get(i).startTimeTick >= tick) {
                classStructModel.insert(i, stage);
                if (i > 0)
                    classStructModel.setProperty(i - 1, "endTimeTick", tick);
                classStructModel.setProperty(i, "endTimeTick",
                                             classStructModel.get(i + 1).startTimeTick);
                return;
            }
        }
        classStructModel.append(stage);
    }

    function resetTimeline(activeIndex) {
        if (trackModel.count === 0)
            return;
        timeLine.removeAll();
        var items = [];
        for (var k = 0; k < trackModel.count; ++k)
            items.push({ time: trackModel.get(k).timeTick, level: trackModel.get(k).level });
        timeLine.addItems(items);
        timeLine.currentIndex = activeIndex;
        coverPage.visible = activeIndex < 0;
    }

    function togglePlay() {
        if (trackModel.count === 0)
            return;
        if (timeLine.currentIndex === trackModel.count - 1)
            timeLine.currentIndex = 0;
        if (trackModel.count > 1) {
            if (playTimer.running)
                playTimer.stop();
            else
                playTimer.start();
        }
    }

    function toggleImmersive() {
        if (trackModel.count === 0)
            return;
        if (restTimer.running) {
            sidebarVisible = true;
            restTimer.stop();
        } else {
            sidebarVisible = false;
            currentMousePosition = lastMousePosition;
            restTimer.start();
        }
    }

    // x, y in the picture area. Kept in window coordinates: the area moves
    // while the bars animate, and the hover events that this sends without
    // any real movement must not count as one.
    function pointerMoved(x, y) {
        var p = pictureArea.mapToItem(null, x, y);
        if (p.x === currentMousePosition.x && p.y === currentMousePosition.y)
            return;
        sameMousePositionCount = 0;
        currentMousePosition = Qt.point(p.x, p.y);
    }

    function stepBack() {
        if (timeLine.currentIndex > 0)
            timeLine.currentIndex = timeLine.currentIndex - 1;
    }

    function stepForward() {
        if (timeLine.currentIndex < trackModel.count - 1)
            timeLine.currentIndex = timeLine.currentIndex + 1;
    }

    Timer {
        id: playTimer
        interval: 5000
        repeat: true
        onTriggered: {
            if (timeLine.currentIndex < trackModel.count - 1)
                timeLine.currentIndex = timeLine.currentIndex + 1;
            if (timeLine.currentIndex >= trackModel.count - 1)
                stop();
        }
    }

    Timer {
        id: restTimer
        interval: 1000
        repeat: true
        onTriggered: {
            if (currentMousePosition === lastMousePosition) {
                sameMousePositionCount += 1;
            } else {
                sameMousePositionCount = 0;
                lastMousePosition = currentMousePosition;
                sidebarVisible = true;
            }
            if (sameMousePositionCount >= 3) {
                sidebarVisible = false;
                sameMousePositionCount = 0;
            }
        }
    }

    Item {
        id: root
        objectName: "root"
        anchors.fill: parent
        focus: true
        Keys.onLeftPressed: playerWindow.stepBack()
        Keys.onRightPressed: playerWindow.stepForward()

        Rectangle {
            id: titleBar
            objectName: "titleBar"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            height: playerWindow.sidebarVisible ? 72 : 0
            Behavior on height { NumberAnimation { duration: 300; easing.type: Easing.Linear } }
            color: "#16A949"
            clip: true

            Text {
                id: caption
                objectName: "caption"
                anchors.centerIn: parent
                text: hostObject.title
                color: "white"
                font.pixelSize: 24
            }
            ImageButton {
                objectName: "coverButton"
                width: 24; height: 24
                anchors.right: caption.left
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                visible: hostObject.trackDesc !== ""
                imageNormal: "qrc:/image/cover-normal.png"
                imagePressed: "qrc:/image/cover-pressed.png"
                onButtonClicked: coverPage.visible = !coverPage.visible
            }
            ImageButton {
                objectName: "minimumButton"
                width: 24; height: 24
                anchors.right: closeButton.left
                anchors.rightMargin: 50
                anchors.verticalCenter: parent.verticalCenter
                imageNormal: "qrc:/image/minimum-normal.png"
                imagePressed: "qrc:/image/minimum-pressed.png"
                onButtonClicked: playerWindow.showMinimized()
            }
            ImageButton {
                id: closeButton
                objectName: "closeButton"
                width: 24; height: 24
                anchors.right: parent.right
                anchors.rightMargin: 24
                anchors.verticalCenter: parent.verticalCenter
                imageNormal: "qrc:/image/close-normal.png"
                imagePressed: "qrc:/image/close-pressed.png"
                onButtonClicked: playerWindow.close()
            }
        }

        Rectangle {
            id: pictureArea
            objectName: "pictureArea"
            anchors.top: titleBar.bottom
            anchors.bottom: controlBar.top
            anchors.left: parent.left
            anchors.right: parent.right
            color: "#7E7E7E"

            // Scaled to fit and centred, keeping its aspect. The fit is done
            // here rather than by fillMode: with PreserveAspectFit the decoder
            // fills the source size's width and may exceed its height, while
            // the picture must never be decoded beyond the screen's size.
            Image {
                id: picture
                objectName: "picture"
                readonly property real fit: implicitWidth > 0 && implicitHeight > 0
                                            ? Math.min(pictureArea.width / implicitWidth,
                                                       pictureArea.height / implicitHeight)
                                            : 0
                anchors.centerIn: parent
                width: implicitWidth * fit
                height: implicitHeight * fit
                fillMode: Image.Stretch
                asynchronous: true
                sourceSize.width: Screen.width
                sourceSize.height: Screen.height
                source: timeLine.currentIndex >= 0 && timeLine.currentIndex < trackModel.count
                        ? trackModel.get(timeLine.currentIndex).sample : ""
            }
            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                onPositionChanged: playerWindow.pointerMoved(mouse.x, mouse.y)
            }

            Rectangle {
                id: coverPage
                objectName: "coverPage"
                anchors.fill: parent
                color: "#FAFCFD"
                visible: false

                MouseArea {
                    anchors.fill: parent
                    hoverEnabled: true
                    onPositionChanged: playerWindow.pointerMoved(mouse.x, mouse.y)
                }

                Column {
                    anchors.centerIn: parent
                    width: 512

                    Row {
                        Rectangle {
                            width: 256; height: 32; color: "#D9D9D9"
                            Text { anchors.centerIn: parent; text: "教师"; font.pixelSize: 24 }
                        }
                        Rectangle { width: 1; height: 32; color: "#16A949" }
                        Rectangle {
                            width: 256; height: 32; color: "#D9D9D9"
                            Text { anchors.centerIn: parent; text: "课时"; font.pixelSize: 24 }
                        }
                    }
                    Rectangle { width: 512; height: 1; color: "#16A949" }
                    Row {
                        Item {
                            width: 256; height: 32
                            Text {
                                anchors.fill: parent
                                horizontalAlignment: Text.AlignHCenter
                                verticalAlignment: Text.AlignVCenter
                                elide: Text.ElideRight
                                text: hostObject.teacher
                                color: "#656665"
                                font.pixelSize: 24
                            }
                        }
                        Rectangle { width: 1; height: 32; color: "#16A949" }
                        Item {
                            width: 256; height: 32
                            Text {
                                anchors.fill: parent
                                horizontalAlignment: Text.AlignHCenter
                                verticalAlignment: Text.AlignVCenter
                                elide: Text.ElideRight
                                text: hostObject.duration
                                color: "#656665"
                                font.pixelSize: 24
                            }
                        }
                    }
                    Rectangle { width: 512; height: 1; color: "#16A949" }
                    Row {
                        visible: classStructModel.count > 0
                        Rectangle {
                            width: 256; height: 32; color: "#D9D9D9"
                            Text { anchors.centerIn: parent; text: "教学环节"; font.pixelSize: 24 }
                        }
                        Rectangle { width: 1; height: 32; color: "#16A949" }
                        Rectangle {
                            width: 256; height: 32; color: "#D9D9D9"
                            Text { anchors.centerIn: parent; text: "教学时长"; font.pixelSize: 24 }
                        }
                    }
                    Rectangle {
                        visible: classStructModel.count > 0
                        width: 512; height: 1; color: "#16A949"
                    }
                    ListView {
                        id: stageTable
                        objectName: "stageTable"
                        width: playerWindow.classStructTableWidth
                        clip: true
                        interactive: contentHeight > height
                        model: classStructModel
                        height: Math.min(contentHeight,
                                         Math.max(0, Screen.height - titleBar.height
                                                  - controlBar.height - 3 * (32 + 1)))
                        onContentHeightChanged: playerWindow.classStructTableHeight = contentHeight
                        delegate: Column {
                            width: 512
                            Row {
                                height: stageText.contentHeight + playerWindow.whitespaceHeight
                                Item {
                                    width: 256; height: parent.height
                                    Text {
                                        id: stageText
                                        width: 256
                                        anchors.verticalCenter: parent.verticalCenter
                                        wrapMode: Text.WrapAnywhere
                                        horizontalAlignment: Text.AlignHCenter
                                        text: model.description
                                        color: "#656665"
                                        font.pixelSize: 24
                                    }
                                }
                                Rectangle { width: 1; height: parent.height; color: "#16A949" }
                                Item {
                                    width: 256; height: parent.height
                                    Text {
                                        anchors.fill: parent
                                        horizontalAlignment: Text.AlignHCenter
                                        verticalAlignment: Text.AlignVCenter
                                        elide: Text.ElideRight
                                        text: playerWindow.timeToString(model.startTimeTick) + "-"
                                              + playerWindow.timeToString(model.endTimeTick)
                                        color: "#656665"
                                        font.pixelSize: 24
                                    }
                                    MouseArea {
                                        objectName: "stageSpan"
                                        anchors.fill: parent
                                        onClicked: timeLine.seekTo(model.startTimeTick)
                                    }
                                }
                            }
                            Rectangle { width: 512; height: 1; color: "#16A949" }
                        }
                    }
                }

                Text {
                    anchors.right: parent.right
                    anchors.rightMargin: 32
                    anchors.bottom: parent.bottom
                    anchors.bottomMargin: 32
                    text: hostObject.date
                    color: "#656665"
                    font.pixelSize: 24
                }
            }
        }

        Rectangle {
            id: tipsBar
            objectName: "tipsBar"
            visible: false
            height: 40
            color: "#17A949"
            x: timeLine.currentX
            anchors.bottom: controlBar.top
            width: tipsText.contentWidth + 72

            Text {
                id: tipsText
                objectName: "tipsText"
                x: 16
                anchors.verticalCenter: parent.verticalCenter
                color: "white"
                font.pixelSize: 18
                text: timeLine.currentIndex >= 0 && timeLine.currentIndex < trackModel.count
                      ? playerWindow.timeToString(trackModel.get(timeLine.currentIndex).timeTick)
                        + trackModel.get(timeLine.currentIndex).description
                      : ""
            }
            ImageButton {
                objectName: "tipsCloseButton"
                width: 24; height: 24
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                imageNormal: "qrc:/image/close-tips-normal.png"
                imagePressed: "qrc:/image/close-tips-pressed.png"
                onButtonClicked: tipsBar.visible = false
            }
        }

        Rectangle {
            id: controlBar
            objectName: "controlBar"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: playerWindow.sidebarVisible ? 72 : 0
            Behavior on height { NumberAnimation { duration: 300; easing.type: Easing.Linear } }
            color: "#222222"
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
                onCurrentIndexChanged: {
                    tipsBar.visible = true;
                    coverPage.visible = false;
                }
            }

            ImageButton {
                id: playButton
                objectName: "playButton"
                width: 40; height: 40
                anchors.right: fullScreenButton.left
                anchors.rightMargin: 46
                anchors.verticalCenter: parent.verticalCenter
                imageNormal: playTimer.running ? "qrc:/image/pause-normal.png"
                                               : "qrc:/image/play-normal.png"
                imagePressed: playTimer.running ? "qrc:/image/pause-pressed.png"
                                                : "qrc:/image/play-pressed.png"
                onButtonClicked: playerWindow.togglePlay()
            }
            ImageButton {
                id: fullScreenButton
                objectName: "fullScreenButton"
                width: 24; height: 24
                anchors.right: parent.right
                anchors.rightMargin: 52
                anchors.verticalCenter: parent.verticalCenter
                imageNormal: "qrc:/image/full-screen-normal.png"
                imagePressed: "qrc:/image/full-screen-pressed.png"
                onButtonClicked: playerWindow.toggleImmersive()
            }
        }

        // The marker sits on the control bar's top edge, above the current mark.
        Image {
            objectName: "marker"
            width: 16; height: 16
            visible: tipsBar.visible
            x: timeLine.currentX + 24 + 2 * 12 - 8
            y: controlBar.y
            source: "qrc:/image/vernier-top.png"
        }
    }
}
