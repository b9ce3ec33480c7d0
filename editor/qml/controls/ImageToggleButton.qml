import QtQuick 2.12

// A two-state picture button over a gradient background. Reachable with Tab,
// outlined while it has the focus, toggled with Space or Enter like a click.
Item {
    id: toggle

    property string name: ""
    property string content: ""
    property color contentColor: "black"
    property string controlFont: "Microsoft Yahei"
    property font contentFont: Qt.font({
        family: controlFont,
        pixelSize: Math.max(1, Math.round(height / 2))
    })
    property string imageNormal: ""
    property string imageHovered: ""
    property string imagePressed: ""
    property string imageToggleNormal: ""
    property string imageToggleHovered: ""
    property string imageTogglePressed: ""
    property color topColor: "white"
    property color bottomColor: "lightGray"
    property color toggledTopColor: "#A1D059"
    property color toggledBottomColor: "#2C5800"
    property real backColorOpacity: 0.7
    property bool manualCheck: false
    property bool checked: false

    // The checked pictures fall back to the normal one step by step.
    readonly property string toggleNormalImage: imageToggleNormal !== "" ? imageToggleNormal
                                                                         : imageNormal

    signal buttonClicked(var sender)

    // A completed click, by pointer or key: the handler still sees `checked`
    // from before it.
    function activate() {
        buttonClicked(toggle);
        if (!manualCheck)
            checked = !checked;
        resetState();
    }

    function setChecked(value) {
        checked = value;
        resetState();
    }

    function resetState() {
        if (checked) {
            if (area.pressed)
                state = "checkedPressed";
            else if (area.containsMouseEx)
                state = "checkedHovered";
            else
                state = "checked";
        } else {
            if (area.pressed)
                state = "pressed";
            else if (area.containsMouseEx)
                state = "hovered";
            else
                state = "";
        }
    }

    implicitWidth: image.implicitWidth
    implicitHeight: image.implicitHeight
    onCheckedChanged: resetState()

    activeFocusOnTab: true
    Keys.onSpacePressed: activate()
    Keys.onReturnPressed: activate()
    Keys.onEnterPressed: activate()
    Accessible.role: Accessible.Button
    Accessible.name: content !== "" ? content : name
    Accessible.checkable: true
    Accessible.checked: checked
    Accessible.onPressAction: activate()
    Accessible.onToggleAction: activate()

    states: [
        State {
            name: "hovered"
            PropertyChanges {
                target: image
                source: toggle.imageHovered !== "" ? toggle.imageHovered : toggle.imageNormal
                opacity: toggle.imageHovered !== "" ? 1.0 : 0.8
            }
            PropertyChanges { target: background; opacity: toggle.backColorOpacity * 0.8 }
        },
        State {
            name: "pressed"
            PropertyChanges {
                target: image
                source: toggle.imagePressed !== "" ? toggle.imagePressed : toggle.imageNormal
            }
            PropertyChanges { target: background; opacity: toggle.backColorOpacity * 1.2 }
        },
        State {
            name: "checked"
            PropertyChanges { target: image; source: toggle.toggleNormalImage }
            PropertyChanges {
                target: background
                firstColor: toggle.toggledTopColor
                secondColor: toggle.toggledBottomColor
            }
        },
        State {
            name: "checkedHovered"
            PropertyChanges {
                target: image
                source: toggle.imageToggleHovered !== "" ? toggle.imageToggleHovered
                                                         : toggle.toggleNormalImage
                opacity: toggle.imageToggleHovered !== "" ? 1.0 : 0.8
            }
            PropertyChanges {
                target: background
                firstColor: toggle.toggledTopColor
                secondColor: toggle.toggledBottomColor
                opacity: toggle.backColorOpacity * 0.8
            }
        },
        State {
            name: "checkedPressed"
            PropertyChanges {
                target: image
                source: toggle.imageTogglePressed !== "" ? toggle.imageTogglePressed
                                                         : toggle.toggleNormalImage
            }
            PropertyChanges {
                target: background
                firstColor: toggle.toggledTopColor
                secondColor: toggle.toggledBottomColor
                opacity: toggle.backColorOpacity * 1.2
            }
        }
    ]

    Rectangle {
        id: background

        objectName: "background"
        property color firstColor: toggle.topColor
        property color secondColor: toggle.bottomColor

        anchors.fill: parent
        visible: toggle.backColorOpacity > 0
        opacity: toggle.backColorOpacity
        gradient: Gradient {
            GradientStop { position: 0.0; color: background.firstColor }
            GradientStop { position: 1.0; color: background.secondColor }
        }

        Behavior on opacity {
            NumberAnimation { duration: 100 }
        }
    }

    Image {
        id: image

        objectName: "image"
        anchors.fill: parent
        source: toggle.imageNormal
        fillMode: Image.PreserveAspectFit
    }

    Text {
        anchors.centerIn: parent
        text: toggle.content
        color: toggle.contentColor
        font: toggle.contentFont
    }

    MouseAreaEx {
        id: area

        anchors.fill: parent
        onEntered: toggle.resetState()
        onExited: toggle.resetState()
        onPressed: toggle.resetState()
        onReleased: toggle.resetState()
        onOtherAreaActived: toggle.resetState()
        onContainsMouseExChanged: toggle.resetState()
        onClicked: toggle.activate()
    }

    FocusRing {
        shown: toggle.activeFocus
    }
}
