.pragma library
// Undo history of the editor window and its command kinds. A command is made,
// exec()uted once by its creator and then handed to UndoRedo.addCommand.
// Commands address entries by their positions in the track list.

function UndoRedo() {
    this.undos = [];
    this.redos = [];
    // The command on top of the undo stack when the track was saved (null:
    // none); the track is as saved while the same one is on top.
    this.savedTop = null;
}

UndoRedo.prototype.reInit = function() {
    this.undos = [];
    this.redos = [];
    this.savedTop = null;
};

UndoRedo.prototype.top = function() {
    return this.undos.length > 0 ? this.undos[this.undos.length - 1] : null;
};

UndoRedo.prototype.markSaved = function() {
    this.savedTop = this.top();
};

// Undone back to the saved state, or redone forward to it. A command recorded
// after undoing past it drops it from the redo stack for good, so the same
// top is never reached again by another way.
UndoRedo.prototype.atSavedPoint = function() {
    return this.top() === this.savedTop;
};

UndoRedo.prototype.addCommand = function(command) {
    this.undos.push(command);
    this.redos = [];
};

UndoRedo.prototype.canUndo = function() {
    return this.undos.length > 0;
};

UndoRedo.prototype.canRedo = function() {
    return this.redos.length > 0;
};

UndoRedo.prototype.undo = function() {
    if (this.undos.length === 0)
        return;
    var command = this.undos.pop();
    command.undo();
    this.redos.push(command);
};

UndoRedo.prototype.redo = function() {
    if (this.redos.length === 0)
        return;
    var command = this.redos.pop();
    command.redo();
    this.undos.push(command);
};

// Moves the entry at `index` to where `timeTick` keeps the list sorted: in
// front of the first other entry whose tick is greater than or equal to it, or
// at the end. Returns the new position; the tick itself is not written.
// trackModel: a ListModel (count, get, move).
function reIndex(trackModel, index, timeTick) {
    var count = trackModel.count;
    var target = count - 1;
    for (var i = 0; i < count; ++i) {
        if (trackModel.get(i).timeTick >= timeTick) {
            target = index < i ? i - 1 : i;
            break;
        }
    }
    if (target !== index)
        trackModel.move(index, target, 1);
    return target;
}

function TitleUpdateCommand(oldTitle, newTitle, updateTitle) {
    this.oldTitle = oldTitle;
    this.newTitle = newTitle;
    this.updateTitle = updateTitle;
}

TitleUpdateCommand.prototype.exec = function() {
    this.updateTitle(this.newTitle);
};

TitleUpdateCommand.prototype.undo = function() {
    this.updateTitle(this.oldTitle);
};

TitleUpdateCommand.prototype.redo = function() {
    this.updateTitle(this.newTitle);
};

function DescriptionUpdateCommand(index, oldDescription, newDescription, updateDescription) {
    this.index = index;
    this.oldDescription = oldDescription;
    this.newDescription = newDescription;
    this.updateDescription = updateDescription;
}

DescriptionUpdateCommand.prototype.exec = function() {
    this.updateDescription(this.index, this.newDescription, false);
};

DescriptionUpdateCommand.prototype.undo = function() {
    this.updateDescription(this.index, this.oldDescription, true);
};

DescriptionUpdateCommand.prototype.redo = function() {
    this.updateDescription(this.index, this.newDescription, true);
};

// `index` follows the entry: updateTimeTick returns where it moved to.
function TimeTickUpdateCommand(index, oldTimeTick, newTimeTick, updateTimeTick) {
    this.index = index;
    this.oldTimeTick = oldTimeTick;
    this.newTimeTick = newTimeTick;
    this.updateTimeTick = updateTimeTick;
}

TimeTickUpdateCommand.prototype.exec = function() {
    this.index = this.updateTimeTick(this.index, this.newTimeTick, false);
};

TimeTickUpdateCommand.prototype.undo = function() {
    this.index = this.updateTimeTick(this.index, this.oldTimeTick, true);
};

TimeTickUpdateCommand.prototype.redo = function() {
    this.index = this.updateTimeTick(this.index, this.newTimeTick, true);
};

// Inserts the records after the entry at `index` (-1: from the start) at the
// ticks timeTick + 1, + 2, ..., each behind every entry with a smaller tick.
// trackViewer: the grid whose currentIndex is the selection.
function InsertCommand(trackModel, trackViewer, index, timeTick, newSamples) {
    this.trackModel = trackModel;
    this.trackViewer = trackViewer;
    this.index = index;
    this.timeTick = timeTick;
    this.newSamples = newSamples;
    this.newIndex = [];
}

InsertCommand.prototype.exec = function() {
    var pos = this.index + 1;
    var t = this.timeTick + 1;
    this.newIndex = [];
    for (var k = 0; k < this.newSamples.length; ++k) {
        // The scan passes the entry inserted just before, whose tick is one less.
        while (pos < this.trackModel.count && this.trackModel.get(pos).timeTick < t + k)
            ++pos;
        this.newIndex.push(pos);
        var sample = this.newSamples[k];
        this.trackModel.insert(pos, {
            id: sample.id,
            sample: sample.sample,
            timeTick: t + k,
            description: sample.description,
            level: "-1"
        });
    }
};

InsertCommand.prototype.undo = function() {
    // Last inserted first, so that the recorded positions stay valid.
    while (this.newIndex.length > 0)
        this.trackModel.remove(this.newIndex.pop(), 1);
    this.trackViewer.currentIndex = this.index;
};

InsertCommand.prototype.redo = function() {
    this.exec();
    this.trackViewer.currentIndex = this.index;
};

// invalidTrackModel holds copies of the deleted entries (id, sample, timeTick,
// description, level), in the order of invalidTrackIndex.
function DeleteCommand(trackModel, trackViewer, invalidTrackIndex, invalidTrackModel) {
    this.trackModel = trackModel;
    this.trackViewer = trackViewer;
    this.invalidTrackIndex = invalidTrackIndex;
    this.invalidTrackModel = invalidTrackModel;
}

DeleteCommand.prototype.exec = function() {
    for (var k = 0; k < this.invalidTrackIndex.length; ++k)
        this.trackModel.remove(this.invalidTrackIndex[k], 1);
};

// Reverse order: each position was taken in the list left by the removals
// before it, so the copies go back in the opposite order.
DeleteCommand.prototype.undo = function() {
    for (var k = this.invalidTrackIndex.length - 1; k >= 0; --k) {
        this.trackModel.insert(this.invalidTrackIndex[k], this.invalidTrackModel[k]);
        this.trackViewer.currentIndex = this.invalidTrackIndex[k];
    }
};

DeleteCommand.prototype.redo = function() {
    this.exec();
};
