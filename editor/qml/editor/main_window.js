// The editing behind MainWindow.qml: the track list, its grid and timeline kept
// in step, and every change made as an undoable command. Imported by that
// document only; works on its ids (mainWindow, trackModel, trackViewer).
.import "undo_redo.js" as UR
.import "../controls/track_time.js" as TrackTime
.import "../controls/file_url.js" as FileUrl

// Where an entry goes: before the first entry whose tick is >= its own. The
// host passes a path (or a file URL); the list holds a file URL. While a
// track loads the host gives its entries in time order, so the place is
// known without looking into the list (each look costs a list object):
// after the last entry, or before the run of entries of the last one's time.
var loadedTick = 0;
var loadedRunStart = 0;
// The marks of a load that came in slices, in the list's order; null once an
// entry was placed by searching, and the marks are read from the list again.
var loadedMarks = [];

function beginLoad() {
    loadedMarks = [];
}

function appendItem(id, sample, timeTick, description, level) {
    var tick = Number(timeTick);
    var entry = {
        id: String(id),
        sample: FileUrl.fromPathOrUrl(sample),
        timeTick: tick,
        description: String(description),
        level: String(level)
    };
    var count = trackModel.count;
    loadedMarks = null;
    if (!mainWindow.loadingTrack) {
        trackModel.insert(TrackTime.insertionIndex(trackModel, "timeTick", tick), entry);
    } else if (count === 0 || tick > loadedTick) {
        trackModel.append(entry);
        loadedTick = tick;
        loadedRunStart = count;
    } else if (tick === loadedTick) {
        trackModel.insert(loadedRunStart, entry);
    } else {
        trackModel.insert(TrackTime.insertionIndex(trackModel, "timeTick", tick), entry);
        ++loadedRunStart;
    }
}

// Many entries of a load at once, already in the list's order and after all
// it holds: records with id, sample (a file URL), timeTick, description and
// level, as the list holds them.
function appendItems(items) {
    trackModel.append(items);
    if (loadedMarks === null)
        return;
    for (var k = 0; k < items.length; ++k) {
        loadedMarks.push({ time: items[k].timeTick, level: items[k].level,
                           description: items[k].description });
    }
}

// The host's last call of a load: the marks once for the whole track, and
// nothing selected.
function resetTimeLine() {
    mainWindow.loadingTrack = false;
    // Reading 50,000 entries back from the list takes a second; the slices
    // brought them already.
    if (loadedMarks !== null && loadedMarks.length === trackModel.count) {
        mainWindow.timeLine.removeAll();
        mainWindow.timeLine.addItems(loadedMarks);
    } else {
        rebuildMarks();
    }
    loadedMarks = [];
    trackViewer.currentIndex = -1;
    mainWindow.timeLine.currentIndex = -1;
}

function rebuildMarks() {
    mainWindow.timeLine.removeAll();
    if (trackModel.count === 0)
        return;
    var items = [];
    for (var k = 0; k < trackModel.count; ++k) {
        var entry = trackModel.get(k);
        items.push({ time: entry.timeTick, level: entry.level,
                     description: entry.description });
    }
    mainWindow.timeLine.addItems(items);
}

function updateTimeTick(index, timeTick, changeCurrent) {
    var pos = UR.reIndex(trackModel, index, timeTick);
    trackModel.setProperty(pos, "timeTick", timeTick);
    if (changeCurrent)
        trackViewer.currentIndex = pos;
    else if (trackViewer.currentIndex === index)
        trackViewer.currentIndex = pos;
    mainWindow.resetTimeLine2();
    return pos;
}

function updateDescription(index, description, changeCurrent) {
    trackModel.setProperty(index, "description", description);
    mainWindow.timeLine.updateItemDescription(index, description);
    if (changeCurrent)
        trackViewer.currentIndex = index;
}

function showPreview() {
    commitEdits();
    if (trackModel.count > 0)
        mainWindow.playerLoader.showPlayer();
}

function execute(command) {
    command.exec();
    mainWindow.undoRedo.addCommand(command);
    mainWindow.noteChange();
}

function insertPictures(urls) {
    if (!mainWindow.canInsert)
        return;
    var selected = trackViewer.currentIndex;
    var base = selected >= 0 ? trackModel.get(selected).timeTick : 0;
    var list = [];
    for (var k = 0; k < urls.length; ++k)
        list.push(urls[k]);
    var records = hostObject.prepareSamples(list);
    var skipped = hostObject.lastSkipped;
    if (skipped && skipped.length > 0)
        mainWindow.showNotice("以下图片无法导入：" + fileNames(skipped).join("、"), true);
    if (!records || records.length === 0)
        return;
    execute(new UR.InsertCommand(trackModel, trackViewer, selected, base, records));
    mainWindow.updateUndoRedoStatus();
}

function importNotice(count) {
    return "正在导入图片…（" + count + " 张）";
}

// The last path component of each entry (paths or file URLs).
function fileNames(list) {
    var names = [];
    for (var k = 0; k < list.length; ++k) {
        var text = String(list[k]);
        names.push(text.substring(Math.max(text.lastIndexOf("/"), text.lastIndexOf("\\")) + 1));
    }
    return names;
}

function deleteEntry(index) {
    if (index < 0 || index >= trackModel.count)
        return;
    var entry = trackModel.get(index);
    var copy = {
        id: entry.id, sample: entry.sample, timeTick: entry.timeTick,
        description: entry.description, level: entry.level
    };
    execute(new UR.DeleteCommand(trackModel, trackViewer, [index], [copy]));
    trackViewer.currentIndex = Math.min(index, trackModel.count - 1);
    mainWindow.updateUndoRedoStatus();
}

