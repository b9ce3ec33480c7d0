import QtQuick 2.12
import "../controls"

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

    // Space, Enter and the accessible press all come as a click.
    onButtonClicked: chosen()
}
