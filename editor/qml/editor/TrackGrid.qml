import QtQuick 2.12

// The track as a grid of picture cells (TrackCell.qml), one per entry of the
// model, in the order of the list. The selection is the view's currentIndex;
// the window's arrow keys move it (EditorKeys.qml), committing as a click.
GridView {
    id: grid
    objectName: "trackViewer"

    signal selectClicked(int index)
    signal stageToggleClicked(int index)
    signal deleteClicked(int index)
    // The keyboard left a cell's caption or time editor.
    signal editorsLeft()
    // A click on the grid between or after the cells.
    signal emptyClicked()

    clip: true
    cellWidth: 254
    cellHeight: 264
    currentIndex: -1
    highlightFollowsCurrentItem: false
    cacheBuffer: 0
    keyNavigationEnabled: false

    // Under the cells (a child of the view, not of its content), so it gets
    // only the clicks that no cell takes; a drag still scrolls the view.
    MouseArea {
        parent: grid
        anchors.fill: parent
        z: -1
        onClicked: grid.emptyClicked()
    }

    delegate: TrackCell {
        sample: model.sample
        timeTick: model.timeTick
        description: model.description
        level: model.level
        onSelectClicked: grid.selectClicked(index)
        onStageToggleClicked: grid.stageToggleClicked(index)
        onDeleteClicked: grid.deleteClicked(index)
        onEditorsLeft: grid.editorsLeft()
    }
}
