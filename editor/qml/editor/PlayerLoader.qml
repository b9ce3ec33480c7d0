import QtQuick 2.12

// Loads the preview player (player/PlayerWindow.qml) on demand with a copy of the
// track list, and destroys it when the player closes.
Loader {
    id: playerLoader
    objectName: "playerLoader"

    property ListModel trackModel: null
    // The entry the player starts at (-1: the cover page).
    property int currentIndex: -1

    // A new player every time, so it always shows the list as it is now,
    // however the last one was left (minimised, closed by the window manager).
    function showPlayer() {
        source = "";
        source = "../player/PlayerWindow.qml";
    }

    onLoaded: {
        for (var k = 0; k < trackModel.count; ++k) {
            var e = trackModel.get(k);
            item.appendItem(e.id, e.sample, e.timeTick, e.description, e.level);
        }
        item.resetTimeline(currentIndex);
    }

    Connections {
        target: playerLoader.item
        ignoreUnknownSignals: true
        function onClose() { playerLoader.source = ""; }
    }
}
