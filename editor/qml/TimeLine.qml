import QtQuick 2.12
import "control_global_resource.js" as Theme

// A horizontal track bar with one round mark per track entry, placed in
// proportion to its time; a click on a mark makes it current.
Item {
    id: timeLine

    property int currentIndex: -1
    property int totleDuration: 0
    property var tickMarks: []
    // The current mark's left edge from the bar's left end.
    readonly property real currentX: currentIndex >= 0 && currentIndex < tickMarks.length
                                     ? tickMarks[currentIndex].x : 0
    property alias innerAnchors: track.anchors

    // items: records with `time` (seconds) and `level`, in ascending time order.
    function addItems(items) {
        if (!items || items.length === 0)
            return;
        totleDuration = items[items.length - 1].time;
        var marks = tickMarks.slice();
        for (var k = 0; k < items.length; ++k) {
            var level = parseInt(items[k].level, 10);
            var mark = markComponent.createObject(track, {
                index: marks.length,
                time: items[k].time,
                level: isNaN(level) ? -1 : level
            });
            marks.push(mark);
        }
        tickMarks = marks;
    }

    function removeAll() {
        var marks = tickMarks;
        tickMarks = [];
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

    function updateItemLevel(index, level) {
        if (index < 0 || index >= tickMarks.length)
            return;
        var value = parseInt(level, 10);
        tickMarks[index].level = isNaN(value) ? -1 : value;
    }

    implicitWidth: 1064
    implicitHeight: 72
    clip: true

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
            readonly property bool current: index === timeLine.currentIndex
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
            z: current ? 1 : 0
            color: current || level === 1 ? Theme.green : Theme.markDark
            border.color: Theme.markRim
            border.width: current ? 0 : 2

            MouseArea {
                anchors.fill: parent
                onClicked: {
                    if (!mark.current)
                        timeLine.currentIndex = mark.index;
                }
            }
        }
    }
}
