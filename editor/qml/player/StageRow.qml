import QtQuick 2.12
import "../controls"

// One teaching stage on the cover page: its description (wrapped) and its
// span, which seeks the player to the stage's start when clicked.
Column {
    id: row

    property string description: ""
    property real startTimeTick: 0
    property real endTimeTick: 0
    // Added to the description's height.
    property int textMargin: 8

    signal spanClicked(real timeTick)

    width: 2 * Theme.tableColumnWidth

    Row {
        height: stageText.contentHeight + row.textMargin
        Item {
            width: Theme.tableColumnWidth; height: parent.height
            Text {
                id: stageText
                width: Theme.tableColumnWidth
                anchors.verticalCenter: parent.verticalCenter
                wrapMode: Text.WrapAnywhere
                horizontalAlignment: Text.AlignHCenter
                text: row.description
                color: Theme.tableText
                font.pixelSize: Theme.titleFontSize
            }
        }
        Rectangle { width: Theme.tableRule; height: parent.height; color: Theme.green }
        CoverTableCell {
            height: parent.height
            text: TrackTime.minutesToString(row.startTimeTick) + "-"
                  + TrackTime.minutesToString(row.endTimeTick)
            MouseArea {
                objectName: "stageSpan"
                anchors.fill: parent
                onClicked: row.spanClicked(row.startTimeTick)
            }
        }
    }
    Rectangle { width: row.width; height: Theme.tableRule; color: Theme.green }
}
