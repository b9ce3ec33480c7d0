import QtQuick 2.12
import "control_global_resource.js" as Theme

// A text button drawn as a filled rectangle whose fill and opacity follow its
// state. Reachable with Tab, outlined (inside, as it clips) while it has the
// focus, pressed with Space or Enter; its text is its accessible name.
Rectangle {
    id: button

    property string name: ""
    property string content: ""
    property color contentColor: "black"
    property string controlFont: "Microsoft Yahei"
    property font contentFont: Qt.font({
        family: controlFont,
        pixelSize: Math.max(1, Math.round(height / 2))
    })
    property string buttonColor: "green"
    property string buttonDisableColor: "gray"
    property bool mouseEnabled: true

    signal buttonClicked(var sender)

    function resetState() {
        if (!enabled)
            state = "disabled";
        else if (!mouseEnabled)
            state = "";
        else if (area.pressed)
            state = "pressed";
        else if (area.containsMouseEx)
            state = "hovered";
        else
            state = "";
    }

    color: buttonColor
    clip: true
    border.width: activeFocus ? 2 : 0
    border.color: Theme.focusRim

    activeFocusOnTab: true
    Keys.onSpacePressed: buttonClicked(button)
    Keys.onReturnPressed: buttonClicked(button)
    Keys.onEnterPressed: buttonClicked(button)
    Accessible.role: Accessible.Button
    Accessible.name: content
    Accessible.onPressAction: buttonClicked(button)
    // Re-evaluated both ways, so that a re-enabled button drops its grey fill
    // without waiting for the pointer.
    onEnabledChanged: resetState()
    onMouseEnabledChanged: resetState()

    states: [
        State {
            name: "hovered"
            PropertyChanges {
                target: button
                color: Qt.lighter(button.buttonColor, 1.3)
                opacity: 0.7
            }
        },
        State {
            name: "pressed"
            PropertyChanges {
                target: button
                color: Qt.darker(button.buttonColor, 1.3)
                opacity: 0.9
            }
        },
        State {
            name: "disabled"
            PropertyChanges {
                target: button
                color: button.buttonDisableColor
            }
        }
    ]

    Text {
        anchors.centerIn: parent
        text: button.content
        color: button.contentColor
        font: button.contentFont
    }

    MouseAreaEx {
        id: area

        anchors.fill: parent
        enabled: button.enabled && button.mouseEnabled
        hoverEnabled: button.enabled
        onEntered: button.resetState()
        onExited: button.resetState()
        onPressed: button.resetState()
        onReleased: button.resetState()
        onOtherAreaActived: button.resetState()
        onContainsMouseExChanged: button.resetState()
        onClicked: button.buttonClicked(button)
    }
}
