import QtQuick 2.12
import QtQuick.Window 2.2
import "../controls"
import "undo_redo.js" as UR
import "main_window.js" as Editing
import "track_outcome.js" as Outcome

// The editor's one working window: the track as a grid of picture cells
// (TrackCell.qml) under the title bar (EditorTitleBar.qml), the timeline and
// the preview button in the control bar (EditorControlBar.qml). The editing
// itself is in main_window.js, loading and saving with their questions and
// notices in track_outcome.js; the functions below are the ones the host, the
// keys (EditorKeys.qml) and the tests call by name.
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
    // Unsaved changes: the history away from its saved point, or a
    // class-structure mark (not in the history) since the last load or save.
    property bool modified: false
    property bool unrecordedChange: false
    // The last open succeeded: a track (perhaps still without entries) is
    // open and can be filled and saved.
    property bool trackOpen: false
    readonly property bool canInsert: trackOpen || trackModel.count > 0
    // What waits for the unsaved-changes dialog: {kind: "close"} or
    // {kind: "open", url: …}; null when nothing does.
    property var pendingAction: null
    // Set once the user agreed to close, so the window's own close goes through.
    property bool closeConfirmed: false
    // Frames drawn since pictures were chosen for inserting (PictureImport.qml).
    property alias importFrames: pictureImport.frames

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
        Editing.beginLoad();
        timeLine.removeAll();
        trackModel.clear();
    }

    function appendItem(id, sample, timeTick, description, level) {
        Editing.appendItem(id, sample, timeTick, description, level);
    }

    // A slice of a long load in one call, in the list's order.
    function appendItems(items) { Editing.appendItems(items); }

    function resetTimeLine() { Editing.resetTimeLine(); }

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
        Editing.updateDescription(index, description, changeCurrent);
    }

    function updateTimeTick(index, timeTick, changeCurrent) {
        return Editing.updateTimeTick(index, timeTick, changeCurrent);
    }

    function noteChange(unrecorded) { Outcome.noteChange(unrecorded); }
    function markSaved() { Outcome.markSaved(); }
    function showNotice(message, failure) { noticeBar.show(message, failure); }

    function updateUndoRedoStatus() {
        canUndo = undoRedo.canUndo();
        canRedo = undoRedo.canRedo();
    }

    // --- actions ---

    function openTrack(url) { return Outcome.openTrack(url); }
    function requestOpen(url) { Outcome.requestOpen(url); }
    function requestClose() { Outcome.requestClose(); }
    // Both return whether the package (for saveTrackAs the chosen one) now
    // holds the track.
    function saveTrack() { return Outcome.saveTrack(); }
    function saveTrackAs(url) { return Outcome.saveTrackAs(url); }

    function commitEdits() { Editing.commitEdits(); }
    function cancelEdits() { Editing.cancelEdits(); }
    // Out of the editors and off the tools, so that the keys act on the grid.
    function focusGrid() { background.forceActiveFocus(); }
    // A click on the grid (a cell or its empty part) closes the title editor
    // as a click on another control would, and the keyboard follows the click.
    function gridClicked() {
        closeTitleEditor();
        focusGrid();
    }
    function moveSelection(dx, dy) { Editing.moveSelection(dx, dy); }
    function focusCaption() { Editing.focusCaption(); }
    function showSelected() {
        if (trackViewer.currentIndex >= 0)
            trackViewer.positionViewAtIndex(trackViewer.currentIndex, GridView.Contain);
    }

    function showOpenDialog() { dialogs.showOpen(); }
    function showSaveAsDialog() {
        if (trackOpen)
            dialogs.showSaveAs();
    }
    function showInsertDialog() {
        if (canInsert)
            dialogs.showInsert();
    }

    // Inserts at once (the window is frozen meanwhile).
    function insertPictures(urls) { Editing.insertPictures(urls); }

    // The insert dialog's way: says what is coming, lets that be drawn, then
    // inserts.
    function startImport(urls) { Editing.startImport(urls); }

    function deleteEntry(index) { Editing.deleteEntry(index); }
    function toggleClassStruct(index) { Editing.toggleClassStruct(index); }
    function trackArray() { return Editing.trackArray(); }
    function selectCell(index) { Editing.selectCell(index); }
    function closeTitleEditor() { titleBar.closeEditor(); }

    function undo() { Editing.undo(); }
    function redo() { Editing.redo(); }

    function showPreview() { Editing.showPreview(); }

    onClosing: {
        if (closeConfirmed)
            return;
        close.accepted = false;
        requestClose();
    }

    EditorKeys {
        editor: mainWindow
    }

    TrackDialogs {
        id: dialogs
        onOpenChosen: mainWindow.requestOpen(file)
        onPicturesChosen: mainWindow.startImport(files)
        onSaveAsChosen: mainWindow.saveTrackAs(file)
    }

    PictureImport {
        id: pictureImport
        window: mainWindow
        onRun: Editing.finishImport(urls)
    }

    PlayerLoader {
        id: playerLoader
        trackModel: trackModel
        currentIndex: trackViewer.currentIndex
    }

    UnsavedChangesDialog {
        id: unsavedDialog
        onSaveChosen: Outcome.saveChosen()
        onDiscardChosen: Outcome.discardChosen()
        onCancelChosen: Outcome.cancelChosen()
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
            canInsert: mainWindow.canInsert
            hintAllowed: mainWindow.canInsert
            modified: mainWindow.modified
            onOpenClicked: mainWindow.showOpenDialog()
            onUndoClicked: mainWindow.undo()
            onRedoClicked: mainWindow.redo()
            onSaveClicked: mainWindow.saveTrack()
            onInsertClicked: mainWindow.showInsertDialog()
            onMinimizeClicked: mainWindow.showMinimized()
            onCloseClicked: mainWindow.requestClose()
            onTitleEdited: Editing.changeTitle(text)
            onEditorLeft: mainWindow.focusGrid()
        }

        TrackGrid {
            id: trackViewer
            anchors.top: titleBar.bottom
            anchors.bottom: controlBar.top
            anchors.left: parent.left
            anchors.leftMargin: 49
            anchors.right: parent.right
            model: trackModel
            onCurrentIndexChanged: {
                mainWindow.showSelected();
                if (timeLine.currentIndex !== currentIndex)
                    timeLine.currentIndex = currentIndex;
            }
            onSelectClicked: {
                mainWindow.gridClicked();
                mainWindow.selectCell(index);
            }
            onEmptyClicked: mainWindow.gridClicked()
            onStageToggleClicked: mainWindow.toggleClassStruct(index)
            onDeleteClicked: mainWindow.deleteEntry(index)
            onEditorsLeft: mainWindow.focusGrid()
        }

        Text {
            objectName: "emptyMessage"
            anchors.centerIn: parent
            visible: trackModel.count === 0
            // An open track without entries is there to be filled.
            text: mainWindow.trackOpen ? "授课轨迹为空，请插入图片" : "请打开授课轨迹"
            color: Theme.tipsGreen
            font.pixelSize: Theme.messageFontSize
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }

        LoadingIndicator {
            anchors.fill: trackViewer
            onFinished: Outcome.trackLoaded(loaded)
            onPicturesFailed: Outcome.picturesFailed()
        }

        NoticeBar {
            id: noticeBar
            anchors.top: titleBar.bottom
            anchors.topMargin: 12
            anchors.horizontalCenter: parent.horizontalCenter
            // Its one way out: the failed save's 另存为.
            onActionChosen: mainWindow.showSaveAsDialog()
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
