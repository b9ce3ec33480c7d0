import QtQuick 2.12
import QtQuick.Window 2.2
import "control_global_resource.js" as Theme
import "track_time.js" as TrackTime

// A horizontal track bar with one round mark per track entry, placed in
// proportion to its time; a click on a mark makes it current. Hovering a mark
// shows its time and caption. Where marks overlap, the hovered one is drawn
// on top, then the current one, then the class-structure points.
//
// A track may hold tens of thousands of entries, so a mark is a plain record,
// not an item: one canvas draws them all (marks of one look on one spot are
// drawn once) and one mouse area finds the mark under the pointer.
Item {
    id: timeLine

    property int currentIndex: -1
    property int totleDuration: 0
    // One record per mark, in the order given: {index, time, level, description}.
    property var tickMarks: []
    // The current mark's left edge from the bar's left end.
    readonly property real currentX: currentIndex >= 0 && currentIndex < tickMarks.length
                                     ? centreOnBar(currentIndex) - currentMarkSize / 2 : 0
    property alias innerAnchors: track.anchors
    // Times in the tooltip as "mm:ss" (the player) instead of "hh:mm:ss".
    property bool minuteFormat: false
    // The index of the mark under the pointer, or -1.
    property int hoveredIndex: -1
    property alias markTip: markTip
    // Counts changes inside the records (levels, captions), which their
    // array's bindings do not see.
    property int revision: 0

    readonly property int markSize: 16
    readonly property int currentMarkSize: 24

    function timeText(time) {
        return minuteFormat ? TrackTime.minutesToString(time) : TrackTime.timeTickToString(time);
    }

    // items: records with `time` (seconds), `level` and optionally
    // `description` (the tooltip's caption), in ascending time order.
    function addItems(items) {
        if (!items || items.length === 0)
            return;
        totleDuration = items[items.length - 1].time;
        var marks = tickMarks.slice();
        for (var k = 0; k < items.length; ++k) {
            var level = parseInt(items[k].level, 10);
            marks.push({
                index: marks.length,
                time: Number(items[k].time),
                level: isNaN(level) ? -1 : level,
                description: items[k].description !== undefined ? String(items[k].description) : ""
            });
        }
        tickMarks = marks;
    }

    function removeAll() {
        tickMarks = [];
        hoveredIndex = -1;
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

    function updateItemDescription(index, description) {
        if (index < 0 || index >= tickMarks.length)
            return;
        tickMarks[index].description = String(description);
        ++revision;
    }

    function updateItemLevel(index, level) {
        if (index < 0 || index >= tickMarks.length)
            return;
        var value = parseInt(level, 10);
        tickMarks[index].level = isNaN(value) ? -1 : value;
        ++revision;
    }

    // With no duration (every entry at tick 0) all marks sit on the left end;
    // the fraction is clamped so that no mark leaves the bar.
    function fraction(time) {
        return totleDuration > 0 ? Math.min(1, Math.max(0, time / totleDuration)) : 0;
    }

    // The centre of mark k from the bar's left end.
    function centreOnBar(k) {
        return track.width * fraction(tickMarks[k].time);
    }

    // How mark k looks and where it lies, in the time line's coordinates:
    // {index, time, level, description, x, y, width, height, color,
    //  borderColor, borderWidth, z, hovered}; null when there is no mark k.
    function mark(k) {
        if (k < 0 || k >= tickMarks.length)
            return null;
        var record = tickMarks[k];
        var current = k === currentIndex;
        var size = current ? currentMarkSize : markSize;
        return {
            index: k,
            time: record.time,
            level: record.level,
            description: record.description,
            x: track.x + centreOnBar(k) - size / 2,
            y: track.y + track.height / 2 - size / 2,
            width: size,
            height: size,
            color: current || record.level === 1 ? Theme.green : Theme.markDark,
            borderColor: Theme.markRim,
            borderWidth: current ? 0 : 2,
            z: k === hoveredIndex ? 3 : stacking(k),
            hovered: k === hoveredIndex
        };
    }

    // How high mark k lies among overlapping marks, leaving hovering aside.
    function stacking(k) {
        return k === currentIndex ? 2 : tickMarks[k].level === 1 ? 1 : 0;
    }

    // The topmost mark whose square holds (x, y) in the time line's
    // coordinates, or -1. The hovered mark keeps the pointer while it is inside.
    function markAt(x, y) {
        if (hoveredIndex >= 0 && hoveredIndex < tickMarks.length && inside(hoveredIndex, x, y))
            return hoveredIndex;
        var best = -1, bestZ = -1;
        for (var k = 0; k < tickMarks.length; ++k) {
            if (!inside(k, x, y))
                continue;
            var z = stacking(k);
            // Of equal stacking, the later mark lies on top.
            if (z >= bestZ) {
                best = k;
                bestZ = z;
            }
        }
        return best;
    }

    function inside(k, x, y) {
        var half = (k === currentIndex ? currentMarkSize : markSize) / 2;
        return Math.abs(x - track.x - centreOnBar(k)) <= half &&
               Math.abs(y - track.y - track.height / 2) <= half;
    }

    implicitWidth: 1064
    implicitHeight: 72
    clip: true

    onTickMarksChanged: marksCanvas.relayout()
    onTotleDurationChanged: marksCanvas.relayout()
    onRevisionChanged: marksCanvas.relayout()
    onCurrentIndexChanged: marksCanvas.requestPaint()
    onHoveredIndexChanged: marksCanvas.requestPaint()

    Rectangle {
        id: track

        height: 4
        color: Theme.markDark
        anchors.left: parent.left
        anchors.leftMargin: 12
        anchors.right: parent.right
        anchors.rightMargin: 12
        anchors.verticalCenter: parent.verticalCenter
        onWidthChanged: marksCanvas.relayout()
    }

    Canvas {
        id: marksCanvas

        // What to draw for the ordinary and class-structure marks, bottom
        // first: {centre, level}; marks of one look on one spot once.
        property var drawn: []
        property bool stale: true

        function relayout() {
            stale = true;
            requestPaint();
        }

        function layout() {
            var seen = {};
            var list = [];
            // The last of equal marks is the one on top.
            for (var k = timeLine.tickMarks.length - 1; k >= 0; --k) {
                var centre = Math.round(timeLine.centreOnBar(k) * 4) / 4;
                var stage = timeLine.tickMarks[k].level === 1;
                var key = (stage ? "s" : "p") + centre;
                if (seen[key])
                    continue;
                seen[key] = true;
                list.push({ centre: centre, stage: stage });
            }
            list.reverse();
            // Class-structure points over ordinary marks, each in its order.
            drawn = list.filter(function (m) { return !m.stage; })
                        .concat(list.filter(function (m) { return m.stage; }));
            stale = false;
        }

        function drawMark(context, centre, size, fill, rim) {
            var cx = track.x + centre, cy = track.y + track.height / 2;
            context.beginPath();
            if (rim) {
                // A 2-pixel rim inside the mark's square.
                context.arc(cx, cy, size / 2 - 1, 0, 2 * Math.PI);
                context.fillStyle = fill;
                context.fill();
                context.lineWidth = 2;
                context.strokeStyle = Theme.markRim;
                context.stroke();
            } else {
                context.arc(cx, cy, size / 2, 0, 2 * Math.PI);
                context.fillStyle = fill;
                context.fill();
            }
        }

        anchors.fill: parent
        onPaint: {
            var context = getContext("2d");
            context.reset();
            if (stale)
                layout();
            for (var k = 0; k < drawn.length; ++k)
                drawMark(context, drawn[k].centre, timeLine.markSize,
                         drawn[k].stage ? Theme.green : Theme.markDark, true);
            var marks = timeLine.tickMarks;
            var current = timeLine.currentIndex;
            if (current >= 0 && current < marks.length)
                drawMark(context, timeLine.centreOnBar(current), timeLine.currentMarkSize,
                         Theme.green, false);
            var hovered = timeLine.hoveredIndex;
            if (hovered >= 0 && hovered < marks.length && hovered !== current)
                drawMark(context, timeLine.centreOnBar(hovered), timeLine.markSize,
                         marks[hovered].level === 1 ? Theme.green : Theme.markDark, true);
        }
    }

    MouseArea {
        id: pointer

        anchors.fill: parent
        // Without marks the bar takes no pointer, as before it had any.
        enabled: timeLine.tickMarks.length > 0
        hoverEnabled: true
        // Clicks beside every mark fall through to what lies below.
        onPressed: mouse.accepted = timeLine.markAt(mouse.x, mouse.y) >= 0
        // Entering gives no position change of its own.
        onEntered: timeLine.hoveredIndex = timeLine.markAt(mouseX, mouseY)
        onPositionChanged: timeLine.hoveredIndex = timeLine.markAt(mouse.x, mouse.y)
        onExited: timeLine.hoveredIndex = -1
        onClicked: {
            var k = timeLine.markAt(mouse.x, mouse.y);
            if (k >= 0 && k !== timeLine.currentIndex)
                timeLine.currentIndex = k;
        }
    }

    // The tooltip lies over the window's content: the bar clips, and the
    // tooltip stands above it. Kept inside the window.
    Rectangle {
        id: markTip
        objectName: "markTip"

        // The hovered mark's record; the revision brings caption changes.
        readonly property var mark: timeLine.revision >= 0 && timeLine.hoveredIndex >= 0 &&
                                    timeLine.hoveredIndex < timeLine.tickMarks.length
                                    ? timeLine.mark(timeLine.hoveredIndex) : null
        // The top centre of the hovered mark; follows it as the bar resizes.
        readonly property point anchor: mark && parent
                                        ? timeLine.mapToItem(parent, mark.x + mark.width / 2, mark.y)
                                        : Qt.point(0, 0)

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
