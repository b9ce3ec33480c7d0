#!/usr/bin/env bash
# End-to-end scenarios of the real installer program under Wine, in a private Wine prefix whose
# profile (HOME, desktop) lies in a scratch folder, so that neither the build's shared prefix
# nor the real profile is touched, and the forced restart only ends this prefix's processes.
#   sequence-e2e-wine.sh <wine-run> <ferrylift.exe> <probe.exe> <client fixture folder>
# Packages are assembled with zip and the 8-byte trailer (the packager is a native tool only).
set -euo pipefail
wine_run=$1 ferrylift=$2 probe=$3 fixtures=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/sequence-wine-XXXXXX")
export WINEPREFIX=$work/prefix HOME=$work/home
mkdir -p "$HOME/Desktop"
cleanup() {
    touch "$WINEPREFIX/drive_c/stop" "$WINEPREFIX/drive_c/stop-hold" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

scenario=setup
fail() { echo "FAIL [$scenario]: $*" >&2; show; exit 1; }
show() {
    echo "--- log (GBK, shown as UTF-8)" >&2
    iconv -f GBK -t UTF-8 "$logdir"/*.log >&2 2>/dev/null || true
}
wrun() { "$wine_run" "$@"; }
# reg query <key> <file>: Wine's reg.exe, started on a loaded machine, sometimes ends without
# a word; a missing key prints an error. Only a silent run is repeated.
reg_query() {
    local i
    for i in 1 2 3 4 5; do
        wrun reg query "$1" > "$2" 2>&1 || true
        [ -s "$2" ] && return 0
        sleep 1
    done
}

# The wrapper creates the prefix on its first start.
wrun "$probe" window >/dev/null 2>&1 || true
user=${USER:-$(id -un)}
profile=$WINEPREFIX/drive_c/users/$user
logdir=$profile/AppData/Roaming/Corvane/Log/tideboardferrylift
desktop=$profile/Desktop
config=$profile/AppData/Local/tideboard3/tideboard_update_config.txt
[ -d "$profile" ] || fail "no profile in the private prefix"
mkdir -p "$(dirname "$config")"

suite=$work/suite
mkdir -p "$suite/lib/plugins" "$suite/web"
cp "$fixtures/tideboard3-3.19.3.15504.exe" "$suite/tideboard3.exe"
echo "mirror program" > "$suite/Mirrorpane.exe"
echo "new core library" > "$suite/lib/core.dll"
echo "new plugin" > "$suite/lib/plugins/ink.dll"
echo "<html>lesson</html>" > "$suite/web/index.html"
# Names stored as the packaging tools of the target systems store them: code page 936 bytes,
# no UTF-8 flag. The trail byte of 淺, 乗 and 琝 is "\": in a folder name and at a name's end.
gbk() { printf '%s' "$1" | iconv -f UTF-8 -t GBK; }
mkdir -p "$suite/$(gbk 课件淺)"
echo "readme" > "$suite/web/$(gbk 说明淺)"
echo "notes" > "$suite/$(gbk 课件淺)/$(gbk 乗琝)"

le32() {
    printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"
}
# Waits until a probe started in the background has printed its ready line into a file (a
# loaded machine may take many seconds to start a Wine program).
ready() {
    local i
    for i in $(seq 1 120); do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.5
    done
    fail "probe not ready: $(cat "$1" 2>/dev/null)"
}

# installer + ZIP of the suite + dataSize + total
package() {
    rm -f "$work/suite.zip"
    (cd "$suite" && LC_ALL=C zip -q -r -X -D "$work/suite.zip" .)
    local program data
    program=$(stat -c %s "$ferrylift") data=$(stat -c %s "$work/suite.zip")
    { cat "$ferrylift" "$work/suite.zip"; le32 "$data"; le32 $((program + data + 8)); } > "$1"
}
package "$work/package.exe"

# A fresh installation folder and log folder per scenario.
begin() {
    scenario=$1
    rm -rf "$WINEPREFIX/drive_c/Apps" "$logdir" "$desktop"/*.lnk "$work/stop"
    root=$WINEPREFIX/drive_c/Apps/tideboard3
    mkdir -p "$root/lib"
    printf 'C:\\Apps\\tideboard3,3.18.0.13170' > "$config"
    cp "$fixtures/tideboard3-$2.exe" "$root/tideboard3.exe"
}
log() { iconv -f GBK -t UTF-8 "$logdir"/*.log; }
# grep reads to the end: with -q it would stop early, and pipefail would report iconv's broken
# pipe as a miss.
has_log() { log | grep -F -- "$1" >/dev/null || fail "log lacks: $1"; }
lacks_log() { ! log | grep -F -- "$1" >/dev/null || fail "log has: $1"; }
run() { wrun "$work/package.exe" || fail "exit code $?"; }

for version in 3.19.3.15504 3.19.3.15503 3.18.0.13170 3.18.0.13169 none; do
    begin "version-$version" "$version"
    run
    case $version in
        3.19.3.15504) has_log "HandleTimer 检查版本 3"; has_log "HandleTimer 当前程序已是最新版本"
                      has_log 'Update::StartProcess ShellExecute(C:\Apps\tideboard3\tideboard3.exe)' ;;
        3.19.3.15503 | 3.18.0.13170) has_log "HandleTimer 检查版本 1"; has_log "HandleTimer 更新完毕"
                      cmp -s "$suite/tideboard3.exe" "$root/tideboard3.exe" || fail "not installed"
                      [ "$(cat "$root/web/说明淺")" = readme ] || fail "web/说明淺 not installed"
                      [ "$(cat "$root/课件淺/乗琝")" = notes ] || fail "课件淺/乗琝 not installed"
                      [ "$(ls "$root/web" | wc -l)" = 2 ] || fail "web holds: $(ls "$root/web")" ;;
        3.18.0.13169) has_log "HandleTimer 检查版本 2"; has_log "HandleTimer 更新包不兼容当前软件"
                      lacks_log "Update::StartProcess" ;;
        none) has_log "HandleTimer 检查版本 0"; lacks_log "Update::StartProcess" ;;
    esac
    [ -f "$desktop/Tideboard.lnk" ] || fail "no shortcut"
done

# Shortcuts: the obsolete name in other letter case and strays to the suite's programs from
# any folder go, the standard name is rewritten, other targets and folders named *.lnk stay.
# The package is incompatible and the installation has no Mirrorpane.exe, so that shortcut is
# not made while a stray one to it is still removed.
begin shortcuts 3.18.0.13169
mkdir -p "$WINEPREFIX/drive_c/old" "$desktop/folder.lnk"
for program in tideboard3.exe Mirrorpane.exe notes.exe; do echo x > "$WINEPREFIX/drive_c/old/$program"; done
desk='C:\users\'"$user"'\Desktop\'
link() { wrun "$probe" link "$desk$1" "$2" || fail "cannot write shortcut $1"; }
target() { wrun "$probe" target "$desk$1" | tr -d '\r'; }
link 'TIDEBOARD更新程序.LNK' 'C:\old\notes.exe'
link 'Old client.lnk' 'C:\old\tideboard3.exe'
link 'mirror copy.lnk' 'C:\old\MIRRORPANE.EXE'
link 'Tideboard.lnk' 'C:\old\tideboard3.exe'
link 'Notes.lnk' 'C:\old\notes.exe'
[ "$(target 'Old client.lnk')" = 'C:\old\tideboard3.exe' ] || fail "probe reads no target"
run
has_log "HandleTimer 检查版本 2"
remaining=$(cd "$desktop" && ls -d ./*.lnk | sort | tr '\n' ' ')
[ "$remaining" = "./Notes.lnk ./Tideboard.lnk ./folder.lnk " ] || fail "shortcuts left: $remaining"
[ "$(target 'Tideboard.lnk')" = 'C:\Apps\tideboard3\tideboard3.exe' ] || fail "Tideboard.lnk -> $(target 'Tideboard.lnk')"
[ "$(target 'Notes.lnk')" = 'C:\old\notes.exe' ] || fail "Notes.lnk changed"
has_log 'ShellLink::CreateLink PathFileExistsA FALSE(C:\Apps\tideboard3\Mirrorpane.exe)'
rm -rf "$WINEPREFIX/drive_c/old" "$desktop/folder.lnk"

# The log is GBK: "版本6" is b0e6 b1be 36.
printf '\xb0\xe6\xb1\xbe6' > "$work/gbk"
LC_ALL=C grep -qF -f "$work/gbk" "$logdir"/*.log || fail "log is not GBK"

begin registry 3.18.2.14000
"$wine_run" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\tideboard3' /f >/dev/null 2>&1
run
reg_query 'HKCU\Software\Microsoft\Windows\CurrentVersion\App Paths\tideboard3.exe' "$work/reg1"
grep -qF 'C:\Apps\tideboard3\tideboard3.exe' "$work/reg1" || fail "App Paths: $(cat "$work/reg1")"
reg_query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\tideboard3' "$work/reg2"
grep -q 'DisplayVersion.*REG_EXPAND_SZ.*3.19.3.15504' "$work/reg2" || fail "uninstall: $(cat "$work/reg2")"
grep -q 'DisplayName.*tideboard3 3.19.3.15504' "$work/reg2" || fail "uninstall: $(cat "$work/reg2")"
# With Mirrorpane.exe installed both standard shortcuts point into the installation.
[ "$(target 'Tideboard行为管控.lnk')" = 'C:\Apps\tideboard3\Mirrorpane.exe' ] ||
    fail "Tideboard行为管控.lnk -> $(target 'Tideboard行为管控.lnk')"
[ "$(target 'Tideboard.lnk')" = 'C:\Apps\tideboard3\tideboard3.exe' ] || fail "Tideboard.lnk"

begin locked-client 3.18.2.14000
wrun "$probe" hold 'C:\Apps\tideboard3\tideboard3.exe' 'C:\stop' > "$work/hold" &
sleep 2
run
touch "$WINEPREFIX/drive_c/stop"; wait
[ "$(log | grep -c 'ZipExtractInclude(')" = 2 ] || fail "include pass did not fail twice"
has_log "HandleTimer 更新失败"
lacks_log "Update::StartProcess"
rm -f "$WINEPREFIX/drive_c/stop"

begin trailer-mismatch 3.18.2.14000
cp "$work/package.exe" "$work/good.exe"
size=$(stat -c %s "$work/package.exe")
# One byte more in front of the trailer: the total it records no longer matches the file.
{ head -c $((size - 8)) "$work/good.exe"; printf 'x'; tail -c 8 "$work/good.exe"; } > "$work/package.exe"
run
[ "$(log | grep -cF "file_size($size) != GetModuleSize()")" = 2 ] || fail "trailer not refused twice"
has_log "HandleTimer 更新失败"
[ ! -f "$root/web/index.html" ] || fail "files were written"

begin data-size-zero 3.18.2.14000
{ cat "$ferrylift"; le32 0; le32 $(($(stat -c %s "$ferrylift") + 8)); } > "$work/package.exe"
run
[ "$(log | grep -cF "Update::CopyFileA FileWriteToEnd failed")" = 2 ] || fail "empty archive"
cp "$work/good.exe" "$work/package.exe"

# Nobody but the sequence closes the window: WM_CLOSE from another process and Alt+F4 while
# the client runs leave it waiting, and the update happens once the client is gone.
begin keyboard-close 3.18.2.14000
mkdir -p "$WINEPREFIX/drive_c/client"
cp "$probe" "$WINEPREFIX/drive_c/client/tideboard3.exe"
wrun 'C:\client\tideboard3.exe' wait 'C:\stop' > "$work/client" &
ready "$work/client" waiting
wrun "$work/package.exe" & first=$!
sleep 3
wrun "$probe" window >/dev/null || fail "no status window"
[ "$(wrun "$probe" close | tr -d '\r')" = posted ] || fail "WM_CLOSE not posted"
if [ -n "${DISPLAY:-}" ]; then
    xid=$(xdotool search --name '^安装更新$' | head -n 1)
    [ -n "$xid" ] || fail "no X window for the status window"
    xdotool windowfocus --sync "$xid" key --window "$xid" --clearmodifiers alt+F4 || true
    xdotool key alt+F4 || true
fi
sleep 2
wrun "$probe" window >/dev/null || fail "the status window was closed while the client runs"
touch "$WINEPREFIX/drive_c/stop"
wait "$first" || fail "exit code $?"
wait
has_log "HandleTimer 请关闭Tideboard程序"
has_log "HandleTimer 更新完毕"
cmp -s "$suite/tideboard3.exe" "$root/tideboard3.exe" || fail "not installed"
rm -f "$WINEPREFIX/drive_c/stop"

# The road of one update: the client runs (the window asks to close it), a second copy is
# refused, the client closes, a locked library is moved aside and the machine restarted.
begin road 3.18.2.14000
echo "old core" > "$root/lib/core.dll"
mkdir -p "$WINEPREFIX/drive_c/client"
cp "$probe" "$WINEPREFIX/drive_c/client/tideboard3.exe"
wrun 'C:\client\tideboard3.exe' wait 'C:\stop' > "$work/client" &
wrun "$probe" hold 'C:\Apps\tideboard3\lib\core.dll' 'C:\stop-hold' > "$work/hold" &
ready "$work/client" waiting
ready "$work/hold" holding
wrun "$work/package.exe" & first=$!
sleep 3
{ wrun "$probe" window | tr -d '\r' > "$work/window"; } || fail "no status window: $(cat "$work/window")"
grep -q '^title=安装更新 size=300x80 topmost=1 sysmenu=0$' "$work/window" || fail "window: $(cat "$work/window")"
wrun "$work/package.exe" || fail "second copy: exit code $?"
[ "$(grep -l "WinMain canrun false return" "$logdir"/*.log | wc -l)" = 1 ] || fail "second copy not refused"
touch "$WINEPREFIX/drive_c/stop"
# The restart ends every process of this prefix, the waiting wine included.
wait "$first" || true
sleep 1
has_log "GetProcessIdFromName(\"tideboard3.exe\") == "
has_log "HandleTimer 请关闭Tideboard程序"
has_log "HandleTimer 检查版本 1"
has_log "HandleTimer 更新完毕"
has_log 'ZipExtract Failed rename(C:\Apps\tideboard3\lib\core.dll, C:\Apps\tideboard3\lib\core.dll{'
lacks_log "Update::StartProcess"
lacks_log "= ExitWindowsEx("
lacks_log "= GetLastError();"
[ "$(cat "$root/lib/core.dll")" = "new core library" ] || fail "core.dll not rewritten"
ls "$root"/lib/ | grep -qE '^core\.dll\{[0-9A-F-]{36}\}$' || fail "nothing moved aside"
echo "PASS [wine: versions, shortcuts, registry, GBK log, locked client, trailer, empty archive, keyboard close, road]"
