import QtQuick 2.12
import "control_global_resource.js" as Theme

// One answer of a dialog: the kit's text button, reachable with Tab and the
// arrows, chosen with a click, Space or Enter; the focused one is outlined.
Button {
    id: choice

    signal chosen()

    width: Theme.dialogButtonWidth
    height: Theme.dialogButtonHeight
    buttonColor: Theme.green
    contentColor: Theme.titleText
    contentFont: Qt.font({ family: Theme.titleFamily, pixelSize: Theme.tipsFontSize })
    border.width: activeFocus ? 2 : 0
    border.color: Theme.barDark
    activeFocusOnTab: true

    Accessible.role: Accessible.Button
    Accessible.name: content
    Accessible.onPressAction: chosen()

    onButtonClicked: chosen()
    Keys.onSpacePressed: chosen()
    Keys.onReturnPressed: chosen()
    Keys.onEnterPressed: chosen()
}