function toggleClassStruct(index) {
    if (index < 0 || index >= trackModel.count)
        return;
    var level = trackModel.get(index).level === "1" ? "-1" : "1";
    trackModel.setProperty(index, "level", level);
    mainWindow.timeLine.updateItemLevel(index, level === "1" ? 1 : -1);
    mainWindow.noteChange(true);
}

function trackArray() {
    var track = [];
    for (var k = 0; k < trackModel.count; ++k) {
        var e = trackModel.get(k);
        track.push({ id: e.id, sample: e.sample, timeTick: e.timeTick,
                     description: e.description, level: e.level });
    }
    return track;
}

// Records what the selected cell's editors hold as commands. Returns where the
// entry is afterwards (a new time may move it), or -1 when no cell is selected.
function commitCell() {
    var selected = trackViewer.currentIndex;
    if (selected < 0 || selected >= trackModel.count || !trackViewer.currentItem)
        return -1;
    var cell = trackViewer.currentItem;
    var entry = trackModel.get(selected);
    var description = cell.editedDescription();
    if (description !== entry.description) {
        execute(new UR.DescriptionUpdateCommand(selected, entry.description, description,
                                                mainWindow.updateDescription));
    }
    // An untouched time editor is no change: a tick of 100 hours or
    // more does not fit its mask and would come back truncated.
    var tick = cell.timeEdited() ? TrackTime.parseTimeTick(cell.editedTime()) : NaN;
    var oldTick = trackModel.get(selected).timeTick;
    if (!isNaN(tick) && tick !== oldTick) {
        var tc = new UR.TimeTickUpdateCommand(selected, oldTick, tick,
                                              mainWindow.updateTimeTick);
        execute(tc);
        return tc.index;
    }
    return selected;
}

// Commits the selected cell's editors, then selects `index`.
function selectCell(index) {
    if (index === trackViewer.currentIndex)
        return;
    var selected = trackViewer.currentIndex;
    var target = index;
    var moved = commitCell();
    // The clicked entry may have shifted by one.
    if (moved >= 0 && moved !== selected) {
        if (selected < index && moved >= index)
            target = index - 1;
        else if (selected > index && moved <= index)
            target = index + 1;
    }
    trackViewer.currentIndex = target;
    mainWindow.updateUndoRedoStatus();
}

// Before a save, a preview, an open or a close: whatever is typed into an
// open caption, time or title editor counts, as a click elsewhere would make it.
function commitEdits() {
    mainWindow.closeTitleEditor();
    var selected = trackViewer.currentIndex;
    var moved = commitCell();
    if (moved >= 0 && moved !== selected)
        trackViewer.currentIndex = moved;
    mainWindow.updateUndoRedoStatus();
}

// The title editor closed with a new text.
function changeTitle(text) {
    execute(new UR.TitleUpdateCommand(mainWindow.displayedTitle, text, mainWindow.updateTitle));
    mainWindow.updateUndoRedoStatus();
}

// Escape: the open editors go back to the stored values and the keyboard to
// the grid.
function cancelEdits() {
    titleBar.cancelEditor();
    cancelCellEdits();
    mainWindow.focusGrid();
}

// The selected cell's editors go back to the stored values.
function cancelCellEdits() {
    var cell = trackViewer.currentItem;
    if (cell && trackViewer.currentIndex >= 0)
        cell.resetEditors();
}

// Enter: the caption editor of the selected cell takes the keyboard.
function focusCaption() {
    var selected = trackViewer.currentIndex;
    if (selected < 0)
        return;
    mainWindow.showSelected();
    if (trackViewer.currentItem)
        trackViewer.currentItem.focusCaption();
}

// The arrow keys: the neighbouring cell in the grid (dx, dy in cells),
// committing the selected cell's editors as a click on that cell does. With
// nothing selected any arrow selects the first entry.
function moveSelection(dx, dy) {
    var count = trackModel.count;
    if (count === 0)
        return;
    var selected = trackViewer.currentIndex;
    if (selected < 0) {
        selectCell(0);
        return;
    }
    var columns = Math.max(1, Math.floor(trackViewer.width / trackViewer.cellWidth));
    var target = selected + dx;
    if (dy !== 0) {
        // A row below that is not full still takes Down, at its last entry.
        var row = Math.floor(selected / columns) + dy;
        if (row < 0 || row > Math.floor((count - 1) / columns))
            return;
        target = Math.min(count - 1, selected + dy * columns);
    }
    if (target < 0 || target >= count)
        return;
    selectCell(target);
}

function undo() {
    if (!mainWindow.undoRedo.canUndo())
        return;
    mainWindow.undoRedo.undo();
    mainWindow.noteChange();
    mainWindow.updateUndoRedoStatus();
}

function redo() {
    if (!mainWindow.undoRedo.canRedo())
        return;
    mainWindow.undoRedo.redo();
    mainWindow.noteChange();
    mainWindow.updateUndoRedoStatus();
}

// The insert dialog's way: says what is coming and lets PictureImport.qml wait
// until that is drawn (the conversion blocks the window), then finishImport.
function startImport(urls) {
    if (!mainWindow.canInsert || !urls || urls.length === 0)
        return;
    var list = [];
    for (var k = 0; k < urls.length; ++k)
        list.push(urls[k]);
    if (pictureImport.start(list))
        noticeBar.show(importNotice(list.length), false);
}

function finishImport(urls) {
    var announced = noticeBar.text;
    insertPictures(urls);
    // A notice of skipped pictures replaces the announcement; else it goes.
    if (noticeBar.text === announced)
        noticeBar.hide();
}
