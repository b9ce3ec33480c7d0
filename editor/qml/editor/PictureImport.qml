import QtQuick 2.12
import QtQuick.Window 2.2

// Inserting pictures from the dialog: the conversion blocks the window, so the
// notice that it is under way is drawn first, then `run` gets the pictures.
Item {
    id: pictureImport

    // The window whose frames are waited for.
    property Window window: null
    // Pictures waiting until the notice is on the screen, or null.
    property var pending: null
    property int frames: 0

    signal run(var urls)

    // Returns false when an import is already waiting.
    function start(urls) {
        if (pending !== null)
            return false;
        pending = urls;
        frames = 0;
        fallback.restart();
        window.update();
        return true;
    }

    function finish() {
        var urls = pending;
        if (urls === null)
            return;
        pending = null;
        fallback.stop();
        run(urls);
    }

    // Two frames: the first may have been under way before the notice.
    Connections {
        target: pictureImport.window
        enabled: pictureImport.pending !== null
        function onFrameSwapped() {
            if (++pictureImport.frames >= 2)
                pictureImport.finish();
            else
                pictureImport.window.update();
        }
    }
    // For a window that draws nothing (minimised).
    Timer {
        id: fallback
        interval: 1000
        onTriggered: pictureImport.finish()
    }
}
