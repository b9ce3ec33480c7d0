import QtQuick 2.12
import "control_global_resource.js" as Theme

// The outline of a control that has the keyboard focus: a light ring with a
// dark rim around its parent, readable on the green bars, the dark bars and
// the light grid alike. Never shown for the pointer.
Rectangle {
    property bool shown: false
    property real gap: 3

    anchors.fill: parent
    anchors.margins: -gap
    visible: shown
    color: "transparent"
    radius: 3
    border.width: 2
    border.color: Theme.focusRing

    Rectangle {
        anchors.fill: parent
        anchors.margins: -1
        color: "transparent"
        radius: 4
        border.width: 1
        border.color: Theme.focusRim
    }
}
