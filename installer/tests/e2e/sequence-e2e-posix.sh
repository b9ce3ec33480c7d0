#!/usr/bin/env bash
# End-to-end scenarios of the real installer program on the POSIX backend. Each run gets a
# private profile (HOME and the XDG folders under a scratch folder), a recording systemctl and
# xdg-open first on PATH, and a package made with ferrylift-pack.
#   sequence-e2e-posix.sh <scenario> <ferrylift> <ferrylift-pack> <client fixture folder>
# The fixture folder holds client programs "tideboard3-<version>.exe" with that ProductVersion
# and "tideboard3-none.exe" without a version resource.
set -euo pipefail
scenario=$1 ferrylift=$2 pack=$3 fixtures=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/sequence-e2e-$scenario-XXXXXX")
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL [$scenario]: $*" >&2; show; exit 1; }
show() {
    echo "--- status lines" >&2; cat "$work/status" >&2 2>/dev/null || true
    echo "--- log" >&2; cat "$work"/config/Corvane/Log/tideboardferrylift/*.log >&2 2>/dev/null || true
}

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_DESKTOP_DIR=$work/home/Desktop TMPDIR=$work/tmp
unset XDG_RUNTIME_DIR
mkdir -p "$XDG_DESKTOP_DIR" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/tideboard3" "$TMPDIR" "$work/bin"
for tool in systemctl xdg-open; do
    printf '#!/bin/sh\necho "$*" >> "%s/%s.calls"\n' "$work" "$tool" > "$work/bin/$tool"
    chmod +x "$work/bin/$tool"
done
export PATH=$work/bin:$PATH

root=$work/Program\ Files/tideboard3
mkdir -p "$root/lib"
printf '%s,%s' "$root" "3.18.0.13170,extra" > "$XDG_DATA_HOME/tideboard3/tideboard_update_config.txt"

# The carried suite: a client, a second program, a nested library and a page.
suite=$work/suite
mkdir -p "$suite/lib/plugins" "$suite/web"
cp "$fixtures/tideboard3-3.19.3.15504.exe" "$suite/tideboard3.exe"
echo "mirror program" > "$suite/Mirrorpane.exe"
echo "new core library" > "$suite/lib/core.dll"
echo "new plugin" > "$suite/lib/plugins/ink.dll"
echo "<html>lesson</html>" > "$suite/web/index.html"

# Not executable: the shell start then hands it to the recording xdg-open instead of running it.
install_client() { cp "$fixtures/tideboard3-$1.exe" "$root/tideboard3.exe"; chmod -x "$root/tideboard3.exe"; }
make_package() { "$pack" --installer "$ferrylift" --posix --suite "$suite" --lowest 3.18.0.13170 --output "$work/package" >/dev/null; }
run_package() { "$work/package" 2> "$work/status"; }
log() { cat "$XDG_CONFIG_HOME"/Corvane/Log/tideboardferrylift/*.log; }
# grep reads to the end: with -q it would stop early, and pipefail would count the writer's
# broken pipe as a miss.
has_log() { log | grep -F -- "$1" >/dev/null || fail "log lacks: $1"; }
lacks_log() { ! log | grep -F -- "$1" >/dev/null || fail "log has: $1"; }
# Where no client is meant to run, a waiting request caused by some other process of that
# name on the machine is left out of the comparison.
status_is() {
    local expected actual
    expected=$(printf '%s\n' "[安装更新]" "$@")
    actual=$(cat "$work/status")
    case " $* " in
        *" 请关闭Tideboard程序 "*) ;;
        *) actual=$(grep -vx "请关闭Tideboard程序" <<<"$actual" || true) ;;
    esac
    [ "$actual" = "$expected" ] || fail "status lines differ; expected: $*"
}
le32() {  # four little-endian bytes
    printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"
}
calls() { cat "$work/$1.calls" 2>/dev/null || true; }
# A process holding a shared flock on a file: writers that share nothing get a sharing
# violation, as with a file in use on Windows.
hold() { ( exec 9<"$1"; flock -s 9; exec sleep 60 ) & pids+=($!); sleep 0.3; }

case $scenario in
road)
    # The client runs, the user closes it, a library is in use: installed, moved aside,
    # restart requested.
    install_client 3.18.2.14000
    echo "old core" > "$root/lib/core.dll"
    cp /bin/sleep "$work/tideboard3.exe"
    "$work/tideboard3.exe" 60 & client=$!; pids+=($client)
    hold "$root/lib/core.dll"
    make_package
    ( sleep 1.6; kill "$client" ) &
    start=$(date +%s%N)
    run_package || fail "exit code $?"
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    status_is "请关闭Tideboard程序" "开始更新" "正在复制文件" "更新完毕"
    has_log "[log begin(PID"
    has_log "版本6"
    has_log "GetProcessIdFromName(\"tideboard3.exe\") == $client"
    has_log "HandleTimer 请关闭Tideboard程序"
    has_log "HandleTimer 检查版本 1"
    has_log "HandleTimer 更新完毕"
    has_log "ZipExtract Failed rename($root/lib/core.dll, $root/lib/core.dll{"
    has_log "[log end]"
    lacks_log "Update::StartProcess"
    [ "$(calls systemctl)" = reboot ] || fail "systemctl calls: $(calls systemctl)"
    [ -z "$(calls xdg-open)" ] || fail "a program was opened"
    [ "$(cat "$root/lib/core.dll")" = "new core library" ] || fail "core.dll not rewritten"
    moved=("$root"/lib/core.dll\{*\})
    [ "${#moved[@]}" = 1 ] && [ "$(cat "${moved[0]}")" = "old core" ] || fail "moved-aside file"
    [[ "${moved[0]}" =~ core\.dll\{[0-9A-F-]{36}\}$ ]] || fail "GUID suffix: ${moved[0]}"
    cmp -s "$suite/tideboard3.exe" "$root/tideboard3.exe" || fail "client not installed"
    [ -f "$root/web/index.html" ] && [ -f "$root/lib/plugins/ink.dll" ] || fail "tree"
    [ -L "$XDG_DESKTOP_DIR/Tideboard.lnk" ] && [ -L "$XDG_DESKTOP_DIR/Tideboard行为管控.lnk" ] ||
        fail "shortcuts"
    [ "$(readlink "$XDG_DESKTOP_DIR/Tideboard.lnk")" = "$root/tideboard3.exe" ] || fail "target"
    # Waiting ticks, 500 + 1000 + 3000 ms of pauses.
    [ "$elapsed" -ge 6000 ] || fail "finished after $elapsed ms"
    ;;
version-*)
    # Version outcomes: 3 starts the client, 1 installs and starts it, 2 and 0 install nothing.
    installed=${scenario#version-}
    install_client "$installed"
    make_package
    run_package || fail "exit code $?"
    case $installed in
        3.19.3.15504) expected=3 ;;
        3.19.3.15503 | 3.18.0.13170) expected=1 ;;
        3.18.0.13169) expected=2 ;;
        none) expected=0 ;;
    esac
    has_log "HandleTimer 检查版本 $expected"
    [ -z "$(calls systemctl)" ] || fail "restart requested"
    case $expected in
        3) status_is "开始更新" "当前程序已是最新版本"
           has_log "Update::StartProcess ShellExecute($root/tideboard3.exe)"
           [ ! -f "$root/web/index.html" ] || fail "installed" ;;
        1) status_is "开始更新" "正在复制文件" "更新完毕"
           has_log "Update::StartProcess ShellExecute($root/tideboard3.exe)"
           cmp -s "$suite/tideboard3.exe" "$root/tideboard3.exe" || fail "client not installed" ;;
        2) status_is "开始更新" "更新包不兼容当前软件，请下载最新的安装包"
           lacks_log "Update::StartProcess"
           [ ! -f "$root/web/index.html" ] || fail "installed" ;;
        0) status_is "开始更新"
           lacks_log "Update::StartProcess"
           [ ! -f "$root/web/index.html" ] || fail "installed" ;;
    esac
    # Shortcuts are refreshed whatever the outcome.
    [ -L "$XDG_DESKTOP_DIR/Tideboard.lnk" ] || fail "no shortcut"
    ;;
second-copy)
    # The first copy waits for the running client; a second one finds the lock taken.
    install_client 3.19.3.15504
    cp /bin/sleep "$work/tideboard3.exe"
    "$work/tideboard3.exe" 60 & client=$!; pids+=($client)
    make_package
    "$work/package" 2> "$work/first-status" & first=$!; pids+=($first)
    sleep 1.2
    run_package || fail "second copy: exit code $?"
    [ -z "$(cat "$work/status")" ] || fail "second copy showed a window"
    [ "$(grep -l "canrun false return" "$XDG_CONFIG_HOME"/Corvane/Log/tideboardferrylift/*.log | wc -l)" = 1 ] ||
        fail "no canrun line"
    grep -q "WinMain canrun false return" "$XDG_CONFIG_HOME"/Corvane/Log/tideboardferrylift/*.log ||
        fail "canrun line lacks its tag"
    kill "$client"
    wait "$first" || fail "first copy: exit code $?"
    grep -q "当前程序已是最新版本" "$work/first-status" || fail "first copy did not finish"
    # The lock went with the first copy: a third run proceeds.
    run_package || fail "third copy"
    grep -q "开始更新" "$work/status" || fail "third copy did not run"
    ;;
locked-client)
    # The old client's file is in use: the include pass fails, twice, and nothing starts.
    install_client 3.18.2.14000
    hold "$root/tideboard3.exe"
    make_package
    run_package || fail "exit code $?"
    status_is "开始更新" "正在复制文件" "复制文件失败，尝试再次复制文件" "更新失败"
    [ "$(log | grep -c 'ZipExtractInclude(')" = 2 ] || fail "include pass not failed twice"
    lacks_log "Update::StartProcess"
    [ -z "$(calls systemctl)" ] || fail "restart requested"
    [ -f "$root/web/index.html" ] || fail "other files not written"
    cmp -s "$fixtures/tideboard3-3.18.2.14000.exe" "$root/tideboard3.exe" || fail "old client replaced"
    ;;
shortcuts)
    # The obsolete name in other letter case and strays to the suite's programs from any folder
    # go, the standard name is rewritten, other targets and folders named *.lnk stay. The
    # package is incompatible and the installation has no Mirrorpane.exe: that shortcut is not
    # made, while a stray one to it is still removed.
    install_client 3.18.0.13169
    ln -s /opt/old/notes.exe "$XDG_DESKTOP_DIR/TIDEBOARD更新程序.LNK"
    ln -s /opt/old/tideboard3.exe "$XDG_DESKTOP_DIR/Old client.lnk"
    ln -s /opt/old/MIRRORPANE.EXE "$XDG_DESKTOP_DIR/mirror copy.lnk"
    ln -s /opt/old/tideboard3.exe "$XDG_DESKTOP_DIR/Tideboard.lnk"
    ln -s /opt/old/notes.exe "$XDG_DESKTOP_DIR/Notes.lnk"
    mkdir "$XDG_DESKTOP_DIR/folder.lnk"
    make_package
    run_package || fail "exit code $?"
    has_log "HandleTimer 检查版本 2"
    remaining=$(cd "$XDG_DESKTOP_DIR" && ls -d ./*.lnk ./*.LNK 2>/dev/null | sort | tr '\n' ' ' || true)
    [ "$remaining" = "./Notes.lnk ./Tideboard.lnk ./folder.lnk " ] || fail "shortcuts left: $remaining"
    [ "$(readlink "$XDG_DESKTOP_DIR/Tideboard.lnk")" = "$root/tideboard3.exe" ] || fail "Tideboard.lnk"
    [ "$(readlink "$XDG_DESKTOP_DIR/Notes.lnk")" = /opt/old/notes.exe ] || fail "Notes.lnk changed"
    has_log "ShellLink::CreateLink PathFileExistsA FALSE($root/Mirrorpane.exe)"
    ;;
registry-after-kill)
    # A run killed between the main program's rename and the registry writes: the carried
    # version is installed, the registry still names the old one and lacks the App Path. The
    # next run mends it (once), then starts the client.
    install_client 3.19.3.15504
    reg=$XDG_CONFIG_HOME/registry/HKEY_CURRENT_USER/Software/Microsoft/Windows/CurrentVersion
    mkdir -p "$reg/Uninstall/tideboard3"
    printf 'tideboard3 3.18.2.14000\0' > "$reg/Uninstall/tideboard3/DisplayName"
    printf '3.18.2.14000\0' > "$reg/Uninstall/tideboard3/DisplayVersion"
    make_package
    run_package || fail "exit code $?"
    status_is "开始更新" "当前程序已是最新版本"
    has_log "Update::MendRegistry DisplayVersion(3.18.2.14000) App Paths() differ from version 3.19.3.15504"
    [ "$(tr -d '\0' < "$reg/Uninstall/tideboard3/DisplayVersion")" = 3.19.3.15504 ] ||
        fail "DisplayVersion: $(cat "$reg/Uninstall/tideboard3/DisplayVersion")"
    [ "$(tr -d '\0' < "$reg/Uninstall/tideboard3/DisplayName")" = "tideboard3 3.19.3.15504" ] ||
        fail "DisplayName"
    [ "$(tr -d '\0' < "$reg/App Paths/tideboard3.exe/@")" = "$root/tideboard3.exe" ] || fail "App Path"
    has_log "Update::StartProcess ShellExecute($root/tideboard3.exe)"
    run_package || fail "second run: exit code $?"
    [ "$(log | grep -c 'Update::MendRegistry')" = 1 ] || fail "mended again though nothing differed"
    ;;
kill-before-registry)
    # A real kill at the worst moment: the debugger stops the run as it enters RegEdit (the main
    # program renamed into place, no registry value written) and kills it. The next run finds
    # the carried version installed and heals the registry.
    install_client 3.18.2.14000
    reg=$XDG_CONFIG_HOME/registry/HKEY_CURRENT_USER/Software/Microsoft/Windows/CurrentVersion
    mkdir -p "$reg/Uninstall/tideboard3"
    printf 'tideboard3 3.18.2.14000\0' > "$reg/Uninstall/tideboard3/DisplayName"
    printf '3.18.2.14000\0' > "$reg/Uninstall/tideboard3/DisplayVersion"
    make_package
    ASAN_OPTIONS=detect_leaks=0 gdb -q -batch -ex 'break RegEdit' -ex run -ex kill --args "$work/package" \
        > "$work/gdb" 2>&1 || true
    grep -q 'Breakpoint 1, RegEdit' "$work/gdb" || fail "not stopped at RegEdit: $(cat "$work/gdb")"
    cmp -s "$suite/tideboard3.exe" "$root/tideboard3.exe" || fail "main program not in place"
    [ "$(tr -d '\0' < "$reg/Uninstall/tideboard3/DisplayVersion")" = 3.18.2.14000 ] ||
        fail "registry written before the kill"
    [ ! -e "$reg/App Paths/tideboard3.exe/@" ] || fail "App Path written before the kill"
    rm -f "$XDG_CONFIG_HOME"/Corvane/Log/tideboardferrylift/*.log
    run_package || fail "exit code $?"
    status_is "开始更新" "当前程序已是最新版本"
    has_log "Update::MendRegistry DisplayVersion(3.18.2.14000) App Paths() differ from version 3.19.3.15504"
    [ "$(tr -d '\0' < "$reg/Uninstall/tideboard3/DisplayVersion")" = 3.19.3.15504 ] || fail "DisplayVersion"
    [ "$(tr -d '\0' < "$reg/Uninstall/tideboard3/DisplayName")" = "tideboard3 3.19.3.15504" ] ||
        fail "DisplayName"
    [ "$(tr -d '\0' < "$reg/App Paths/tideboard3.exe/@")" = "$root/tideboard3.exe" ] || fail "App Path"
    ;;
trailer-mismatch | data-size-zero)
    install_client 3.18.2.14000
    make_package
    size=$(stat -c %s "$work/package")
    if [ "$scenario" = trailer-mismatch ]; then
        # The total in the trailer no longer matches the file's size.
        wrong=$((size + 100))
        truncate -s $((size - 4)) "$work/package"
        le32 "$wrong" >> "$work/package"
        expected="file_size($wrong) != GetModuleSize()"
    else
        # Rewrite dataSize to 0 and drop the archive: reading succeeds, writing refuses.
        program=$(stat -c %s "$ferrylift")
        head -c "$program" "$work/package" > "$work/package.new"
        total=$((program + 8))
        { le32 0; le32 "$total"; } >> "$work/package.new"
        mv "$work/package.new" "$work/package"; chmod +x "$work/package"
        expected="Update::CopyFileA FileWriteToEnd failed"
    fi
    run_package || fail "exit code $?"
    status_is "开始更新" "正在复制文件" "复制文件失败，尝试再次复制文件" "更新失败"
    [ "$(log | grep -cF "$expected")" = 2 ] || fail "log lacks twice: $expected"
    [ ! -f "$root/web/index.html" ] || fail "files were written"
    ;;
*)
    echo "unknown scenario $scenario" >&2; exit 2 ;;
esac
echo "PASS [$scenario]"
