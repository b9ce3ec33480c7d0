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
    // Pictures chosen for inserting, waiting until the notice that they are
    // being imported has reached the screen (the import blocks the window).
    property var pendingImport: null
    property int importFrames: 0

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

    // Loads the package at once, dropping the current track; the open tool
    // goes through requestOpen, which asks first.
    function openTrack(url) {
        undoRedo.reInit();
        trackModel.clear();
        timeLine.removeAll();
        updateUndoRedoStatus();
        noticeBar.hide();
        var loaded = hostObject.loadTrack(url);
        markSaved();
        if (!loaded)
            showNotice("无法打开授课轨迹：" + hostObject.lastError, true);
        return loaded;
    }

    function requestOpen(url) {
        commitEdits();
        if (modified)
            askAbout({ kind: "open", url: url });
        else
            openTrack(url);
    }

    // The close tool and the window manager's close both come here.
    function requestClose() {
        commitEdits();
        if (modified) {
            askAbout({ kind: "close" });
            return;
        }
        closeConfirmed = true;
        Qt.quit();
    }

    function askAbout(action) {
        pendingAction = action;
        unsavedDialog.ask();
    }

    // Runs what waited for the dialog once the changes are saved or dropped.
    function runPendingAction() {
        var action = pendingAction;
        pendingAction = null;
        if (!action)
            return;
        if (action.kind === "open") {
            openTrack(action.url);
        } else {
            closeConfirmed = true;
            Qt.quit();
        }
    }

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
    function startImport(urls) {
        if (trackModel.count === 0 || !urls || urls.length === 0 || pendingImport !== null)
            return;
        var list = [];
        for (var k = 0; k < urls.length; ++k)
            list.push(urls[k]);
        pendingImport = list;
        importFrames = 0;
        showNotice(Editing.importNotice(list.length), false);
        importFallback.restart();
        update();
    }

    function runPendingImport() {
        var urls = pendingImport;
        if (urls === null)
            return;
        pendingImport = null;
        importFallback.stop();
        var announced = noticeBar.text;
        Editing.insertPictures(urls);
        // A notice of skipped pictures replaces the announcement; else it goes.
        if (noticeBar.text === announced)
            noticeBar.hide();
    }
    function deleteEntry(index) { Editing.deleteEntry(index); }
    function toggleClassStruct(index) { Editing.toggleClassStruct(index); }
    function trackArray() { return Editing.trackArray(); }
    function selectCell(index) { Editing.selectCell(index); }
    function closeTitleEditor() { titleBar.closeEditor(); }

    // Returns whether the package now holds the track.
    function saveTrack() {
        commitEdits();
        if (!hostObject.saveTrack(displayedTitle, trackArray())) {
            showNotice("保存失败：" + hostObject.lastError, true);
            return false;
        }
        markSaved();
        var missing = hostObject.lastSkipped;
        if (missing && missing.length > 0)
            showNotice("已保存；以下文件不存在，未能写入：" + Editing.fileNames(missing).join("、"),
                       true);
        else
            showNotice("已保存", false);
        return true;
    }

    function undo() {
        if (!undoRedo.canUndo())
            return;
        undoRedo.undo();
        noteChange();
        updateUndoRedoStatus();
    }

    function redo() {
        if (!undoRedo.canRedo())
            return;
        undoRedo.redo();
        noteChange();
        updateUndoRedoStatus();
    }

    // A new player every time, so it always shows the list as it is now,
    // however the last one was left (minimised, closed by the window manager).
    function showPreview() {
        commitEdits();
        if (trackModel.count === 0)
            return;
        playerLoader.source = "";
        playerLoader.source = "PlayerWindow.qml";
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

    FileDialog {
        id: openDialog
        objectName: "openDialog"
        title: "课堂轨迹"
        selectMultiple: false
        onAccepted: mainWindow.requestOpen(fileUrl)
    }

    FileDialog {
        id: insertDialog
        objectName: "insertDialog"
        title: "课堂轨迹"
        selectMultiple: true
        onAccepted: mainWindow.startImport(fileUrls)
    }

    // Two frames: the first may have been under way before the notice.
    Connections {
        target: mainWindow
        enabled: mainWindow.pendingImport !== null
        function onFrameSwapped() {
            if (++mainWindow.importFrames >= 2)
                mainWindow.runPendingImport();
            else
                mainWindow.update();
        }
    }
    // For a window that draws nothing (minimised).
    Timer {
        id: importFallback
        interval: 1000
        onTriggered: mainWindow.runPendingImport()
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

    UnsavedChangesDialog {
        id: unsavedDialog
        onSaveChosen: {
            // A failed save keeps the window and the track; its notice says why.
            if (mainWindow.saveTrack())
                mainWindow.runPendingAction();
            else
                mainWindow.pendingAction = null;
        }
        onDiscardChosen: mainWindow.runPendingAction()
        onCancelChosen: mainWindow.pendingAction = null
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
            // The window's arrow keys move the selection, committing as a click.
            keyNavigationEnabled: false
            onCurrentIndexChanged: {
                mainWindow.showSelected();
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
                onEditorsLeft: background.forceActiveFocus()
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
