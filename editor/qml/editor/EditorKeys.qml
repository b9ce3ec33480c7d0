import QtQuick 2.12

// The editor's keyboard, window-wide so that it works wherever the focus is.
// Keys that a text editor needs stay with the editor while it has the focus:
// Delete, the arrows and Enter edit the text there, and Ctrl+Z / Ctrl+Y undo
// and redo the typing (the track's history once the focus has left the
// editor). A focused button keeps Space and Enter for itself. Each shortcut is
// off while its tool would do nothing.
Item {
    id: keys

    // The main window: its functions and state.
    property var editor: null
    readonly property var focused: editor ? editor.activeFocusItem : null
    // A one-line editor (title, caption, time) has the keyboard focus.
    readonly property bool typing: focused !== null && focused.cursorPosition !== undefined
    // A control that acts on Space and Enter has it.
    readonly property bool controlFocused: focused !== null && !typing
                                           && focused.activeFocusOnTab === true
    readonly property int count: editor ? editor.trackModel.count : 0
    readonly property int selected: editor ? editor.trackViewer.currentIndex : -1

    Shortcut {
        sequence: "Ctrl+O"
        onActivated: keys.editor.showOpenDialog()
    }
    Shortcut {
        sequence: "Ctrl+S"
        onActivated: keys.editor.saveTrack()
    }
    Shortcut {
        sequence: "Ctrl+Shift+S"
        enabled: keys.editor !== null && keys.editor.trackOpen
        onActivated: keys.editor.showSaveAsDialog()
    }
    Shortcut {
        sequence: "Ctrl+Z"
        enabled: keys.editor !== null && keys.editor.canUndo
        onActivated: keys.editor.undo()
    }
    Shortcut {
        sequences: ["Ctrl+Y", "Ctrl+Shift+Z"]
        enabled: keys.editor !== null && keys.editor.canRedo
        onActivated: keys.editor.redo()
    }
    Shortcut {
        sequence: "Ctrl+I"
        enabled: keys.editor !== null && keys.editor.canInsert
        onActivated: keys.editor.showInsertDialog()
    }
    Shortcut {
        sequence: "F5"
        enabled: keys.count > 0
        onActivated: keys.editor.showPreview()
    }
    Shortcut {
        sequence: "Delete"
        enabled: !keys.typing && keys.selected >= 0
        onActivated: keys.editor.deleteEntry(keys.selected)
    }
    Shortcut {
        sequence: "Left"
        enabled: !keys.typing && keys.count > 0
        onActivated: keys.editor.moveSelection(-1, 0)
    }
    Shortcut {
        sequence: "Right"
        enabled: !keys.typing && keys.count > 0
        onActivated: keys.editor.moveSelection(1, 0)
    }
    Shortcut {
        sequence: "Up"
        enabled: !keys.typing && keys.count > 0
        onActivated: keys.editor.moveSelection(0, -1)
    }
    Shortcut {
        sequence: "Down"
        enabled: !keys.typing && keys.count > 0
        onActivated: keys.editor.moveSelection(0, 1)
    }
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: !keys.typing && !keys.controlFocused && keys.selected >= 0
        onActivated: keys.editor.focusCaption()
    }
    Shortcut {
        sequence: "Esc"
        onActivated: keys.editor.cancelEdits()
    }
}
