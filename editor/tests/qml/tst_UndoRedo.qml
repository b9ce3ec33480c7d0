import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/editor/undo_redo.js" as History

TestCase {
    id: testCase

    name: "UndoRedo"

    ListModel { id: model }

    // Stands in for the grid: only its selection matters to the commands.
    QtObject {
        id: viewer

        property int currentIndex: -1
    }

    property var calls: []

    function fill(ticks) {
        model.clear();
        for (var k = 0; k < ticks.length; ++k) {
            model.append({ id: "e" + k, sample: "file:///p/e" + k + ".jpg", timeTick: ticks[k],
                           description: "d" + k, level: "-1" });
        }
        viewer.currentIndex = -1;
    }

    function ticks() {
        var result = [];
        for (var k = 0; k < model.count; ++k)
            result.push(model.get(k).timeTick);
        return result;
    }

    function ids() {
        var result = [];
        for (var k = 0; k < model.count; ++k)
            result.push(model.get(k).id);
        return result;
    }

    // The window's time setter, as the editor window builds it on reIndex.
    function updateTimeTick(index, timeTick, changeCurrent) {
        var position = History.reIndex(model, index, timeTick);
        model.setProperty(position, "timeTick", timeTick);
        if (changeCurrent)
            viewer.currentIndex = position;
        return position;
    }

    function samples(count) {
        var records = [];
        for (var k = 0; k < count; ++k)
            records.push({ id: "n" + k, sample: "file:///p/n" + k + ".jpg", description: "" });
        return records;
    }

    function init() {
        calls = [];
    }

    function test_reIndex_data() {
        return [
            { tag: "forward", index: 0, tick: 25, position: 1, order: ["e1", "e0", "e2"] },
            { tag: "backward", index: 2, tick: 15, position: 1, order: ["e0", "e2", "e1"] },
            { tag: "before equal", index: 1, tick: 10, position: 0, order: ["e1", "e0", "e2"] },
            { tag: "to the end", index: 0, tick: 99, position: 2, order: ["e1", "e2", "e0"] },
            { tag: "in place", index: 1, tick: 20, position: 1, order: ["e0", "e1", "e2"] }
        ];
    }

    function test_reIndex(data) {
        fill([10, 20, 30]);
        compare(History.reIndex(model, data.index, data.tick), data.position);
        compare(ids(), data.order);
    }

    function test_stacks() {
        var history = new History.UndoRedo();
        verify(!history.canUndo());
        verify(!history.canRedo());
        history.undo();  // empty stacks: nothing happens
        history.redo();

        var title = "a";
        var setTitle = function(text) { title = text; };
        var first = new History.TitleUpdateCommand("a", "b", setTitle);
        first.exec();
        history.addCommand(first);
        var second = new History.TitleUpdateCommand("b", "c", setTitle);
        second.exec();
        history.addCommand(second);
        compare(title, "c");

        history.undo();
        history.undo();
        compare(title, "a");
        verify(!history.canUndo());
        verify(history.canRedo());
        history.redo();
        compare(title, "b");

        // A new command after an undo drops what could have been redone.
        var third = new History.TitleUpdateCommand("b", "x", setTitle);
        third.exec();
        history.addCommand(third);
        verify(!history.canRedo());
        history.undo();
        compare(title, "b");

        history.reInit();
        verify(!history.canUndo());
        verify(!history.canRedo());
    }

    function test_description() {
        var command = new History.DescriptionUpdateCommand(2, "old", "new", function(i, text, select) {
            calls.push([i, text, select]);
        });
        compare([command.index, command.oldDescription, command.newDescription],
                [2, "old", "new"]);
        command.exec();
        command.undo();
        command.redo();
        // Only undo and redo select the entry.
        compare(calls, [[2, "new", false], [2, "old", true], [2, "new", true]]);
    }

    function test_timeTick() {
        fill([10, 20, 30]);
        var history = new History.UndoRedo();
        var command = new History.TimeTickUpdateCommand(0, 10, 25, updateTimeTick);
        command.exec();
        history.addCommand(command);
        compare(ticks(), [20, 25, 30]);
        compare(command.index, 1);
        compare(viewer.currentIndex, -1);  // exec does not select

        history.undo();
        compare(ticks(), [10, 20, 30]);
        compare(ids(), ["e0", "e1", "e2"]);
        compare(viewer.currentIndex, 0);

        viewer.currentIndex = 2;
        history.redo();
        compare(ids(), ["e1", "e0", "e2"]);
        compare(viewer.currentIndex, 1);
        compare(command.index, 1);
    }

    function test_insert() {
        fill([300, 302]);
        viewer.currentIndex = 0;
        var history = new History.UndoRedo();
        var command = new History.InsertCommand(model, viewer, 0, 300, samples(3));
        command.exec();
        history.addCommand(command);
        compare(ticks(), [300, 301, 302, 302, 303]);
        compare(ids(), ["e0", "n0", "n1", "e1", "n2"]);
        compare(command.newIndex, [1, 2, 4]);
        compare(model.get(1).level, "-1");
        compare(model.get(1).sample, "file:///p/n0.jpg");

        viewer.currentIndex = 3;
        history.undo();  // one step takes all three away and reselects
        compare(ids(), ["e0", "e1"]);
        compare(command.newIndex, []);
        compare(viewer.currentIndex, 0);

        history.redo();
        compare(ids(), ["e0", "n0", "n1", "e1", "n2"]);
        compare(viewer.currentIndex, 0);
    }

    function test_insertWithoutSelection() {
        fill([0, 0, 5]);
        var command = new History.InsertCommand(model, viewer, -1, 0, samples(2));
        command.exec();
        compare(ticks(), [0, 0, 1, 2, 5]);
        command.undo();
        compare(ticks(), [0, 0, 5]);
        compare(viewer.currentIndex, -1);
    }

    function test_delete() {
        fill([10, 20, 30]);
        var copy = { id: "e1", sample: "file:///p/e1.jpg", timeTick: 20, description: "d1",
                     level: "1" };
        var history = new History.UndoRedo();
        var command = new History.DeleteCommand(model, viewer, [1], [copy]);
        command.exec();
        history.addCommand(command);
        compare(ids(), ["e0", "e2"]);

        history.undo();
        compare(ids(), ["e0", "e1", "e2"]);
        compare(model.get(1).level, "1");
        compare(model.get(1).description, "d1");
        compare(viewer.currentIndex, 1);

        history.redo();
        compare(ids(), ["e0", "e2"]);
    }

    function test_deleteSeveral() {
        // Positions taken one after the other: 1 and then 1 again removes
        // the second and the third entry; undo must restore their order.
        fill([10, 20, 30, 40]);
        var copies = [model.get(1), model.get(2)].map(function(entry) {
            return { id: entry.id, sample: entry.sample, timeTick: entry.timeTick,
                     description: entry.description, level: entry.level };
        });
        var command = new History.DeleteCommand(model, viewer, [1, 1], copies);
        command.exec();
        compare(ids(), ["e0", "e3"]);
        command.undo();
        compare(ids(), ["e0", "e1", "e2", "e3"]);
    }
}
