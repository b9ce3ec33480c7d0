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

        // The centre of mark k from the bar's left end.
        function centre(k) {
            var mark = timeLine.mark(k);
            return mark.x + mark.width / 2 - 12;
        }

        // Root coordinates of the centre of mark k.
        function markPoint(k) {
            var mark = timeLine.mark(k);
            return timeLine.mapToItem(root, mark.x + mark.width / 2, mark.y + mark.height / 2);
        }

        function colourAt(image, p) {
            return [image.red(p.x, p.y), image.green(p.x, p.y), image.blue(p.x, p.y)];
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
            compare(timeLine.mark(3), null);
            compare(timeLine.currentX, 0);

            timeLine.currentIndex = 1;
            compare(timeLine.currentX, 288);
            var current = timeLine.mark(1);
            compare([current.width, current.height, current.borderWidth], [24, 24, 0]);
            var other = timeLine.mark(0);
            verify(current.z > other.z);
            compare([other.width, other.height, other.borderWidth], [16, 16, 2]);
            compare(String(other.borderColor).toLowerCase(), "#e2e2e2");
            compare(String(other.color).toLowerCase(), "#444749");
            // Centred on the 4-pixel bar, which is centred in the time line.
            compare(other.y + other.height / 2, timeLine.height / 2);

            // Marks follow the bar's width.
            timeLine.width = 324;
            compare([centre(0), centre(1), centre(2)], [0, 150, 300]);
            compare(timeLine.currentX, 138);
        }

        function test_colours() {
            timeLine.currentIndex = 2;
            wait(50);
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
            compare(String(timeLine.mark(1).color).toLowerCase(), "#444749");
            timeLine.updateItemLevel(0, 1);
            compare(String(timeLine.mark(0).color).toLowerCase(), "#16a949");
            // And drawn so.
            wait(50);
            image = grabImage(timeLine);
            compare(at(markPoint(1)), [0x44, 0x47, 0x49]);
            compare(at(markPoint(0)), [0x16, 0xA9, 0x49]);
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
                verify(!isNaN(timeLine.mark(k).x));
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
            function z(k) { return timeLine.mark(k).z; }
            verify(z(1) > z(2));
            verify(z(1) > z(0));
            timeLine.currentIndex = 3;
            verify(z(3) > z(1));
            // The pixel at the stage mark's centre is its own green.
            timeLine.currentIndex = -1;
            wait(50);
            var image = grabImage(root);
            compare(colourAt(image, markPoint(1)), [0x16, 0xA9, 0x49]);
            // Between the stage mark and the ordinary mark 3, the stage mark is on top.
            var between = markPoint(1);
            between.x += 4;
            compare(colourAt(image, between), [0x16, 0xA9, 0x49]);
            // The hovered ordinary mark comes to the front.
            var p = markPoint(3);
            mouseMove(root, p.x + 6, p.y);
            tryCompare(timeLine, "hoveredIndex", 3);
            verify(timeLine.mark(3).hovered);
            verify(z(3) > z(1));
            wait(50);
            image = grabImage(root);
            compare(colourAt(image, between), [0x44, 0x47, 0x49]);
            // A click on the overlap takes the hovered mark.
            mouseClick(root, between.x, between.y);
            compare(timeLine.currentIndex, 3);
            timeLine.currentIndex = -1;
            mouseMove(root, 5, 95);
            tryCompare(timeLine, "hoveredIndex", -1);
            verify(z(3) < z(1));
        }
    }
}
