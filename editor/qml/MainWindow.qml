import QtQuick 2.12
import QtQuick.Window 2.2
import QtQuick.Dialogs 1.3
import "undo_redo.js" as UR

// The editor's one working window: the track as a grid of picture cells under
// the title bar, the timeline and the preview button in the control bar.
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
    property alias timeLine: timeLine
    property alias playerLoader: playerLoader
    property string displayedTitle: hostObject.title
    // Between the host's clearTimeLine and resetTimeLine: the marks are built
    // once at the end instead of once per appended entry.
    property bool loadingTrack: false

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

    // --- functions the host calls by name ---

    function clearTimeLine() {
        loadingTrack = true;
        timeLine.removeAll();
        trackModel.clear();
    }

    // Entries arrive in ascending order, so the insertion point is found by
    // binary search: before the first entry whose tick is >= the new one.
    function appendItem(id, sample, timeTick, description, level) {
        var tick = Number(timeTick);
        var lo = 0;
        var hi = trackModel.count;
        while (lo < hi) {
            var mid = (lo + hi) >> 1;
            if (trackModel.get(mid).timeTick >= tick)
                hi = mid;
            else
                lo = mid + 1;
        }
        trackModel.insert(lo, {
            id: String(id),
            sample: "file:///" + String(sample).replace(/^\/+/, ""),
            timeTick: tick,
            description: String(description),
            level: String(level)
        });
    }

    function rebuildMarks() {
        timeLine.removeAll();
        if (trackModel.count === 0)
            return;
        var items = [];
        for (var k = 0; k < trackModel.count; ++k) {
            var entry = trackModel.get(k);
            items.push({ time: entry.timeTick, level: entry.level });
        }
        timeLine.addItems(items);
    }

    function resetTimeLine() {
        loadingTrack = false;
        rebuildMarks();
        trackViewer.currentIndex = -1;
        timeLine.currentIndex = -1;
    }

    function resetTimeLine2() {
        if (loadingTrack)
            return;
        rebuildMarks();
        timeLine.currentIndex = trackViewer.currentIndex;
    }

    // --- time text ---

    function intFormat(value) {
        var text = String(value);
        return text.length < 2 ? "0" + text : text;
    }

    function timeTickToString(timeTick) {
        var hours = Math.floor(timeTick / 3600);
        var rest = timeTick % 3600;
        return intFormat(hours) + ":" + intFormat(Math.floor(rest / 60)) + ":" + intFormat(rest % 60);
    }

    // Returns NaN when a field holds no number; callers treat that as no change.
    function parseTimeTick(text) {
        var first = text.indexOf(":");
        var last = text.lastIndexOf(":");
        if (first < 0)
            return NaN;
        var hours = parseInt(text.substring(0, first), 10);
        var minutes = parseInt(text.substring(first + 1, last), 10);
        var seconds = parseInt(text.substring(last + 1), 10);
        if (isNaN(hours) || isNaN(minutes) || isNaN(seconds))
            return NaN;
        return (hours * 60 + minutes) * 60 + seconds;
    }

    // --- update operations the commands call back ---

    function updateTitle(text) {
        displayedTitle = text;
    }

    function updateDescription(index, description, changeCurrent) {
        trackModel.setProperty(index, "description", description);
        if (changeCurrent)
            trackViewer.currentIndex = index;
    }

    function updateTimeTick(index, timeTick, changeCurrent) {
        var pos = UR.reIndex(trackModel, index, timeTick);
        trackModel.setProperty(pos, "timeTick", timeTick);
        if (changeCurrent)
            trackViewer.currentIndex = pos;
        else if (trackViewer.currentIndex === index)
            trackViewer.currentIndex = pos;
        resetTimeLine2();
        return pos;
    }

    function updateUndoRedoStatus() {
        canUndo = undoRedo.canUndo();
        canRedo = undoRedo.canRedo();
    }

    // --- actions ---

    function openTrack(url) {
        undoRedo.reInit();
        trackModel.clear();
        timeLine.removeAll();
        updateUndoRedoStatus();
        hostObject.loadTrack(url);
    }

    function insertPictures(urls) {
        if (trackModel.count === 0)
            return;
        var selected = trackViewer.currentIndex;
        var base = selected >= 0 ? trackModel.get(selected).timeTick : 0;
        var list = [];
        for (var k = 0; k < urls.length; ++k)
            list.push(urls[k]);
        var records = hostObject.prepareSamples(list);
        if (!records || records.length === 0)
            return;
        var command = new UR.InsertCommand(trackModel, trackViewer, selected, base, records);
        command.exec();
        undoRedo.addCommand(command);
        updateUndoRedoStatus();
    }

    function deleteEntry(index) {
        if (index < 0 || index >= trackModel.count)
            return;
        var entry = trackModel.get(index);
        var copy = {
            id: entry.id, sample: entry.sample, timeTick: entry.timeTick,
            description: entry.description, level: entry.level
        };
        var command = new UR.DeleteCommand(trackModel, trackViewer, [index], [copy]);
        command.exec();
        undoRedo.addCommand(command);
        trackViewer.currentIndex = Math.min(index, trackModel.count - 1);
        updateUndoRedoStatus();
    }

    function toggleClassStruct(index) {
        if (index < 0 || index >= trackModel.count)
            return;
        var level = trackModel.get(index).level === "1" ? "-1" : "1";
        trackModel.setProperty(index, "level", level);
        timeLine.updateItemLevel(index, level === "1" ? 1 : -1);
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

    function saveTrack() {
        hostObject.saveTrack(displayedTitle, trackArray());
    }

    function undo() {
        undoRedo.undo();
        updateUndoRedoStatus();
    }

    function redo() {
        undoRedo.redo();
        updateUndoRedoStatus();
    }

    // Commits the selected cell's editors, then selects `index`.
    function selectCell(index) {
        if (index === trackViewer.currentIndex)
            return;
        var selected = trackViewer.currentIndex;
        var target = index;
        if (selected >= 0 && selected < trackModel.count && trackViewer.currentItem) {
            var cell = trackViewer.currentItem;
            var entry = trackModel.get(selected);
            var description = cell.editedDescription();
            if (description !== entry.description) {
                var dc = new UR.DescriptionUpdateCommand(selected, entry.description, description,
                                                         updateDescription);
                dc.exec();
                undoRedo.addCommand(dc);
            }
            // An untouched time editor is no change: a tick of 100 hours or
            // more does not fit its mask and would come back truncated.
            var tick = cell.timeEdited() ? parseTimeTick(cell.editedTime()) : NaN;
            var oldTick = trackModel.get(selected).timeTick;
            if (!isNaN(tick) && tick !== oldTick) {
                var tc = new UR.TimeTickUpdateCommand(selected, oldTick, tick, updateTimeTick);
                tc.exec();
                undoRedo.addCommand(tc);
                // The clicked entry may have shifted by one.
                var moved = tc.index;
                if (selected < index && moved >= index)
                    target = index - 1;
                else if (selected > index && moved <= index)
                    target = index + 1;
            }
        }
        trackViewer.currentIndex = target;
        updateUndoRedoStatus();
    }

    function closeTitleEditor() {
        if (!titleArea.editing)
            return;
        titleArea.editing = false;
        var text = titleEditor.text;
        if (text !== displayedTitle) {
            var command = new UR.TitleUpdateCommand(displayedTitle, text, updateTitle);
            command.exec();
            undoRedo.addCommand(command);
            updateUndoRedoStatus();
        }
    }

    function showPreview() {
        if (trackModel.count === 0)
            return;
        if (playerLoader.item) {
            playerLoader.item.showFullScreen();
            return;
        }
        playerLoader.source = "PlayerWindow.qml";
    }

    FileDialog {
        id: openDialog
        title: "课堂轨迹"
        selectMultiple: false
        onAccepted: mainWindow.openTrack(fileUrl)
    }

    FileDialog {
        id: insertDialog
        title: "课堂轨迹"
        selectMultiple: true
        onAccepted: mainWindow.insertPictures(fileUrls)
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

    Rectangle {
        id: background
        objectName: "background"
        anchors.fill: parent
        color: "#FAFDFC"

        Rectangle {
            id: titleBar
            objectName: "titleBar"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.top: parent.top
            height: 72
            color: "#16A949"
            clip: true

            ImageButton {
                id: openButton
                objectName: "openButton"
                width: 24; height: 24
                anchors.verticalCenter: parent.verticalCenter
                x: 48
                imageNormal: "qrc:/image/open-normal.png"
                imagePressed: "qrc:/image/open-pressed.png"
                onButtonClicked: openDialog.open()
            }
            ImageButton {
                id: undoButton
                objectName: "undoButton"
                width: 24; height: 24
                anchors.verticalCenter: parent.verticalCenter
                x: openButton.x + 24 + 48
                imageNormal: mainWindow.canUndo ? "qrc:/image/undo-enable-normal.png"
                                                : "qrc:/image/undo-disable-normal.png"
                imagePressed: "qrc:/image/undo-pressed.png"
                onButtonClicked: mainWindow.undo()
            }
            ImageButton {
                id: redoButton
                objectName: "redoButton"
                width: 24; height: 24
                anchors.verticalCenter: parent.verticalCenter
                x: undoButton.x + 24 + 48
                imageNormal: mainWindow.canRedo ? "qrc:/image/redo-enable-normal.png"
                                                : "qrc:/image/redo-disable-normal.png"
                imagePressed: "qrc:/image/redo-pressed.png"
                onButtonClicked: mainWindow.redo()
            }
            ImageButton {
                id: saveButton
                objectName: "saveButton"
                width: 24; height: 24
                anchors.verticalCenter: parent.verticalCenter
                x: redoButton.x + 24 + 48
                imageNormal: "qrc:/image/save-enable-normal.png"
                imagePressed: "qrc:/image/save-pressed.png"
                onButtonClicked: mainWindow.saveTrack()
            }
            ImageButton {
                id: insertButton
                objectName: "insertButton"
                width: 24; height: 24
                anchors.verticalCenter: parent.verticalCenter
                x: saveButton.x + 24 + 48
                imageNormal: trackModel.count > 0 ? "qrc:/image/insert-enable-normal.png"
                                                  : "qrc:/image/insert-disable-normal.png"
                imagePressed: "qrc:/image/insert-pressed.png"
                onButtonClicked: {
                    if (trackModel.count > 0)
                        insertDialog.open();
                }
            }

            Rectangle {
                id: titleArea
                objectName: "titleArea"
                property bool editing: false
                anchors.centerIn: parent
                height: 32
                width: (editing ? titleEditor.contentWidth : titleText.contentWidth) + 8
                color: "transparent"
                border.width: editing ? 1 : 0
                border.color: "white"

                Text {
                    id: titleText
                    objectName: "titleText"
                    visible: !titleArea.editing
                    x: 4
                    anchors.verticalCenter: parent.verticalCenter
                    text: mainWindow.displayedTitle
                    color: "white"
                    font.family: "Microsoft Yahei"
                    font.pixelSize: 24
                }
                TextInput {
                    id: titleEditor
                    objectName: "titleEditor"
                    visible: titleArea.editing
                    x: 4
                    anchors.verticalCenter: parent.verticalCenter
                    color: "white"
                    font.family: "Microsoft Yahei"
                    font.pixelSize: 24
                    Keys.onReturnPressed: mainWindow.closeTitleEditor()
                    onActiveFocusChanged: {
                        if (!activeFocus && Qt.application.state === Qt.ApplicationActive)
                            mainWindow.closeTitleEditor();
                    }
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: {
                        if (titleArea.editing)
                            return;
                        titleEditor.text = mainWindow.displayedTitle;
                        titleArea.editing = true;
                        titleEditor.forceActiveFocus();
                    }
                }
            }

            ImageButton {
                id: minimumButton
                objectName: "minimumButton"
                width: 24; height: 24
                anchors.verticalCenter: parent.verticalCenter
                anchors.right: closeButton.left
                anchors.rightMargin: 50
                imageNormal: "qrc:/image/minimum-normal.png"
                imagePressed: "qrc:/image/minimum-pressed.png"
                onButtonClicked: mainWindow.showMinimized()
            }
            ImageButton {
                id: closeButton
                objectName: "closeButton"
                width: 24; height: 24
                anchors.verticalCenter: parent.verticalCenter
                anchors.right: parent.right
                anchors.rightMargin: 24
                imageNormal: "qrc:/image/close-normal.png"
                imagePressed: "qrc:/image/close-pressed.png"
                onButtonClicked: Qt.quit()
            }
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
            onCurrentIndexChanged: {
                if (currentIndex >= 0)
                    positionViewAtIndex(currentIndex, GridView.Contain);
                if (timeLine.currentIndex !== currentIndex)
                    timeLine.currentIndex = currentIndex;
            }

            delegate: Item {
                id: cell
                width: 254
                height: 264
                readonly property bool selected: GridView.isCurrentItem
                z: selected ? 1 : 0

                readonly property string storedDescription: model.description
                readonly property int storedTimeTick: model.timeTick
                property string shownTime: ""

                function editedDescription() { return descriptionEditor.text; }
                function editedTime() { return timeEditor.text; }
                function timeEdited() { return timeEditor.text !== shownTime; }

                // The editors start from the stored values whenever the cell
                // becomes selected (typed text of an earlier selection is
                // dropped) and follow changes made by commands meanwhile.
                function resetEditors() {
                    descriptionEditor.text = model.description;
                    timeEditor.text = mainWindow.timeTickToString(model.timeTick);
                    shownTime = timeEditor.text;
                }

                onSelectedChanged: {
                    if (selected)
                        resetEditors();
                }
                onStoredDescriptionChanged: {
                    if (selected)
                        descriptionEditor.text = model.description;
                }
                onStoredTimeTickChanged: {
                    if (selected) {
                        timeEditor.text = mainWindow.timeTickToString(model.timeTick);
                        shownTime = timeEditor.text;
                    }
                }
                Component.onCompleted: {
                    if (selected)
                        resetEditors();
                }

                MouseArea {
                    anchors.fill: parent
                    onClicked: mainWindow.selectCell(index)
                }

                BorderImage {
                    id: frame
                    objectName: "frame"
                    width: 237
                    height: 178
                    y: 36
                    anchors.horizontalCenter: parent.horizontalCenter
                    source: cell.selected ? "qrc:/image/boder-image-active.png"
                                          : "qrc:/image/boder-image-inactive.png"
                    border.left: 7; border.top: 2; border.right: 7; border.bottom: 13

                    Image {
                        objectName: "picture"
                        x: 7; y: 2
                        width: 223; height: 163
                        asynchronous: true
                        sourceSize.width: 223
                        sourceSize.height: 163
                        source: model.sample
                    }
                }

                Image {
                    objectName: "badge"
                    width: 32; height: 32
                    anchors.right: frame.right
                    anchors.bottom: frame.top
                    visible: model.level === "1"
                    source: "qrc:/image/class-struct-point.png"
                }

                Rectangle {
                    objectName: "toolStrip"
                    visible: cell.selected
                    width: 223
                    height: 32
                    anchors.top: frame.top
                    anchors.horizontalCenter: frame.horizontalCenter
                    color: "#16A949"

                    ImageButton {
                        objectName: "classStructButton"
                        width: 24; height: 24
                        x: 4
                        anchors.verticalCenter: parent.verticalCenter
                        imageNormal: model.level === "1" ? "qrc:/image/class-struct-point-cancel.png"
                                                         : "qrc:/image/class-struct-point-add.png"
                        onButtonClicked: mainWindow.toggleClassStruct(index)
                    }
                    ImageButton {
                        objectName: "deleteButton"
                        width: 24; height: 24
                        anchors.right: parent.right
                        anchors.rightMargin: 4
                        anchors.verticalCenter: parent.verticalCenter
                        imageNormal: "qrc:/image/close-tips-normal.png"
                        imagePressed: "qrc:/image/close-tips-pressed.png"
                        onButtonClicked: mainWindow.deleteEntry(index)
                    }
                }

                Rectangle {
                    id: descriptionBar
                    objectName: "descriptionBar"
                    anchors.top: frame.bottom
                    x: 15
                    height: 22
                    width: cell.selected ? descriptionEditor.contentWidth + 4 : 224
                    color: "white"
                    border.width: cell.selected ? 1 : 0
                    border.color: "#16A949"

                    Text {
                        visible: !cell.selected
                        x: 2
                        width: parent.width - 4
                        anchors.verticalCenter: parent.verticalCenter
                        font.pixelSize: 16
                        elide: Text.ElideRight
                        text: model.description
                    }
                    TextInput {
                        id: descriptionEditor
                        objectName: "descriptionEditor"
                        visible: cell.selected
                        x: 2
                        anchors.verticalCenter: parent.verticalCenter
                        font.pixelSize: 16
                        selectByMouse: true
                        KeyNavigation.tab: timeEditor
                    }
                }

                Rectangle {
                    objectName: "timeBar"
                    anchors.top: descriptionBar.bottom
                    anchors.topMargin: 2
                    x: 15
                    width: 70
                    height: 22
                    color: "transparent"
                    border.width: cell.selected ? 1 : 0
                    border.color: "#16A949"

                    Text {
                        visible: !cell.selected
                        x: 3
                        anchors.verticalCenter: parent.verticalCenter
                        font.pixelSize: 16
                        text: mainWindow.timeTickToString(model.timeTick)
                    }
                    TextInput {
                        id: timeEditor
                        objectName: "timeEditor"
                        visible: cell.selected
                        x: 3
                        anchors.verticalCenter: parent.verticalCenter
                        font.pixelSize: 16
                        inputMask: "99:99:99;_"
                        selectByMouse: true
                        KeyNavigation.tab: descriptionEditor
                    }
                }
            }
        }

        Text {
            objectName: "emptyMessage"
            anchors.centerIn: parent
            visible: trackModel.count === 0
            text: "请打开授课轨迹"
            color: "#17a949"
            font.pixelSize: 40
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }

        Rectangle {
            id: controlBar
            objectName: "controlBar"
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 72
            color: "#222222"

            TimeLine {
                id: timeLine
                objectName: "timeLine"
                anchors.top: parent.top
                anchors.bottom: parent.bottom
                anchors.left: parent.left
                anchors.leftMargin: 24
                anchors.right: previewButton.left
                anchors.rightMargin: 38
                onCurrentIndexChanged: {
                    if (trackViewer.currentIndex !== currentIndex)
                        trackViewer.currentIndex = currentIndex;
                }
            }

            ImageButton {
                id: previewButton
                objectName: "previewButton"
                width: 40; height: 40
                anchors.right: parent.right
                anchors.rightMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                imageNormal: "qrc:/image/preview-normal.png"
                imagePressed: "qrc:/image/preview-pressed.png"
                onButtonClicked: mainWindow.showPreview()
            }
        }
    }
}
