import QtQuick 2.12
import "../controls"

// One cell of the cover page's table: a grey heading, or a value elided to
// the column's width.
Rectangle {
    id: cell

    property alias text: label.text
    property bool heading: false

    width: Theme.tableColumnWidth
    height: Theme.tableRowHeight
    color: heading ? Theme.tableHeader : "transparent"

    Text {
        id: label
        anchors.centerIn: cell.heading ? parent : undefined
        anchors.fill: cell.heading ? undefined : parent
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: cell.heading ? Text.ElideNone : Text.ElideRight
        color: cell.heading ? "black" : Theme.tableText
        font.pixelSize: Theme.titleFontSize
    }
}
