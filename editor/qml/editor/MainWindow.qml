import QtQuick 2.12
import QtQuick.Window 2.2
import Qt.labs.platform 1.1 as Platform
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
    // Edits since the last successful load or save: every recorded command,
    // undo, redo and class-structure mark counts.
    property int changeCount: 0
    property int savedChangeCount: 0
    readonly property bool modified: changeCount !== savedChangeCount
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
        timeLine.updateItemDescription(index, description);
        if (changeCurrent)
            trackViewer.currentIndex = index;
    }

    function updateTimeTick(index, timeTick, changeCurrent) {
        return Editing.updateTimeTick(index, timeTick, changeCurrent);
    }

    function noteChange() { ++changeCount; }
    function markSaved() { savedChangeCount = changeCount; }
    function showNotice(message, failure) { noticeBar.show(message, failure); }

    function updateUndoRedoStatus() {
        canUndo = undoRedo.canUndo();
        canRedo = undoRedo.canRedo();
    }

    // --- actions ---

    function openTrack(url) { return Outcome.openTrack(url); }
    function requestOpen(url) { Outcome.requestOpen(url); }
    function requestClose() { Outcome.requestClose(); }
    // Returns whether the package now holds the track.
    function saveTrack() { return Outcome.saveTrack(); }

    function commitEdits() { Editing.commitEdits(); }
    function cancelEdits() {
        titleBar.cancelEditor();
        Editing.cancelCellEdits();
        // Out of the editors, so that the keys act on the grid again.
        background.forceActiveFocus();
    }
    function moveSelection(dx, dy) { Editing.moveSelection(dx, dy); }
    function focusCaption() { Editing.focusCaption(); }
    function showSelected() {
        if (trackViewer.currentIndex >= 0)
            trackViewer.positionViewAtIndex(trackViewer.currentIndex, GridView.Contain);
    }

    function showOpenDialog() { openDialog.open(); }
    function showInsertDialog() {
        if (trackModel.count > 0)
            insertDialog.open();
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

    function showPreview() {
        commitEdits();
        if (trackModel.count > 0)
            playerLoader.showPlayer();
    }

    onClosing: {
        if (closeConfirmed)
            return;
        close.accepted = false;
        requestClose();
    }

    EditorKeys {
        editor: mainWindow
    }

    // The system's file dialog on Windows, Qt's widget dialog on Linux.
    Platform.FileDialog {
        id: openDialog
        objectName: "openDialog"
        title: "课堂轨迹"
        fileMode: Platform.FileDialog.OpenFile
        onAccepted: mainWindow.requestOpen(file)
    }

    Platform.FileDialog {
        id: insertDialog
        objectName: "insertDialog"
        title: "课堂轨迹"
        fileMode: Platform.FileDialog.OpenFiles
        onAccepted: mainWindow.startImport(files)
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
            canInsert: trackModel.count > 0
            hintAllowed: trackModel.count > 0
            modified: mainWindow.modified
            onOpenClicked: mainWindow.showOpenDialog()
            onUndoClicked: mainWindow.undo()
            onRedoClicked: mainWindow.redo()
            onSaveClicked: mainWindow.saveTrack()
            onInsertClicked: mainWindow.showInsertDialog()
            onMinimizeClicked: mainWindow.showMinimized()
            onCloseClicked: mainWindow.requestClose()
            onTitleEdited: Editing.changeTitle(text)
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
            onSelectClicked: mainWindow.selectCell(index)
            onStageToggleClicked: mainWindow.toggleClassStruct(index)
            onDeleteClicked: mainWindow.deleteEntry(index)
            onEditorsLeft: background.forceActiveFocus()
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

        LoadingIndicator { anchors.fill: trackViewer; onFinished: Outcome.trackLoaded(loaded) }

        NoticeBar {
            id: noticeBar
            anchors.top: titleBar.bottom
            anchors.topMargin: 12
            anchors.horizontalCenter: parent.horizontalCenter
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
