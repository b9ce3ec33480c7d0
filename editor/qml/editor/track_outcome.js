// Loading, saving and the questions around them for MainWindow.qml: what the
// teacher typed is committed first, unsaved changes are asked about before
// they could be lost, and every outcome is said in the notice bar. Imported by
// that document only; works on its ids (mainWindow, noticeBar, unsavedDialog).
.import "main_window.js" as Editing

// After a command was recorded, undone or redone; and after a change that the
// history does not hold (unrecorded).
function noteChange(unrecorded) {
    mainWindow.unrecordedChange = mainWindow.unrecordedChange || unrecorded === true;
    mainWindow.modified = mainWindow.unrecordedChange || !mainWindow.undoRedo.atSavedPoint();
}

function markSaved() {
    mainWindow.undoRedo.markSaved();
    mainWindow.unrecordedChange = false;
    mainWindow.modified = false;
}

// Starts opening the package, dropping the current track; the host reads it
// while the window goes on drawing, and trackLoaded below says how it went.
// Nothing happens while another package is being opened.
function openTrack(url) {
    if (hostObject.loading)
        return false;
    mainWindow.undoRedo.reInit();
    trackModel.clear();
    mainWindow.timeLine.removeAll();
    mainWindow.updateUndoRedoStatus();
    noticeBar.hide();
    mainWindow.trackOpen = false;
    var started = hostObject.loadTrack(url);
    mainWindow.markSaved();
    if (!started)
        noticeBar.show("无法打开授课轨迹：" + hostObject.lastError, true);
    return started;
}

// The host's trackLoaded: the window holds the new track, or none.
function trackLoaded(loaded) {
    mainWindow.trackOpen = loaded;
    mainWindow.markSaved();
    if (!loaded)
        noticeBar.show("无法打开授课轨迹：" + hostObject.lastError, true);
    else if (hostObject.lastSkipped.length > 0)
        noticeBar.show("已打开；以下条目不属于此授课轨迹，未解压：" +
                       hostObject.lastSkipped.join("、"), true);
}

// A large track's pictures could not be unpacked after it was shown: the
// host has emptied the window, and what was done meanwhile goes with it.
function picturesFailed() {
    mainWindow.undoRedo.reInit();
    mainWindow.updateUndoRedoStatus();
    trackLoaded(false);
}

// Returns whether the package now holds the track.
function saveTrack() {
    Editing.commitEdits();
    if (!hostObject.saveTrack(mainWindow.displayedTitle, Editing.trackArray())) {
        saveFailed();
        return false;
    }
    saved("已保存");
    return true;
}

// Saves the track into the package file the teacher chose; the window then
// works on that package (the host opens it in place of the old one).
// Returns whether it holds the track.
function saveTrackAs(url) {
    Editing.commitEdits();
    if (!hostObject.saveTrackAs(url, mainWindow.displayedTitle, Editing.trackArray())) {
        saveFailed();
        return false;
    }
    saved("已另存为" + decodeURIComponent(Editing.fileNames([url])[0]));
    return true;
}

// The reason, and a way to keep the work elsewhere.
function saveFailed() {
    noticeBar.show("保存失败：" + hostObject.lastError, true, "另存为…");
}

function saved(message) {
    mainWindow.markSaved();
    var missing = hostObject.lastSkipped;
    if (missing && missing.length > 0)
        noticeBar.show("已保存；以下文件不存在，未能写入：" + Editing.fileNames(missing).join("、"),
                       true);
    else
        noticeBar.show(message, false);
}

// The open tool's way: asks first when there are unsaved changes.
function requestOpen(url) {
    Editing.commitEdits();
    if (mainWindow.modified)
        askAbout({ kind: "open", url: url });
    else
        openTrack(url);
}

// The close tool and the window manager's close both come here.
function requestClose() {
    Editing.commitEdits();
    if (mainWindow.modified) {
        askAbout({ kind: "close" });
        return;
    }
    quit();
}

function quit() {
    mainWindow.closeConfirmed = true;
    Qt.quit();
}

function askAbout(action) {
    mainWindow.pendingAction = action;
    unsavedDialog.ask();
}

// The dialog's answers.
function saveChosen() {
    // A failed save keeps the window and the track; its notice says why.
    if (saveTrack())
        runPendingAction();
    else
        mainWindow.pendingAction = null;
}

function discardChosen() {
    runPendingAction();
}

function cancelChosen() {
    mainWindow.pendingAction = null;
}

// Runs what waited for the dialog once the changes are saved or dropped.
function runPendingAction() {
    var action = mainWindow.pendingAction;
    mainWindow.pendingAction = null;
    if (!action)
        return;
    if (action.kind === "open")
        openTrack(action.url);
    else
        quit();
}
