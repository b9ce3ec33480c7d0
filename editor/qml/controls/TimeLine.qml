import QtQuick 2.12
import QtQuick.Window 2.2
import "control_global_resource.js" as Theme
import "track_time.js" as TrackTime

// A horizontal track bar with one round mark per track entry, placed in
// proportion to its time; a click on a mark makes it current. Hovering a mark
// shows its time and caption. Where marks overlap, the hovered one is drawn
// on top, then the current one, then the class-structure points.
Item {
    id: timeLine

    property int currentIndex: -1
    property int totleDuration: 0
    property var tickMarks: []
    // The current mark's left edge from the bar's left end.
    readonly property real currentX: currentIndex >= 0 && currentIndex < tickMarks.length
                                     ? tickMarks[currentIndex].x : 0
    property alias innerAnchors: track.anchors
    // Times in the tooltip as "mm:ss" (the player) instead of "hh:mm:ss".
    property bool minuteFormat: false
    // The mark under the pointer, or null.
    property var hoveredMark: null
    property alias markTip: markTip
    // Records of marks still to be made, and how many are made at a time.
    property var pendingItems: []
    readonly property int markSlice: 2000

    function timeText(time) {
        return minuteFormat ? TrackTime.minutesToString(time) : TrackTime.timeTickToString(time);
    }

    // items: records with `time` (seconds), `level` and optionally
    // `description` (the tooltip's caption), in ascending time order. A long
    // track's marks are made a slice at a time between frames (a mark costs
    // tens of microseconds, so 50,000 of them take seconds): the first slice
    // at once, the rest from pendingItems.
    function addItems(items) {
        if (!items || items.length === 0)
            return;
        totleDuration = items[items.length - 1].time;
        pendingItems = pendingItems.concat(items);
        makePendingMarks();
    }

    function makePendingMarks() {
        var count = Math.min(pendingItems.length, markSlice);
        var marks = tickMarks.slice();
        for (var k = 0; k < count; ++k) {
            var level = parseInt(pendingItems[k].level, 10);
            var mark = markComponent.createObject(track, {
                index: marks.length,
                time: pendingItems[k].time,
                level: isNaN(level) ? -1 : level,
                description: pendingItems[k].description !== undefined
                             ? String(pendingItems[k].description) : ""
            });
            marks.push(mark);
        }
        tickMarks = marks;
        pendingItems = pendingItems.slice(count);
        if (pendingItems.length > 0)
            markTimer.start();
    }

    function removeAll() {
        markTimer.stop();
        pendingItems = [];
        var marks = tickMarks;
        tickMarks = [];
        hoveredMark = null;
        for (var k = 0; k < marks.length; ++k) {
            // Hidden at once: destroy() only takes effect later in the event loop.
            marks[k].visible = false;
            marks[k].destroy();
        }
    }

    function seekTo(timeTick) {
        var time = Number(timeTick);
        for (var k = 0; k < tickMarks.length; ++k) {
            if (tickMarks[k].time === time) {
                currentIndex = k;
                return;
            }
        }
    }

    // The tooltip's caption of the mark at `index`, when it exists or is to come.
    function updateItemDescription(index, description) {
        if (index >= tickMarks.length && index < tickMarks.length + pendingItems.length)
            pendingItems[index - tickMarks.length].description = String(description);
        if (index < 0 || index >= tickMarks.length)
            return;
        tickMarks[index].description = String(description);
    }

    function updateItemLevel(index, level) {
        if (index >= tickMarks.length && index < tickMarks.length + pendingItems.length)
            pendingItems[index - tickMarks.length].level = level;
        if (index < 0 || index >= tickMarks.length)
            return;
        var value = parseInt(level, 10);
        tickMarks[index].level = isNaN(value) ? -1 : value;
    }

    implicitWidth: 1064
    implicitHeight: 72
    clip: true

    Timer {
        id: markTimer
        interval: 0
        onTriggered: timeLine.makePendingMarks()
    }

    Rectangle {
        id: track

        height: 4
        color: Theme.markDark
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
    }

    Component {
        id: markComponent

        Rectangle {
            id: mark

            property int index: -1
            property int time: 0
            property int level: -1
            property string description: ""
            readonly property bool current: index === timeLine.currentIndex
            readonly property bool hovered: hover.containsMouse
            // With no duration (every entry at tick 0) all marks sit on the left
            // end; the fraction is clamped so that no mark leaves the bar.
            readonly property real fraction: timeLine.totleDuration > 0
                                             ? Math.min(1, Math.max(0, time / timeLine.totleDuration))
                                             : 0

            width: current ? 24 : 16
            height: width
            radius: width / 2
            x: track.width * fraction - width / 2
            y: (track.height - height) / 2
            z: hovered ? 3 : current ? 2 : level === 1 ? 1 : 0
            color: current || level === 1 ? Theme.green : Theme.markDark
            border.color: Theme.markRim
            border.width: current ? 0 : 2

            onHoveredChanged: {
                if (hovered)
                    timeLine.hoveredMark = mark;
                else if (timeLine.hoveredMark === mark)
                    timeLine.hoveredMark = null;
            }
            Component.onDestruction: {
                if (timeLine.hoveredMark === mark)
                    timeLine.hoveredMark = null;
            }

            MouseArea {
                id: hover
                anchors.fill: parent
                hoverEnabled: true
                onClicked: {
                    if (!mark.current)
                        timeLine.currentIndex = mark.index;
                }
            }
        }
    }

    // The tooltip lies over the window's content: the bar clips, and the
    // tooltip stands above it. Kept inside the window.
    Rectangle {
        id: markTip
        objectName: "markTip"

        readonly property var mark: timeLine.hoveredMark
        // Follows the mark as it moves or grows.
        readonly property point anchor: mark && parent ? anchorOf(mark, mark.x, mark.width)
                                                       : Qt.point(0, 0)

        function anchorOf(m, x, w) { return m.mapToItem(parent, w / 2, 0); }

        parent: timeLine.Window.contentItem ? timeLine.Window.contentItem : timeLine
        visible: mark !== null && timeLine.visible
        z: 1000
        width: Math.min(tipText.implicitWidth + 16, Theme.markTipMaxWidth)
        height: tipText.implicitHeight + 8
        radius: 3
        color: Theme.barDark
        border.width: 1
        border.color: Theme.markRim
        x: parent ? Math.max(4, Math.min(parent.width - width - 4, anchor.x - width / 2)) : 0
        y: Math.max(4, anchor.y - height - 8)

        Text {
            id: tipText
            objectName: "markTipText"
            x: 8
            width: parent.width - 16
            anchors.verticalCenter: parent.verticalCenter
            elide: Text.ElideRight
            color: Theme.titleText
            font.pixelSize: Theme.cellFontSize
            text: markTip.mark ? timeLine.timeText(markTip.mark.time) + "  " + markTip.mark.description
                               : ""
        }
    }
}
