import QtQuick 2.12
import QtQuick.Window 2.2
import QtQuick.Dialogs 1.3
import "control_global_resource.js" as Theme
import "undo_redo.js" as UR
import "track_time.js" as TrackTime
import "main_window.js" as Editing

// The editor's one working window: the track as a grid of picture cells
// (TrackCell.qml) under the title bar (EditorTitleBar.qml), the timeline and
// the preview button in the control bar (EditorControlBar.qml). The editing
// itself is in main_window.js; the functions below are the ones the host and
// the tests call by name.
Window {
    id: mainWindow

    flags: Qt.FramelessWindowHint | Qt.Window
    color: "transparent"
    width: Screen.desktopAvailableWidth
    height: Screen.desktopAvailableHeight

    property var undoRedo: new UR.UndoRedo()
    property bool canUndo: false
    property bool canRedo: false
    property alias trackModel: trackModel
    property alias trackViewer: trackViewer
    property alias timeLine: controlBar.timeLine
    property alias playerLoader: playerLoader
    property string displayedTitle: hostObject.title
    // Between the host's clearTimeLine and resetTimeLine: the marks are built
    // once at the end instead of once per appended entry.
    property bool loadingTrack: false

    onDisplayedTitleChanged: {
        if (hostObject.title !== displayedTitle)
            hostObject.title = displayedTitle;
    }

    Connections {
        target: hostObject
        function onTitleChanged(arg) { mainWindow.displayedTitle = arg; }
    }

    Component.onCompleted: show()

    // The list's own count changes at once; the grid's follows only at its
    // next layout, too late for callers that read the marks right after.
    ListModel {
        id: trackModel
        onCountChanged: mainWindow.resetTimeLine2()
    }

    // --- loading, called by the host ---

    function clearTimeLine() {
        loadingTrack = true;
        timeLine.removeAll();
        trackModel.clear();
    }

    function appendItem(id, sample, timeTick, description, level) {
        Editing.appendItem(id, sample, timeTick, description, level);
    }

    function resetTimeLine() {
        loadingTrack = false;
        Editing.rebuildMarks();
        trackViewer.currentIndex = -1;
        timeLine.currentIndex = -1;
    }

    function resetTimeLine2() {
        if (loadingTrack)
            return;
        Editing.rebuildMarks();
        timeLine.currentIndex = trackViewer.currentIndex;
    }

    function timeTickToString(timeTick) { return TrackTime.timeTickToString(timeTick); }
    function parseTimeTick(text) { return TrackTime.parseTimeTick(text); }

    // --- updates the undoable commands call back ---

    function updateTitle(text) {
        displayedTitle = text;
    }

    function updateDescription(index, description, changeCurrent) {
        trackModel.setProperty(index, "description", description);
        if (changeCurrent)
            trackViewer.currentIndex = index;
    }

    function updateTimeTick(index, timeTick, changeCurrent) {
        return Editing.updateTimeTick(index, timeTick, changeCurrent);
    }

    function updateUndoRedoStatus() {
        canUndo = undoRedo.canUndo();
        canRedo = undoRedo.canRedo();
    }

    // --- actions ---

    function openTrack(url) {
        undoRedo.reInit();
        trackModel.clear();
        timeLine.removeAll();
        updateUndoRedoStatus();
        hostObject.loadTrack(url);
    }

    function insertPictures(urls) { Editing.insertPictures(urls); }
    function deleteEntry(index) { Editing.deleteEntry(index); }
    function toggleClassStruct(index) { Editing.toggleClassStruct(index); }
    function trackArray() { return Editing.trackArray(); }
    function selectCell(index) { Editing.selectCell(index); }
    function closeTitleEditor() { titleBar.closeEditor(); }

    function saveTrack() {
        hostObject.saveTrack(displayedTitle, trackArray());
    }

    function undo() {
        undoRedo.undo();
        updateUndoRedoStatus();
    }

    function redo() {
        undoRedo.redo();
        updateUndoRedoStatus();
    }

    function showPreview() {
        if (trackModel.count === 0)
            return;
        if (playerLoader.item) {
            playerLoader.item.showFullScreen();
            return;
        }
        playerLoader.source = "PlayerWindow.qml";
    }

    FileDialog {
        id: openDialog
        title: "课堂轨迹"
        selectMultiple: false
        onAccepted: mainWindow.openTrack(fileUrl)
    }

    FileDialog {
        id: insertDialog
        title: "课堂轨迹"
        selectMultiple: true
        onAccepted: mainWindow.insertPictures(fileUrls)
    }

    Loader {
        id: playerLoader
        objectName: "playerLoader"
        onLoaded: {
            for (var k = 0; k < trackModel.count; ++k) {
                var e = trackModel.get(k);
                item.appendItem(e.id, e.sample, e.timeTick, e.description, e.level);
            }
            item.resetTimeline(trackViewer.currentIndex);
        }
    }

    Connections {
        target: playerLoader.item
        ignoreUnknownSignals: true
        function onClose() { playerLoader.source = ""; }
    }

    Rectangle {
        id: background
        objectName: "background"
        anchors.fill: parent
        color: Theme.editorBackground

        EditorTitleBar {
            id: titleBar
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            title: mainWindow.displayedTitle
            canUndo: mainWindow.canUndo
            canRedo: mainWindow.canRedo
            canInsert: trackModel.count > 0
            onOpenClicked: openDialog.open()
            onUndoClicked: mainWindow.undo()
            onRedoClicked: mainWindow.redo()
            onSaveClicked: mainWindow.saveTrack()
            onInsertClicked: insertDialog.open()
            onMinimizeClicked: mainWindow.showMinimized()
            onCloseClicked: Qt.quit()
            onTitleEdited: Editing.changeTitle(text)
        }

        GridView {
            id: trackViewer
            objectName: "trackViewer"
            anchors.top: titleBar.bottom
            anchors.bottom: controlBar.top
            anchors.left: parent.left
            anchors.leftMargin: 49
            anchors.right: parent.right
            clip: true
            cellWidth: 254
            cellHeight: 264
            currentIndex: -1
            highlightFollowsCurrentItem: false
            model: trackModel
            cacheBuffer: 0
            onCurrentIndexChanged: {
                if (currentIndex >= 0)
                    positionViewAtIndex(currentIndex, GridView.Contain);
                if (timeLine.currentIndex !== currentIndex)
                    timeLine.currentIndex = currentIndex;
            }

            delegate: TrackCell {
                sample: model.sample
                timeTick: model.timeTick
                description: model.description
                level: model.level
                onSelectClicked: mainWindow.selectCell(index)
                onStageToggleClicked: mainWindow.toggleClassStruct(index)
                onDeleteClicked: mainWindow.deleteEntry(index)
            }
        }

        Text {
            objectName: "emptyMessage"
            anchors.centerIn: parent
            visible: trackModel.count === 0
            text: "请打开授课轨迹"
            color: Theme.tipsGreen
            font.pixelSize: Theme.messageFontSize
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }

        EditorControlBar {
            id: controlBar
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            onPreviewClicked: mainWindow.showPreview()
        }

        Connections {
            target: controlBar.timeLine
            function onCurrentIndexChanged() {
                if (trackViewer.currentIndex !== controlBar.timeLine.currentIndex)
                    trackViewer.currentIndex = controlBar.timeLine.currentIndex;
            }
        }
    }
}
