import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/controls"

Rectangle {
    id: root

    width: 200
    height: 100
    color: "#222222"

    ImageToggleButton {
        id: toggle

        x: 10
        y: 10
        name: "play"
        imageNormal: "qrc:/image/play-normal.png"
        imagePressed: "qrc:/image/play-pressed.png"
        imageToggleNormal: "qrc:/image/pause-normal.png"
        imageTogglePressed: "qrc:/image/pause-pressed.png"
    }

    SignalSpy { id: clicked; target: toggle; signalName: "buttonClicked" }

    TestCase {
        id: testCase

        name: "ImageToggleButton"
        when: windowShown

        property var checkedSeen: []

        function layer(name) {
            return findChild(toggle, name);
        }

        function grab(label) {
            var image = grabImage(toggle);
            if (testHelper.grabFolder() !== "")
                image.save(testHelper.grabFolder() + "/ImageToggleButton-" + label + ".png");
            return image;
        }

        function init() {
            mouseMove(root, 190, 90);
            toggle.manualCheck = false;
            toggle.setChecked(false);
            toggle.backColorOpacity = 0.7;
            clicked.clear();
            checkedSeen = [];
        }

        Connections {
            target: toggle
            function onButtonClicked(sender) {
                testCase.checkedSeen = testCase.checkedSeen.concat([sender.checked]);
            }
        }

        function test_sizeAndNormalLook() {
            compare(toggle.width, 40);
            compare(toggle.height, 40);
            compare(toggle.state, "");
            tryCompare(layer("background"), "opacity", 0.7);
            compare(String(layer("background").firstColor), "#ffffff");
            grab("normal");
        }

        function test_clickEmitsBeforeFlipping() {
            mouseMove(root, 30, 30);
            compare(toggle.state, "hovered");
            compare(layer("image").opacity, 0.8);  // no hover picture
            tryCompare(layer("background"), "opacity", 0.56);
            grab("hovered");

            mousePress(root, 30, 30);
            compare(toggle.state, "pressed");
            compare(String(layer("image").source), "qrc:/image/play-pressed.png");
            tryCompare(layer("background"), "opacity", 0.84);
            mouseRelease(root, 30, 30);
            compare(checkedSeen, [false]);
            verify(toggle.checked);
            compare(toggle.state, "checkedHovered");
            // No checked hover picture: the checked one at 80 %.
            compare(String(layer("image").source), "qrc:/image/pause-normal.png");
            compare(layer("image").opacity, 0.8);
            compare(String(layer("background").firstColor), "#a1d059");
            compare(String(layer("background").secondColor), "#2c5800");

            mousePress(root, 30, 30);
            compare(toggle.state, "checkedPressed");
            compare(String(layer("image").source), "qrc:/image/pause-pressed.png");
            grab("checked-pressed");
            mouseRelease(root, 30, 30);
            compare(checkedSeen, [false, true]);
            verify(!toggle.checked);

            mouseMove(root, 190, 90);
            compare(toggle.state, "");
            compare(layer("image").opacity, 1.0);
        }

        function test_opacityIsAnimated() {
            mouseMove(root, 30, 30);
            // The gradient eases over 100 ms rather than jumping.
            verify(layer("background").opacity > 0.56);
            tryCompare(layer("background"), "opacity", 0.56, 1000);
        }

        function test_manualCheck() {
            toggle.manualCheck = true;
            mouseMove(root, 30, 30);
            mouseClick(root, 30, 30);
            compare(clicked.count, 1);
            verify(!toggle.checked);
            compare(toggle.state, "hovered");
            toggle.setChecked(true);
            compare(toggle.state, "checkedHovered");
            mouseMove(root, 190, 90);
            compare(toggle.state, "checked");
            compare(String(layer("image").source), "qrc:/image/pause-normal.png");
            tryCompare(layer("background"), "opacity", 0.7);
            grab("checked");
        }

        function test_noBackground() {
            toggle.backColorOpacity = 0;
            verify(!layer("background").visible);
        }
    }
}
