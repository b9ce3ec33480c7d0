import QtQuick 2.12

// A picture button whose image follows its state. Its own `enabled` only picks
// the disabled look: the area keeps reporting clicks, and the windows guard in
// their handlers instead. Reachable with Tab, outlined while it has the focus,
// pressed with Space or Enter; users set Accessible.name.
Image {
    id: button

    property string name: ""
    property string imageNormal: ""
    property string imageHovered: ""
    property string imagePressed: ""
    property string imageDisabled: ""
    // Shadows Item.enabled, which would switch the area off as well.
    property bool enabled: true
    property bool draged: area.draged

    signal buttonClicked(var sender)
    signal draging(int dx, int dy)

    function resetState() {
        if (!enabled)
            state = "disabled";
        else if (area.pressed)
            state = "pressed";
        else if (area.containsMouseEx)
            state = "hovered";
        else
            state = "";
    }

    source: imageNormal
    fillMode: Image.PreserveAspectFit
    onEnabledChanged: resetState()

    activeFocusOnTab: true
    Keys.onSpacePressed: buttonClicked(button)
    Keys.onReturnPressed: buttonClicked(button)
    Keys.onEnterPressed: buttonClicked(button)
    Accessible.role: Accessible.Button
    Accessible.name: name
    Accessible.onPressAction: buttonClicked(button)

    states: [
        State {
            name: "hovered"
            PropertyChanges {
                target: button
                source: button.imageHovered !== "" ? button.imageHovered : button.imageNormal
                opacity: button.imageHovered !== "" ? 1.0 : 0.7
            }
        },
        State {
            name: "pressed"
            PropertyChanges {
                target: button
                source: button.imagePressed !== "" ? button.imagePressed : button.imageNormal
            }
        },
        State {
            name: "disabled"
            PropertyChanges {
                target: button
                source: button.imageDisabled !== "" ? button.imageDisabled : button.imageNormal
            }
        }
    ]

    FocusRing {
        shown: button.activeFocus
    }

    MouseAreaEx {
        id: area

        anchors.fill: parent
        onEntered: button.resetState()
        onExited: button.resetState()
        onPressed: button.resetState()
        onReleased: button.resetState()
        onOtherAreaActived: button.resetState()
        onContainsMouseExChanged: button.resetState()
        onClicked: button.buttonClicked(button)
        onDraging: function(dx, dy) { button.draging(dx, dy); }
    }
}
