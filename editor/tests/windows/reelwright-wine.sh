#!/usr/bin/env bash
# reelwright-wine.sh <folder with reelwright.exe> <work folder> [software]
# Starts the Windows program under Wine (code page 936) the way a teacher does: a
# double-clicked package at a path with Chinese characters and a blank. Checks that the
# track is unpacked into the Windows store, that the window shows the grid (a screen grab
# holds the three slides' colours), that a deletion saved with Ctrl+S reaches the package,
# and that closing with unsaved changes asks first. With "software", the driver reports
# OpenGL 1.1 and the program must draw with Qt Quick's software renderer on its own.
set -euo pipefail
program_dir=$(cd "$1" && pwd)
work=$2
mode=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../../scripts/wine-run
: "${WINEPREFIX:?the Windows tests set WINEPREFIX}"
[ -n "${DISPLAY:-}" ] || { echo "reelwright-wine: needs an X display" >&2; exit 2; }
rm -rf "$work"; mkdir -p "$work"
fail() { echo "reelwright-wine: FAIL: $*" >&2; exit 1; }

# The package: three solid slides (red, green, blue) in track folder "lesson3".
track=$work/package/lesson3
mkdir -p "$track/res"
convert -size 640x480 xc:'#e02020' "$track/res/slide0001.jpg"
convert -size 640x480 xc:'#20c020' "$track/res/slide0002.jpg"
convert -size 640x480 xc:'#2040e0' "$track/res/slide0003.jpg"
{
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<class_track><track_name>第三课 分数</track_name><track_description>分数的意义</track_description>'
    echo '<teacher_name>李老师</teacher_name><tracks>'
    for n in 1 2 3; do
        echo "<track id=\"e$n\"><action>shot</action><description>第${n}张</description>"
        echo "<ticks>$((n * 10))</ticks><interval>0</interval><picture>slide000$n.jpg</picture></track>"
    done
    echo '</tracks></class_track>'
} >"$track/tracks.xml"
(cd "$work/package" && zip -q -r ../package.zip lesson3)

wineserver -w 2>/dev/null || true
"$wine_run" cmd /c exit 0 >/dev/null 2>&1 || true  # a prefix exists from here on
drive_c=$WINEPREFIX/drive_c
lesson_dir="$drive_c/课件 目录"
mkdir -p "$lesson_dir"
cp "$work/package.zip" "$lesson_dir/第三课 分数.zip"
windows_user=$(ls "$drive_c/users" | grep -vx Public | head -n 1)
store="$drive_c/users/$windows_user/AppData/Local/tideboard3/class-track/lesson3"
rm -rf "$store" "$store.lock"

log=$work/reelwright.log
env_extra=()
# Wine's OpenGL is Mesa's llvmpipe here, on which the program would choose the software
# renderer itself; the first start asks for OpenGL, so that both renderers are seen.
env_extra=(REELWRIGHT_RENDERER=opengl)
[ "$mode" = software ] && env_extra=(MESA_GL_VERSION_OVERRIDE=1.1)
env "${env_extra[@]}" "$wine_run" "$program_dir/reelwright.exe" 'C:\课件 目录\第三课 分数.zip' \
    >"$log" 2>&1 &
wine_pid=$!
cleanup() {
    kill "$wine_pid" 2>/dev/null || true
    WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

window=
for _ in $(seq 1 120); do
    window=$(xdotool search --onlyvisible --name 'Reelwright|第三课' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && [ -f "$store/tracks.xml" ] && break
    sleep 0.5
done
[ -n "$window" ] || fail "no window appeared (log: $(tail -n 5 "$log"))"
[ -f "$store/tracks.xml" ] || fail "the track was not unpacked into $store"
[ -f "$store/res/slide0003.jpg" ] || fail "the pictures were not unpacked"

# The grid: each slide's colour covers a good part of its cell.
grab() { sleep 2; import -window root "$1"; }
count_colour() {  # count_colour <png> <hex>: pixels within 12% of the colour
    convert "$1" -fuzz 12% -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:mean*w*h]' info:
}
grab "$work/grid.png"
for colour in '#e02020' '#20c020' '#2040e0'; do
    pixels=$(count_colour "$work/grid.png" "$colour")
    [ "${pixels%.*}" -gt 2000 ] || fail "the grid does not show colour $colour ($pixels pixels; $work/grid.png)"
done

# Delete the selected first entry and save: the package loses slide0001.jpg.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" || true
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
# First cell: the grid starts below the title and tool bars, at the left.
xdotool mousemove --sync "$((X + 90))" "$((Y + 200))" click 1
sleep 0.5
xdotool key --clearmodifiers Delete
sleep 0.5
xdotool key --clearmodifiers ctrl+s
# A listing counts only when unzip read the whole archive: while the save replaces the
# package, a read can meet no file or a file that is not the package yet.
listing() { unzip -l "$lesson_dir/第三课 分数.zip" > "$work/listing" 2>&1; }
saved=
for _ in $(seq 1 40); do
    if listing && ! grep -q slide0001.jpg "$work/listing"; then saved=1; break; fi
    sleep 0.5
done
if [ -z "$saved" ]; then
    grab "$work/after-save.png"
    fail "the save did not reach the package ($work/after-save.png; $(cat "$work/listing"))"
fi
grep -q slide0002.jpg "$work/listing" || fail "the save lost slide0002.jpg: $(cat "$work/listing")"

# An unsaved deletion, then close: the unsaved-changes question appears, the program stays.
xdotool mousemove --sync "$((X + 90))" "$((Y + 200))" click 1
xdotool key --clearmodifiers Delete
sleep 0.5
xdotool key --clearmodifiers alt+F4
sleep 2
grab "$work/closing.png"
kill -0 "$wine_pid" 2>/dev/null || fail "the program closed without asking about unsaved changes"
# The question's three green buttons stand in the middle of the window.
eval "$(xdotool getwindowgeometry --shell "$window")"
buttons=$(convert "$work/closing.png" -crop "400x160+$((X + WIDTH / 2 - 200))+$((Y + HEIGHT / 2 - 40))" +repage \
          -fuzz 8% -fill black +opaque '#16a949' -fill white -opaque '#16a949' -format '%[fx:mean*w*h]' info:)
[ "${buttons%.*}" -gt 4000 ] || fail "no unsaved-changes question on screen ($work/closing.png)"
echo "reelwright-wine: passed (grabs in $work)"
