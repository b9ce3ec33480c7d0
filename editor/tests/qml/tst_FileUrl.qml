import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/controls/file_url.js" as FileUrl

// Pictures' paths as file URLs that keep every character of the name.
TestCase {
    name: "FileUrl"

    function test_paths_data() {
        return [
            { tag: "plain", text: "/nowhere/late.jpg", url: "file:///nowhere/late.jpg" },
            { tag: "hash", text: "/p/a#b.jpg", url: "file:///p/a%23b.jpg" },
            { tag: "question mark", text: "/p/c?.jpg", url: "file:///p/c%3F.jpg" },
            { tag: "percent", text: "/p/50%.jpg", url: "file:///p/50%25.jpg" },
            { tag: "percent that looks escaped", text: "/p/a%41.jpg", url: "file:///p/a%2541.jpg" },
            { tag: "drive", text: "C:/Users/t/res/x#1.jpg", url: "file:///C:/Users/t/res/x%231.jpg" },
            { tag: "backslashes", text: "C:\\t\\a b.jpg", url: "file:///C:/t/a%20b.jpg" },
            { tag: "chinese", text: "/课/图.jpg", url: "file:///%E8%AF%BE/%E5%9B%BE.jpg" },
            { tag: "url kept", text: "file:///p/a%23b.jpg", url: "file:///p/a%23b.jpg" },
            { tag: "url in capitals kept", text: "FILE:///p/x.jpg", url: "FILE:///p/x.jpg" },
            { tag: "empty", text: "", url: "file:///" }
        ];
    }

    function test_paths(data) {
        compare(FileUrl.fromPathOrUrl(data.text), data.url);
    }

    // What the URL names is the file: the path comes back whole.
    function test_roundTrip() {
        var path = "/tmp/x/50% #1?.jpg";
        compare(decodeURIComponent(FileUrl.fromPathOrUrl(path).substring(7)), path);
    }
}
