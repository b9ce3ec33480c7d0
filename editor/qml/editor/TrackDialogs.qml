import QtQuick 2.12
import Qt.labs.platform 1.1
import Qt.labs.settings 1.0

// The editor's file dialogs: open a track package, insert pictures, save the
// track as another package. Qt.labs.platform's dialogs are the system's own
// (Qt's widget dialog where the system has none) on Linux and Windows alike.
// Each dialog starts in the folder last used for its purpose (packages or
// pictures), kept in the settings, and offers its kind of file beside all
// files.
Item {
    id: dialogs

    signal openChosen(url file)
    signal picturesChosen(var files)
    signal saveAsChosen(url file)

    readonly property string allFiles: "所有文件 (*)"

    function showOpen() { show(openDialog, folders.packages); }
    function showInsert() { show(insertDialog, folders.pictures); }
    function showSaveAs() { show(saveAsDialog, folders.packages); }

    // Before anything was chosen: the documents on Windows, home elsewhere
    // (a documents folder that does not exist would show an empty dialog).
    function startFolder(remembered) {
        if (String(remembered) !== "")
            return remembered;
        return StandardPaths.writableLocation(Qt.platform.os === "windows"
                                              ? StandardPaths.DocumentsLocation
                                              : StandardPaths.HomeLocation);
    }
    function show(dialog, remembered) {
        dialog.folder = startFolder(remembered);
        dialog.open();
    }
    // The folder of a chosen file, as a URL.
    function folderOf(file) {
        var text = String(file);
        return text.substring(0, text.lastIndexOf("/"));
    }

    Settings {
        id: folders
        category: "folders"
        property url packages
        property url pictures
    }

    FileDialog {
        id: openDialog
        objectName: "openDialog"
        title: "课堂轨迹"
        fileMode: FileDialog.OpenFile
        nameFilters: ["授课轨迹包 (*.zip)", dialogs.allFiles]
        onAccepted: {
            folders.packages = dialogs.folderOf(file);
            dialogs.openChosen(file);
        }
    }

    FileDialog {
        id: insertDialog
        objectName: "insertDialog"
        title: "课堂轨迹"
        fileMode: FileDialog.OpenFiles
        nameFilters: ["图片 (*.jpg *.jpeg *.png *.bmp *.gif)", dialogs.allFiles]
        onAccepted: {
            if (files.length > 0)
                folders.pictures = dialogs.folderOf(files[0]);
            dialogs.picturesChosen(files);
        }
    }

    FileDialog {
        id: saveAsDialog
        objectName: "saveAsDialog"
        title: "另存为"
        fileMode: FileDialog.SaveFile
        nameFilters: ["授课轨迹包 (*.zip)", dialogs.allFiles]
        defaultSuffix: "zip"
        onAccepted: {
            folders.packages = dialogs.folderOf(file);
            dialogs.saveAsChosen(file);
        }
    }
}
