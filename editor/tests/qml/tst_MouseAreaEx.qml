import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/controls"

Item {
    id: root

    width: 400
    height: 300

    // `inner` lies inside `outer`: entering it delivers no exit to `outer`.
    MouseAreaEx {
        id: outer

        x: 0
        y: 0
        width: 200
        height: 200

        MouseAreaEx {
            id: inner

            x: 100
            y: 100
            width: 80
            height: 80
        }
    }

    MouseAreaEx {
        id: other

        x: 250
        y: 0
        width: 100
        height: 100
    }

    Component {
        id: areaComponent

        MouseAreaEx {
            width: 50
            height: 50
        }
    }

    SignalSpy { id: outerActived; target: outer; signalName: "otherAreaActived" }
    SignalSpy { id: draging; target: other; signalName: "draging" }

    TestCase {
        name: "MouseAreaEx"
        when: windowShown

        function init() {
            mouseMove(root, 390, 290);
            outerActived.clear();
            draging.clear();
        }

        function test_enteringAnInnerAreaDropsTheOuterHover() {
            mouseMove(root, 20, 20);
            verify(outer.containsMouseEx);
            compare(Theme.currenMouseArea, outer);

            mouseMove(root, 120, 120);
            verify(inner.containsMouseEx);
            compare(Theme.currenMouseArea, inner);
            verify(outer.containsMouse);  // no exit reached it
            verify(!outer.containsMouseEx);
            compare(outerActived.count, 1);

            // Leaving the inner one does not make the outer one current again.
            mouseMove(root, 20, 20);
            verify(!inner.containsMouseEx);
            verify(!outer.containsMouseEx);
        }

        function test_pressMakesAreaCurrent() {
            mouseMove(root, 20, 20);
            outer.containsMouseEx = true;
            other.areaActive();
            compare(Theme.currenMouseArea, other);
            verify(!outer.containsMouseEx);
            compare(outerActived.count, 1);
            other.areaActive();  // already current: nobody is told
            compare(outerActived.count, 1);
        }

        function test_dragOffsetsFromThePressPoint() {
            mousePress(root, 260, 10);
            compare(other.lastPosotion, Qt.point(10, 10));
            verify(!other.draged);
            mouseMove(root, 265, 10);
            mouseMove(root, 270, 12);
            verify(other.draged);
            compare(draging.count, 2);
            mouseRelease(root, 270, 12);
            compare([draging.signalArguments[0][0], draging.signalArguments[0][1]], [5, 0]);
            compare([draging.signalArguments[1][0], draging.signalArguments[1][1]], [10, 2]);

            // Hover moves mark the area as moved over but report no drag.
            mousePress(root, 280, 20);
            verify(!other.draged);
            mouseRelease(root, 280, 20);
            mouseMove(root, 285, 20);  // delivered as the hover enter
            mouseMove(root, 290, 20);
            verify(other.draged);
            compare(draging.count, 2);
        }

        function test_destroyedAreaIsNotNotified() {
            var area = createTemporaryObject(areaComponent, root);
            area.areaActive();
            compare(Theme.currenMouseArea, area);
            area.destroy();
            wait(0);
            verify(!Theme.currenMouseArea);
            other.areaActive();  // must not reach the dead area
            compare(Theme.currenMouseArea, other);
        }
    }
}
