import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/controls"
import "Pixels.js" as Pixels

Rectangle {
    id: root

    width: 300
    height: 120
    color: "white"

    Button {
        id: button

        x: 10
        y: 10
        width: 120
        height: 40
        name: "ok"
        content: "确定"
    }

    SignalSpy { id: clicked; target: button; signalName: "buttonClicked" }

    TestCase {
        name: "Button"
        when: windowShown

        function grab(label) {
            var image = grabImage(button);
            if (testHelper.grabFolder() !== "")
                image.save(testHelper.grabFolder() + "/Button-" + label + ".png");
            return image;
        }

        // The fill as it reaches the screen, read at the left edge, clear of the text.
        function screenColour(label) {
            var image = grab(label);
            return [image.red(4, 20), image.green(4, 20), image.blue(4, 20)];
        }

        function init() {
            mouseMove(root, 290, 110);
            button.enabled = true;
            button.mouseEnabled = true;
            clicked.clear();
        }

        function test_lookOfEachState() {
            compare(button.state, "");
            compare(screenColour("normal"), [0, 128, 0]);
            compare(button.contentFont.pixelSize, 20);
            compare(button.contentFont.family, "Microsoft Yahei");

            mouseMove(root, 50, 30);
            compare(button.state, "hovered");
            compare(button.color, Qt.lighter("green", 1.3));
            compare(button.opacity, 0.7);
            // lighter(130) of green is (0, 166, 0); at 70 % over white.
            var hovered = screenColour("hovered");
            fuzzyCompare(hovered[0], 77, 2);
            fuzzyCompare(hovered[1], 193, 2);

            mousePress(root, 50, 30);
            compare(button.state, "pressed");
            compare(button.color, Qt.darker("green", 1.3));
            compare(button.opacity, 0.9);
            screenColour("pressed");
            mouseRelease(root, 50, 30);
            compare(button.state, "hovered");
            compare(clicked.count, 1);
            compare(clicked.signalArguments[0][0].name, "ok");
        }

        function test_mouseDisabledKeepsNormalLook() {
            button.mouseEnabled = false;
            mouseMove(root, 50, 30);
            mouseClick(root, 50, 30);
            compare(clicked.count, 0);
            compare(button.state, "");
            compare(button.opacity, 1.0);
            compare(screenColour("mouse-disabled"), [0, 128, 0]);
        }

        function test_disabled() {
            button.enabled = false;
            mouseMove(root, 50, 30);
            mouseClick(root, 50, 30);
            compare(clicked.count, 0);
            compare(button.state, "disabled");
            compare(screenColour("disabled"), [128, 128, 128]);
            // Enabled again, it drops the grey at once.
            button.enabled = true;
            verify(button.state !== "disabled");
            compare(String(button.color), "#008000");
        }

        function test_releaseOutsideIsNoClick() {
            mousePress(root, 50, 30);
            mouseMove(root, 250, 100, -1, Qt.LeftButton);
            compare(button.state, "pressed");
            mouseRelease(root, 250, 100);
            compare(button.state, "");
            compare(clicked.count, 0);
        }
    }
}
