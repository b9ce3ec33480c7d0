import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/controls"
import "Pixels.js" as Pixels

// On the title bar's green, as the editor shows these buttons.
Rectangle {
    id: root

    width: 200
    height: 100
    color: "#16A949"

    ImageButton {
        id: undo

        x: 10
        y: 10
        name: "undo"
        imageNormal: "qrc:/image/undo-enable-normal.png"
        imagePressed: "qrc:/image/undo-pressed.png"
        imageDisabled: "qrc:/image/undo-disable-normal.png"
    }

    // Overlaps `undo` by 8 pixels and lies above it.
    ImageButton {
        id: redo

        x: 26
        y: 10
        imageNormal: "qrc:/image/redo-enable-normal.png"
        imageHovered: "qrc:/image/redo-pressed.png"
    }

    ImageButton {
        id: empty

        x: 100
        y: 50
    }

    SignalSpy { id: undoClicked; target: undo; signalName: "buttonClicked" }

    TestCase {
        id: testCase

        name: "ImageButton"
        when: windowShown

        function grab(item, label) {
            var image = grabImage(item);
            if (testHelper.grabFolder() !== "")
                image.save(testHelper.grabFolder() + "/ImageButton-" + label + ".png");
            return image;
        }

        function init() {
            mouseMove(root, 190, 90);
            undo.enabled = true;
            undo.imageNormal = "qrc:/image/undo-enable-normal.png";
            undoClicked.clear();
        }

        function test_sizeFollowsTheImage() {
            compare(undo.width, 24);
            compare(undo.height, 24);
            // No image and no size: no extent.
            compare(empty.width, 0);
            compare(empty.height, 0);
        }

        function test_hoverWithoutHoverImage() {
            var normal = grab(undo, "normal");
            compare(Pixels.maxChannel(normal, 16, 24, "red"), 255);

            mouseMove(root, 15, 20);
            compare(undo.state, "hovered");
            compare(undo.source, Qt.resolvedUrl(undo.imageNormal));
            compare(undo.opacity, 0.7);
            // White at 70 % over the green: 0.7 * 255 + 0.3 * 22 (left part: redo
            // overlaps the rest).
            var hovered = grab(undo, "hovered");
            fuzzyCompare(Pixels.maxChannel(hovered, 16, 24, "red"), 185, 4);

            mousePress(root, 15, 20);
            compare(undo.state, "pressed");
            compare(undo.opacity, 1.0);
            compare(String(undo.source), "qrc:/image/undo-pressed.png");
            var pressed = grab(undo, "pressed");
            verify(Pixels.countNear(pressed, 24, 24, 0x00, 0x8D, 0x32, 12) > 20);
            compare(Pixels.countNear(pressed, 16, 24, 255, 255, 255, 30), 0);
            mouseRelease(root, 15, 20);
            compare(undo.state, "hovered");
            compare(undoClicked.count, 1);
            compare(undoClicked.signalArguments[0][0], undo);
        }

        function test_liveImageRebinding() {
            mouseMove(root, 15, 20);
            undo.imageNormal = "qrc:/image/undo-disable-normal.png";
            compare(String(undo.source), "qrc:/image/undo-disable-normal.png");
            mouseMove(root, 190, 90);
            compare(String(undo.source), "qrc:/image/undo-disable-normal.png");
        }

        function test_dragOffKeepsPressedLook() {
            mousePress(root, 15, 20);
            mouseMove(root, 120, 80, -1, Qt.LeftButton);
            compare(undo.state, "pressed");
            verify(undo.draged);
            mouseRelease(root, 120, 80);
            compare(undo.state, "");
            compare(undoClicked.count, 0);
        }

        function test_hoverPassesToTheOverlappingButton() {
            mouseMove(root, 15, 20);
            compare(undo.state, "hovered");
            mouseMove(root, 30, 20);  // inside both; redo lies above
            compare(redo.state, "hovered");
            compare(redo.opacity, 1.0);
            compare(String(redo.source), "qrc:/image/redo-pressed.png");
            compare(undo.state, "");
            compare(undo.opacity, 1.0);
        }

        function test_disabledStillClicks() {
            undo.enabled = false;
            compare(undo.state, "disabled");
            compare(String(undo.source), "qrc:/image/undo-disable-normal.png");
            var disabled = grab(undo, "disabled");
            verify(Pixels.countNear(disabled, 24, 24, 0x65, 0x66, 0x65, 12) > 20);
            mouseClick(root, 15, 20);
            compare(undoClicked.count, 1);
            compare(undo.state, "disabled");
            undo.enabled = true;
            compare(undo.state, "hovered");
        }
    }
}
