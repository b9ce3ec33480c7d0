import QtQuick 2.12
import "control_global_resource.js" as Theme

// A pointer area of which only the most recently entered or pressed one, in the
// whole user interface, counts as hovered: exits are not always delivered (an
// item hidden under a resting pointer, overlapping areas, another window).
MouseArea {
    id: area

    property bool containsMouseEx: false
    property point lastPosotion
    property bool draged: false

    signal otherAreaActived()
    signal draging(int dx, int dy)

    function areaActive() {
        var previous = Theme.currenMouseArea;
        Theme.currenMouseArea = area;
        if (previous && previous !== area)
            previous.otherAreaActive();
    }

    function otherAreaActive() {
        containsMouseEx = false;
        otherAreaActived();
    }

    hoverEnabled: true

    onPressed: function(mouse) {
        lastPosotion = Qt.point(mouse.x, mouse.y);
        draged = false;
        areaActive();
    }
    onPositionChanged: function(mouse) {
        draged = true;
        // Offsets from the press point, not from the previous move.
        if (pressed)
            draging(mouse.x - lastPosotion.x, mouse.y - lastPosotion.y);
    }
    onEntered: {
        containsMouseEx = true;
        areaActive();
    }
    onExited: containsMouseEx = false

    // The shared reference must not name a dead area: a closed window or a
    // recycled list cell would otherwise be notified after its destruction.
    Component.onDestruction: {
        if (Theme.currenMouseArea === area)
            Theme.currenMouseArea = null;
    }
}
