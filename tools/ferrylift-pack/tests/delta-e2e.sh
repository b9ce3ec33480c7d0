#!/usr/bin/env bash
# A delta package installed by the real installer: releases A and B of a sample suite of the
# shipped shape (B changes the client and 2 other files of 139 and adds 1). A's full package
# and then B's delta give byte for byte the tree B's full package gives; a client older than A
# refuses the delta (version check 2) and nothing changes.
#   delta-e2e.sh posix <ferrylift> <ferrylift-pack> <client fixtures> <make-sample-suite>
#   delta-e2e.sh wine <wine-run> <ferrylift.exe> <native ferrylift-pack> <client fixtures> <make-sample-suite>
set -euo pipefail
backend=$1; shift
if [ "$backend" = wine ]; then wine_run=$1; shift; fi
ferrylift=$1 pack=$2 fixtures=$3 make_suite=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/delta-e2e-$backend-XXXXXX")
cleanup() {
    [ "$backend" = wine ] && { wineserver -k 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT
scenario=setup
fail() { echo "FAIL [$backend $scenario]: $*" >&2; show; exit 1; }
show() { echo "--- log" >&2; log >&2 2>/dev/null || true; }

if [ "$backend" = wine ]; then
    export WINEPREFIX=$work/prefix HOME=$work/home
    mkdir -p "$HOME/Desktop"
    "$wine_run" cmd /c exit >/dev/null 2>&1 || true
    profile=$WINEPREFIX/drive_c/users/${USER:-$(id -un)}
    [ -d "$profile" ] || fail "no profile in the private prefix"
    logdir=$profile/AppData/Roaming/Corvane/Log/tideboardferrylift
    config=$profile/AppData/Local/tideboard3/tideboard_update_config.txt
    posix=()
    log() { iconv -f GBK -t UTF-8 "$logdir"/*.log; }
    run() { "$wine_run" "$1" >/dev/null 2>&1 || fail "exit code $?"; }
    place() { root=$WINEPREFIX/drive_c/Apps/$1; printf 'C:\\Apps\\%s,x' "$1" > "$config"; }
else
    export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
    export XDG_DESKTOP_DIR=$work/home/Desktop TMPDIR=$work/tmp
    unset XDG_RUNTIME_DIR
    mkdir -p "$XDG_DESKTOP_DIR" "$XDG_DATA_HOME" "$TMPDIR" "$work/bin"
    # The restart and the client's start are recorded, not done.
    for tool in systemctl xdg-open; do
        printf '#!/bin/sh\necho "$*" >> "%s/%s.calls"\n' "$work" "$tool" > "$work/bin/$tool"
        chmod +x "$work/bin/$tool"
    done
    export PATH=$work/bin:$PATH
    logdir=$XDG_CONFIG_HOME/Corvane/Log/tideboardferrylift
    config=$XDG_DATA_HOME/tideboard3/tideboard_update_config.txt
    posix=(--posix)
    log() { cat "$logdir"/*.log; }
    run() { "$1" 2>/dev/null || fail "exit code $?"; }
    place() { root=$work/apps/$1; printf '%s,x' "$root" > "$config"; }
fi
mkdir -p "$(dirname "$config")"
has_log() { log | grep -F -- "$1" >/dev/null || fail "log lacks: $1"; }
# A fresh installation folder holding only a client of the given version.
begin() {
    scenario=$1
    rm -rf "$logdir"
    place "$1"
    mkdir -p "$root"
    cp "$fixtures/tideboard3-$2.exe" "$root/tideboard3.exe"
    [ "$backend" = wine ] || chmod -x "$root/tideboard3.exe"
}

# Release A, and B: a new client, two files changed, one added.
"$make_suite" --client "$fixtures/tideboard3-3.18.2.14000.exe" --output "$work/A" --size-mb 4 \
    >/dev/null
cp -r "$work/A" "$work/B"
cp "$fixtures/tideboard3-3.19.3.15504.exe" "$work/B/tideboard3.exe"
echo "patched" >> "$work/B/Qt5Core.dll"
echo "/* fixed */" >> "$work/B/frame/js/board/module03.js"
echo "<p>new help page</p>" > "$work/B/web/help/page13.html"
[ "$(find "$work/A" -type f | wc -l)" = 139 ] || fail "release A is not of 139 files"

scenario=pack
"$pack" --installer "$ferrylift" "${posix[@]}" --suite "$work/A" --lowest 3.18.0.13170 \
    --output "$work/A-full.exe" >/dev/null || fail "packing A"
"$pack" --installer "$ferrylift" "${posix[@]}" --suite "$work/B" --lowest 3.18.0.13170 \
    --output "$work/B-full.exe" >/dev/null || fail "packing B"
"$pack" --installer "$ferrylift" "${posix[@]}" --suite "$work/B" --since "$work/A-full.exe" \
    --output "$work/B-delta.exe" > "$work/delta.out" || fail "packing the delta"
"$pack" --verify "$work/B-delta.exe" "${posix[@]}" > "$work/verify.out" || fail "--verify"
grep -q "delta from 3.18.2.14000: 4 files carried" "$work/verify.out" ||
    fail "verify: $(cat "$work/verify.out")"
grep -q "lowest version: *3.18.2.14000" "$work/verify.out" || fail "$(cat "$work/verify.out")"
full=$(stat -c %s "$work/B-full.exe") delta=$(stat -c %s "$work/B-delta.exe")
[ "$delta" -lt "$full" ] || fail "delta of $delta bytes, full $full"

# A's full package then B's delta, against B's full package.
begin a-then-delta 3.18.0.13170
run "$work/A-full.exe"
has_log "HandleTimer 检查版本 1"
cp "$root/tideboard3.exe" "$work/client-a"
cmp -s "$work/client-a" "$work/A/tideboard3.exe" || fail "A's client not installed"
rm -rf "$logdir"
run "$work/B-delta.exe"
has_log "HandleTimer 检查版本 1"
has_log "HandleTimer 更新完毕"
tree_delta=$root
begin b-full 3.18.0.13170
run "$work/B-full.exe"
has_log "HandleTimer 更新完毕"
diff -r "$tree_delta" "$root" > "$work/diff.out" || fail "trees differ: $(head "$work/diff.out")"
diff -r "$work/B" "$root" > "$work/diff.out" || fail "not B's suite: $(head "$work/diff.out")"

# A client older than A: the delta is refused and changes nothing.
begin older-client 3.18.0.13170
before=$(find "$root" -type f -exec md5sum {} +)
run "$work/B-delta.exe"
has_log "HandleTimer 检查版本 2"
[ "$(find "$root" -type f -exec md5sum {} +)" = "$before" ] || fail "the folder changed"

echo "PASS [$backend: A full then B delta equals B full; full $full bytes, delta $delta bytes]"
