import QtQuick 2.12
import "../controls"

// The player's cover page: a table of teacher and duration, then the teaching
// stages with their spans (StageRow.qml), and the date in the corner. Shown
// over the picture while no entry is current.
Rectangle {
    id: coverPage
    objectName: "coverPage"

    property string teacher: ""
    property string duration: ""
    property string date: ""
    // The stages: description, startTimeTick, endTimeTick.
    property var stageModel: null
    // Height the page may give the table; the stage list scrolls beyond it.
    property real availableHeight: 0
    property int tableWidth: 2 * Theme.tableColumnWidth
    // Added to the height of each stage's description.
    property int stageMargin: 8
    readonly property alias stageListHeight: stageTable.contentHeight

    // x, y in page coordinates.
    signal pointerMoved(real x, real y)
    signal stageClicked(real timeTick)

    readonly property bool hasStages: !!stageModel && stageModel.count > 0

    color: Theme.coverBackground

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        onPositionChanged: coverPage.pointerMoved(mouse.x, mouse.y)
    }

    Column {
        anchors.centerIn: parent
        width: 2 * Theme.tableColumnWidth

        Row {
            CoverTableCell { heading: true; text: "教师" }
            Rectangle { width: Theme.tableRule; height: Theme.tableRowHeight; color: Theme.green }
            CoverTableCell { heading: true; text: "课时" }
        }
        Rectangle { width: 2 * Theme.tableColumnWidth; height: Theme.tableRule; color: Theme.green }
        Row {
            CoverTableCell { text: coverPage.teacher }
            Rectangle { width: Theme.tableRule; height: Theme.tableRowHeight; color: Theme.green }
            CoverTableCell { text: coverPage.duration }
        }
        Rectangle { width: 2 * Theme.tableColumnWidth; height: Theme.tableRule; color: Theme.green }
        Row {
            visible: coverPage.hasStages
            CoverTableCell { heading: true; text: "教学环节" }
            Rectangle { width: Theme.tableRule; height: Theme.tableRowHeight; color: Theme.green }
            CoverTableCell { heading: true; text: "教学时长" }
        }
        Rectangle {
            visible: coverPage.hasStages
            width: 2 * Theme.tableColumnWidth; height: Theme.tableRule; color: Theme.green
        }
        ListView {
            id: stageTable
            objectName: "stageTable"
            width: coverPage.tableWidth
            model: coverPage.stageModel
            clip: true
            interactive: contentHeight > height
            // Below the three rows above.
            height: Math.min(contentHeight,
                             Math.max(0, coverPage.availableHeight
                                         - 3 * (Theme.tableRowHeight + Theme.tableRule)))
            delegate: StageRow {
                description: model.description
                startTimeTick: model.startTimeTick
                endTimeTick: model.endTimeTick
                textMargin: coverPage.stageMargin
                onSpanClicked: coverPage.stageClicked(timeTick)
            }
        }
    }

    Text {
        anchors.right: parent.right
        anchors.rightMargin: 32
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 32
        text: coverPage.date
        color: Theme.tableText
        font.pixelSize: Theme.titleFontSize
    }
}
