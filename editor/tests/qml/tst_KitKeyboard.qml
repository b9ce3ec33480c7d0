import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/controls"

// The kit's controls from the keyboard: Tab reaches them, the focused one is
// outlined, Space and Enter act as a click, and each names itself.
Rectangle {
    id: root

    width: 300
    height: 120
    color: "#16A949"

    ImageButton {
        id: picture
        x: 20; y: 20
        name: "open"
        Accessible.name: "打开"
        imageNormal: "qrc:/image/open-normal.png"
    }
    Button {
        id: text
        x: 80; y: 20
        width: 96; height: 36
        content: "保存"
    }
    ImageToggleButton {
        id: toggle
        x: 200; y: 20
        imageNormal: "qrc:/image/class-struct-point-add.png"
        content: "结构"
    }

    SignalSpy { id: pictureClicked; target: picture; signalName: "buttonClicked" }
    SignalSpy { id: textClicked; target: text; signalName: "buttonClicked" }
    SignalSpy { id: toggleClicked; target: toggle; signalName: "buttonClicked" }

    TestCase {
        name: "KitKeyboard"
        when: windowShown

        function ringOf(control) {
            for (var k = 0; k < control.children.length; ++k) {
                if (String(control.children[k]).indexOf("FocusRing") === 0)
                    return control.children[k];
            }
            return null;
        }

        function init() {
            pictureClicked.clear();
            textClicked.clear();
            toggleClicked.clear();
            toggle.checked = false;
            root.forceActiveFocus();
        }

        function test_tabOrderAndRing() {
            verify(!picture.activeFocus);
            verify(!ringOf(picture).visible);
            keyClick(Qt.Key_Tab);
            verify(picture.activeFocus);
            verify(ringOf(picture).visible);
            // The ring stands around the 24x24 button.
            compare(ringOf(picture).width, 30);
            keyClick(Qt.Key_Tab);
            verify(text.activeFocus);
            verify(!ringOf(picture).visible);
            compare(text.border.width, 2);
            keyClick(Qt.Key_Tab);
            verify(toggle.activeFocus);
            verify(ringOf(toggle).visible);
            compare(text.border.width, 0);
        }

        function test_spaceAndEnterClick() {
            picture.forceActiveFocus();
            keyClick(Qt.Key_Space);
            keyClick(Qt.Key_Return);
            keyClick(Qt.Key_Enter, Qt.KeypadModifier);
            compare(pictureClicked.count, 3);
            compare(pictureClicked.signalArguments[0][0], picture);

            text.forceActiveFocus();
            keyClick(Qt.Key_Space);
            keyClick(Qt.Key_Return);
            compare(textClicked.count, 2);
            // A disabled text button does not take the focus.
            text.enabled = false;
            verify(!text.activeFocus);
            keyClick(Qt.Key_Space);
            compare(textClicked.count, 2);
            text.enabled = true;
        }

        // A key toggles like a click: the handler sees the old state.
        function test_toggleByKey() {
            var seen = [];
            function record() { seen.push(toggle.checked); }
            toggle.buttonClicked.connect(record);
            toggle.forceActiveFocus();
            keyClick(Qt.Key_Space);
            verify(toggle.checked);
            keyClick(Qt.Key_Return);
            verify(!toggle.checked);
            toggle.buttonClicked.disconnect(record);
            compare(seen, [false, true]);
            toggle.manualCheck = true;
            keyClick(Qt.Key_Space);
            verify(!toggle.checked);
            compare(toggleClicked.count, 3);
            toggle.manualCheck = false;
        }

        function test_accessibleNames() {
            compare(picture.Accessible.name, "打开");
            compare(picture.Accessible.role, Accessible.Button);
            compare(text.Accessible.name, "保存");
            compare(toggle.Accessible.name, "结构");
            compare(toggle.Accessible.checkable, true);
            toggle.checked = true;
            compare(toggle.Accessible.checked, true);
        }
    }
}
