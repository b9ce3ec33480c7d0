// Loading, saving and the questions around them for MainWindow.qml: what the
// teacher typed is committed first, unsaved changes are asked about before
// they could be lost, and every outcome is said in the notice bar. Imported by
// that document only; works on its ids (mainWindow, noticeBar, unsavedDialog).
.import "main_window.js" as Editing

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
    var started = hostObject.loadTrack(url);
    mainWindow.markSaved();
    if (!started)
        noticeBar.show("无法打开授课轨迹：" + hostObject.lastError, true);
    return started;
}

// The host's trackLoaded: the window holds the new track, or none.
function trackLoaded(loaded) {
    mainWindow.markSaved();
    if (!loaded)
        noticeBar.show("无法打开授课轨迹：" + hostObject.lastError, true);
    else if (hostObject.lastSkipped.length > 0)
        noticeBar.show("已打开；以下条目不属于此授课轨迹，未解压：" +
                       hostObject.lastSkipped.join("、"), true);
}

// Returns whether the package now holds the track.
function saveTrack() {
    Editing.commitEdits();
    if (!hostObject.saveTrack(mainWindow.displayedTitle, Editing.trackArray())) {
        noticeBar.show("保存失败：" + hostObject.lastError, true);
        return false;
    }
    mainWindow.markSaved();
    var missing = hostObject.lastSkipped;
    if (missing && missing.length > 0)
        noticeBar.show("已保存；以下文件不存在，未能写入：" + Editing.fileNames(missing).join("、"),
                       true);
    else
        noticeBar.show("已保存", false);
    return true;
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
