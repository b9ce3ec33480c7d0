import QtQuick 2.12
import QtTest 1.2
import "qrc:/qml/controls/track_time.js" as TrackTime

// The time texts both windows show, the reading of the editor's time field and
// the search that keeps the track lists ordered.
TestCase {
    name: "TrackTime"

    ListModel { id: model }

    function fill(ticks) {
        model.clear();
        for (var k = 0; k < ticks.length; ++k)
            model.append({ timeTick: ticks[k], name: "e" + k });
    }

    function test_clockText_data() {
        return [
            { tag: "zero", tick: 0, text: "00:00:00" },
            { tag: "single digits", tick: 3600 + 2 * 60 + 3, text: "01:02:03" },
            { tag: "last second of a day", tick: 86399, text: "23:59:59" },
            { tag: "hundred hours", tick: 360005, text: "100:00:05" }
        ];
    }

    function test_clockText(data) {
        compare(TrackTime.timeTickToString(data.tick), data.text);
    }

    function test_minutesText_data() {
        return [
            { tag: "zero", tick: 0, text: "00:00" },
            { tag: "one minute", tick: 60, text: "01:00" },
            { tag: "nine fifty-nine", tick: 599, text: "09:59" },
            { tag: "ten minutes", tick: 600, text: "10:00" },
            { tag: "past an hour", tick: 125 * 60 + 5, text: "125:05" }
        ];
    }

    function test_minutesText(data) {
        compare(TrackTime.minutesToString(data.tick), data.text);
    }

    function test_parse_data() {
        return [
            { tag: "masked field", text: "01:15:00", tick: 4500 },
            { tag: "minutes not range-checked", text: "00:75:00", tick: 4500 },
            { tag: "seconds not range-checked", text: "00:00:99", tick: 99 },
            { tag: "long hours", text: "100:00:05", tick: 360005 },
            { tag: "blank mask", text: "__:__:__", tick: NaN },
            { tag: "one blank field", text: "01:__:00", tick: NaN },
            { tag: "no colon", text: "011500", tick: NaN },
            { tag: "empty", text: "", tick: NaN }
        ];
    }

    function test_parse(data) {
        var tick = TrackTime.parseTimeTick(data.text);
        if (isNaN(data.tick))
            verify(isNaN(tick), data.text + " read as " + tick);
        else
            compare(tick, data.tick);
    }

    // Every tick the editor can show reads back as itself.
    function test_roundTrip() {
        var ticks = [0, 1, 59, 60, 3599, 3600, 86399, 359999];
        for (var k = 0; k < ticks.length; ++k)
            compare(TrackTime.parseTimeTick(TrackTime.timeTickToString(ticks[k])), ticks[k]);
    }

    function test_insertionIndex_data() {
        return [
            { tag: "empty list", ticks: [], tick: 5, index: 0 },
            { tag: "before all", ticks: [10, 20, 30], tick: 5, index: 0 },
            { tag: "between", ticks: [10, 20, 30], tick: 25, index: 2 },
            { tag: "after all", ticks: [10, 20, 30], tick: 31, index: 3 },
            { tag: "before an equal tick", ticks: [10, 20, 30], tick: 20, index: 1 },
            { tag: "before a run of equal ticks", ticks: [10, 20, 20, 20, 30], tick: 20,
              index: 1 },
            { tag: "after a run of smaller ticks", ticks: [5, 5, 5, 5, 5, 5, 5], tick: 6,
              index: 7 },
            { tag: "one entry, equal", ticks: [7], tick: 7, index: 0 },
            { tag: "one entry, later", ticks: [7], tick: 8, index: 1 }
        ];
    }

    function test_insertionIndex(data) {
        fill(data.ticks);
        compare(TrackTime.insertionIndex(model, "timeTick", data.tick), data.index);
    }

    // Entries inserted in any order come out ordered, equal ticks in the
    // reverse of their arrival (each goes before the ones already there).
    function test_insertionKeepsOrder() {
        fill([]);
        var arrivals = [50, 10, 30, 10, 70, 30, 0];
        for (var k = 0; k < arrivals.length; ++k) {
            var at = TrackTime.insertionIndex(model, "timeTick", arrivals[k]);
            model.insert(at, { timeTick: arrivals[k], name: "a" + k });
        }
        var order = [];
        for (var i = 0; i < model.count; ++i)
            order.push(model.get(i).name);
        compare(order, ["a6", "a3", "a1", "a5", "a2", "a0", "a4"]);
    }
}
