import QtQuick 2.12
import QtQuick.Window 2.2
import "../controls"

// Full-screen preview of the track: slide show under the title bar
// (PlayerTitleBar.qml), tips bar (TipsBar.qml), timeline in the control bar
// (PlayerControlBar.qml), cover page with the teaching stages (CoverPage.qml).
Window {
    id: playerWindow

    flags: Qt.FramelessWindowHint | Qt.Window | Qt.WindowStaysOnTopHint
    color: "transparent"
    width: 1366
    height: 768

    signal close()

    property alias trackModel: trackModel
    property alias classStructModel: classStructModel
    property alias timeLine: controlBar.timeLine
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
    readonly property real classStructTableHeight: coverPage.stageListHeight

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

    function timeToString(time) { return TrackTime.minutesToString(time); }

    function appendItem(id, sample, timeTick, description, level) {
        var tick = Number(timeTick);
        var pos = TrackTime.insertionIndex(trackModel, "timeTick", tick);
        // The editor passes URLs; a bare path is made one all the same.
        var entry = { id: id, sample: FileUrl.fromPathOrUrl(sample), timeTick: tick,
                      description: description, level: level };
        if (pos === trackModel.count) {
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
        var i = TrackTime.insertionIndex(classStructModel, "startTimeTick", tick);
        if (i === classStructModel.count) {
            classStructModel.append(stage);
            return;
        }
        classStructModel.insert(i, stage);
        if (i > 0)
            classStructModel.setProperty(i - 1, "endTimeTick", tick);
        classStructModel.setProperty(i, "endTimeTick", classStructModel.get(i + 1).startTimeTick);
    }

    function resetTimeline(activeIndex) {
        if (trackModel.count === 0)
            return;
        timeLine.removeAll();
        var items = [];
        for (var k = 0; k < trackModel.count; ++k) {
            var entry = trackModel.get(k);
            items.push({ time: entry.timeTick, level: entry.level,
                         description: entry.description });
        }
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
        // Keys a focused button does not take come here as well.
        Keys.onLeftPressed: playerWindow.stepBack()
        Keys.onRightPressed: playerWindow.stepForward()
        Keys.onSpacePressed: playerWindow.togglePlay()
        Keys.onEscapePressed: playerWindow.close()

        PlayerTitleBar {
            id: titleBar
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            folded: !playerWindow.sidebarVisible
            title: hostObject.title
            coverAvailable: hostObject.trackDesc !== ""
            onCoverClicked: coverPage.visible = !coverPage.visible
            onMinimizeClicked: playerWindow.showMinimized()
            onCloseClicked: playerWindow.close()
        }

        Rectangle {
            id: pictureArea
            objectName: "pictureArea"
            anchors.top: titleBar.bottom
            anchors.bottom: controlBar.top
            anchors.left: parent.left
            anchors.right: parent.right
            color: Theme.pictureBackground

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
                // Decoded by the host at most at the screen's size (the engine
                // asks for device pixels), a placeholder for a picture too large.
                sourceSize.width: Screen.width
                sourceSize.height: Screen.height
                source: timeLine.currentIndex >= 0 && timeLine.currentIndex < trackModel.count
                        ? "image://picture/" + trackModel.get(timeLine.currentIndex).sample : ""
            }
            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                onPositionChanged: playerWindow.pointerMoved(mouse.x, mouse.y)
            }

            CoverPage {
                id: coverPage
                anchors.fill: parent
                visible: false
                teacher: hostObject.teacher
                duration: hostObject.duration
                date: hostObject.date
                stageModel: classStructModel
                availableHeight: Screen.height - titleBar.height - controlBar.height
                tableWidth: playerWindow.classStructTableWidth
                stageMargin: playerWindow.whitespaceHeight
                // The page fills the picture area: the same coordinates.
                onPointerMoved: playerWindow.pointerMoved(x, y)
                onStageClicked: timeLine.seekTo(timeTick)
            }
        }

        // 48 left of the current mark's centre, but inside the picture area:
        // an early mark would put it past the left edge, a late one with a
        // long caption past the right.
        TipsBar {
            id: tipsBar
            visible: false
            maximumWidth: pictureArea.width
            x: Math.max(0, Math.min(timeLine.currentX, pictureArea.width - width))
            anchors.bottom: controlBar.top
            text: timeLine.currentIndex >= 0 && timeLine.currentIndex < trackModel.count
                  ? playerWindow.timeToString(trackModel.get(timeLine.currentIndex).timeTick)
                    + "  " + trackModel.get(timeLine.currentIndex).description
                  : ""
        }

        PlayerControlBar {
            id: controlBar
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            folded: !playerWindow.sidebarVisible
            playing: playTimer.running
            onPlayClicked: playerWindow.togglePlay()
            onRestClicked: playerWindow.toggleImmersive()
        }

        Connections {
            target: controlBar.timeLine
            function onCurrentIndexChanged() {
                tipsBar.visible = true;
                coverPage.visible = false;
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
