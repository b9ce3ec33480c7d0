import QtQuick 2.12
import QtTest 1.2

// Every picture the windows lay out by size, and the program icon, as
// compiled into the program.
TestCase {
    name: "Resources"

    Component {
        id: imageComponent

        Image {}
    }

    function test_pictureSize_data() {
        var sizes = {
            "open-normal.png": [24, 24], "open-pressed.png": [24, 24],
            "undo-enable-normal.png": [24, 24], "undo-disable-normal.png": [24, 24],
            "undo-pressed.png": [24, 24],
            "redo-enable-normal.png": [24, 24], "redo-disable-normal.png": [24, 24],
            "redo-pressed.png": [24, 24],
            "save-enable-normal.png": [24, 24], "save-pressed.png": [24, 24],
            "insert-enable-normal.png": [24, 24], "insert-disable-normal.png": [24, 24],
            "insert-pressed.png": [24, 24],
            "minimum-normal.png": [24, 24], "minimum-pressed.png": [24, 24],
            "close-normal.png": [24, 24], "close-pressed.png": [24, 24],
            "close-tips-normal.png": [24, 24], "close-tips-pressed.png": [24, 24],
            "class-struct-point-add.png": [24, 24], "class-struct-point-cancel.png": [24, 23],
            "class-struct-point.png": [32, 32],
            "boder-image-active.png": [32, 26], "boder-image-inactive.png": [32, 26],
            "preview-normal.png": [40, 40], "preview-pressed.png": [40, 40],
            "play-normal.png": [40, 40], "play-pressed.png": [40, 40],
            "pause-normal.png": [40, 40], "pause-pressed.png": [40, 40],
            "full-screen-normal.png": [24, 24], "full-screen-pressed.png": [24, 24],
            "cover-normal.png": [24, 24], "cover-pressed.png": [24, 24],
            "vernier-top.png": [16, 16]
        };
        var rows = [];
        for (var file in sizes)
            rows.push({ tag: file, file: file, size: sizes[file] });
        return rows;
    }

    function test_pictureSize(data) {
        var image = createTemporaryObject(imageComponent, this,
                                          { source: "qrc:/image/" + data.file });
        compare(image.status, Image.Ready);
        compare([image.implicitWidth, image.implicitHeight], data.size);
    }

    function test_programIcon() {
        var frames = testHelper.imageSizes(":/icons/trayIcon.ico");
        var sizes = frames.map(function(frame) { return frame.width + "x" + frame.height; }).sort();
        compare(sizes, ["128x128", "16x16", "256x256", "32x32", "48x48"].sort());
        for (var k = 0; k < frames.length; ++k) {
            compare(frames[k].depth, 32, "32-bit colour");
            verify(frames[k].alpha, "with an alpha channel");
        }
    }
}
