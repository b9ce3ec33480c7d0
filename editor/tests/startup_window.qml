import QtQml 2.12

// Stands in for the main window: records what the host calls, with the
// JavaScript types the arguments arrive as.
QtObject {
    property bool hostSeenAtCreation: typeof hostObject !== "undefined" && hostObject !== null
    property var calls: []

    function clearTimeLine() {
        calls.push("clearTimeLine");
    }
    function appendItem(id, sample, timeTick, description, level) {
        calls.push("appendItem " + [typeof id, typeof sample, typeof timeTick, typeof description,
                                    typeof level].join(",") + " " + id + " " + timeTick + " " + level);
    }
    function resetTimeLine() {
        calls.push("resetTimeLine");
    }
    function saveAll(title, sample) {
        return hostObject.saveTrack(title, [{ "id": "a", "sample": sample, "timeTick": 3,
                                              "description": "d", "level": "1" }]);
    }
    function requestQuit() {
        Qt.quit();
    }
}
