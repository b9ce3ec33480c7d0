import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/controls"

Rectangle {
    id: root

    width: 700
    height: 100
    color: "#222222"

    // A 600-pixel track bar: 12 from each side.
    TimeLine {
        id: timeLine

        x: 20
        y: 10
        width: 624
    }

    SignalSpy { id: indexChanged; target: timeLine; signalName: "currentIndexChanged" }

    TestCase {
        name: "TimeLine"
        when: windowShown

        function centre(k) {
            var mark = timeLine.tickMarks[k];
            return mark.x + mark.width / 2;
        }

        // Root coordinates of the centre of mark k.
        function markPoint(k) {
            var mark = timeLine.tickMarks[k];
            return mark.mapToItem(root, mark.width / 2, mark.height / 2);
        }

        function build(items) {
            timeLine.removeAll();
            timeLine.addItems(items);
        }

        function init() {
            timeLine.width = 624;
            timeLine.currentIndex = -1;
            build([{ time: 0, level: "-1" }, { time: 30, level: "1" }, { time: 60, level: "-1" }]);
            indexChanged.clear();
        }

        function test_defaults() {
            var plain = createTemporaryQmlObject("import QtQuick 2.12; import \"qrc:/qml/controls\"; TimeLine {}",
                                                 root);
            compare(plain.width, 1064);
            compare(plain.height, 72);
            compare(plain.currentIndex, -1);
            compare(plain.currentX, 0);
            compare(timeLine.innerAnchors.leftMargin, 12);
        }

        function test_placement() {
            compare(timeLine.totleDuration, 60);
            compare(timeLine.tickMarks.length, 3);
            compare([centre(0), centre(1), centre(2)], [0, 300, 600]);
            compare(timeLine.tickMarks[1].level, 1);
            compare(timeLine.tickMarks[2].index, 2);
            compare(timeLine.currentX, 0);

            timeLine.currentIndex = 1;
            compare(timeLine.currentX, 288);
            var current = timeLine.tickMarks[1];
            compare([current.width, current.height, current.radius], [24, 24, 12]);
            compare(current.border.width, 0);
            verify(current.z > timeLine.tickMarks[0].z);
            var other = timeLine.tickMarks[0];
            compare([other.width, other.radius, other.border.width], [16, 8, 2]);
            compare(String(other.border.color), "#e2e2e2");
            compare(String(other.color), "#444749");
            compare(other.y + other.height / 2, 2);  // centred on the 4-pixel bar

            // Marks follow the bar's width.
            timeLine.width = 324;
            compare([centre(0), centre(1), centre(2)], [0, 150, 300]);
            compare(timeLine.currentX, 138);
        }

        function test_colours() {
            timeLine.currentIndex = 2;
            var image = grabImage(timeLine);
            if (testHelper.grabFolder() !== "")
                image.save(testHelper.grabFolder() + "/TimeLine.png");
            // Class-structure point and current mark green, the other one grey.
            var levelOne = markPoint(1), current = markPoint(2), plain = markPoint(0);
            function at(p) {
                var x = p.x - timeLine.x, y = p.y - timeLine.y;
                return [image.red(x, y), image.green(x, y), image.blue(x, y)];
            }
            compare(at(levelOne), [0x16, 0xA9, 0x49]);
            compare(at(current), [0x16, 0xA9, 0x49]);
            compare(at(plain), [0x44, 0x47, 0x49]);
            // The rim of the plain mark, inside its 2-pixel edge.
            var rim = markPoint(0);
            rim.x += 6;
            compare(at(rim), [0xE2, 0xE2, 0xE2]);

            timeLine.updateItemLevel(1, "-1");
            compare(String(timeLine.tickMarks[1].color), "#444749");
            timeLine.updateItemLevel(0, 1);
            compare(String(timeLine.tickMarks[0].color), "#16a949");
            timeLine.updateItemLevel(-1, 1);  // out of range: nothing happens
            timeLine.updateItemLevel(3, 1);
            compare(timeLine.tickMarks.length, 3);
        }

        function test_singleEntryOnTheRightEnd() {
            build([{ time: 45, level: "-1" }]);
            compare(timeLine.totleDuration, 45);
            compare(centre(0), 600);
        }

        function test_zeroDuration() {
            build([{ time: 0, level: "-1" }, { time: 0, level: "1" }]);
            compare(timeLine.totleDuration, 0);
            for (var k = 0; k < 2; ++k) {
                verify(!isNaN(timeLine.tickMarks[k].x));
                compare(centre(k), 0);
            }
            timeLine.currentIndex = 1;
            compare(timeLine.currentX, -12);
        }

        function test_seekTo() {
            build([{ time: 0, level: "-1" }, { time: 20, level: "-1" }, { time: 20, level: "-1" },
                   { time: 40, level: "-1" }]);
            timeLine.seekTo(20);
            compare(timeLine.currentIndex, 1);
            timeLine.seekTo(21);  // no exact match
            compare(timeLine.currentIndex, 1);
        }

        function test_clicks() {
            var p = markPoint(2);
            mouseClick(root, p.x, p.y);
            compare(timeLine.currentIndex, 2);
            compare(indexChanged.count, 1);
            p = markPoint(2);
            mouseClick(root, p.x, p.y);  // the current mark: nothing
            compare(indexChanged.count, 1);
            // The whole square of a mark takes clicks, corners included.
            p = markPoint(1);
            mouseClick(root, p.x - 7, p.y - 7);
            compare(timeLine.currentIndex, 1);
        }

        function test_removeAll() {
            timeLine.currentIndex = 2;
            timeLine.removeAll();
            compare(timeLine.tickMarks.length, 0);
            compare(timeLine.currentIndex, 2);
            compare(timeLine.currentX, 0);
            timeLine.addItems([]);  // needs items: ignored
            compare(timeLine.tickMarks.length, 0);
        }
    
        // Hovering a mark shows its time and caption above the bar, inside
        // the window; leaving it hides the tooltip.
        function test_hoverTooltip() {
            build([{ time: 0, level: "-1", description: "start" },
                   { time: 30, level: "1", description: "stage" },
                   { time: 3725, level: "-1" }]);
            var tip = timeLine.markTip;
            verify(!tip.visible);
            var p = markPoint(1);
            mouseMove(root, p.x, p.y);
            tryCompare(tip, "visible", true);
            compare(tip.children[0].text, "00:00:30  stage");
            verify(tip.y + tip.height <= p.y - 8);
            // The last mark's tooltip stays inside the window.
            p = markPoint(2);
            mouseMove(root, p.x, p.y);
            compare(tip.children[0].text, "01:02:05  ");
            verify(tip.x + tip.width <= root.width);
            timeLine.updateItemDescription(2, "end");
            compare(tip.children[0].text, "01:02:05  end");
            timeLine.minuteFormat = true;
            compare(tip.children[0].text, "62:05  end");
            timeLine.minuteFormat = false;
            mouseMove(root, 5, 95);
            tryCompare(tip, "visible", false);
        }

        // Overlapping marks: hovered over current over class-structure over
        // ordinary, whatever their order.
        function test_stacking() {
            // 4 pixels apart on the 600-pixel bar.
            build([{ time: 0, level: "-1" }, { time: 4, level: "1" }, { time: 8, level: "-1" },
                   { time: 12, level: "-1" }, { time: 600, level: "-1" }]);
            var m = timeLine.tickMarks;
            verify(m[1].z > m[2].z);
            verify(m[1].z > m[0].z);
            timeLine.currentIndex = 3;
            verify(m[3].z > m[1].z);
            // The pixel at the stage mark's centre is its own green.
            timeLine.currentIndex = -1;
            var image = grabImage(root);
            var c = markPoint(1);
            compare([image.red(c.x, c.y), image.green(c.x, c.y), image.blue(c.x, c.y)],
                    [0x16, 0xA9, 0x49]);
            // The hovered ordinary mark comes to the front.
            var p = markPoint(3);
            mouseMove(root, p.x + 6, p.y);
            tryCompare(m[3], "hovered", true);
            verify(m[3].z > m[1].z);
            mouseMove(root, 5, 95);
            tryCompare(m[3], "hovered", false);
            verify(m[3].z < m[1].z);
        }
    }
}
