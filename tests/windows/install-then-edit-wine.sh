#!/usr/bin/env bash
# install-then-edit-wine.sh <ferrylift.exe> <ferrylift-pack> <client fixtures> <build folder>
# Both programs as the suite meets them, under Wine: a suite holding Reelwright's installed
# folder is packed with ferrylift-pack, the package installs it over an older client, and the
# installed reelwright.exe then opens a lesson package (editor/tests/windows/reelwright-wine.sh).
set -euo pipefail
ferrylift=$1 packer=$2 fixtures=$3 build=$4
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
wine_run=$source_dir/scripts/wine-run
[ -x "$packer" ] || { echo "install-then-edit: no packer at $packer (build the native preset first)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/install-then-edit-XXXXXX")
export WINEPREFIX=$work/prefix HOME=$work/home
mkdir -p "$HOME/Desktop"
cleanup() { wineserver -k 2>/dev/null || true; [ -n "${KEEP:-}" ] || rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "install-then-edit: FAIL: $*" >&2; exit 1; }

# Reelwright as cmake --install lays it out, inside the suite.
suite=$work/suite
cmake --install "$build" --component reelwright --prefix "$suite" >/dev/null
cp "$fixtures/tideboard3-3.19.3.15504.exe" "$suite/tideboard3.exe"
"$packer" --installer "$ferrylift" --suite "$suite" --lowest 3.18.0.13170 \
    --output "$work/update.exe" >"$work/pack.txt" || fail "ferrylift-pack: $(cat "$work/pack.txt")"

"$wine_run" cmd /c exit 0 >/dev/null 2>&1 || true
user=${USER:-$(id -un)}
profile=$WINEPREFIX/drive_c/users/$user
[ -d "$profile" ] || fail "no profile in the private prefix"
root=$WINEPREFIX/drive_c/Apps/tideboard3
mkdir -p "$root" "$profile/AppData/Local/tideboard3"
cp "$fixtures/tideboard3-3.18.2.14000.exe" "$root/tideboard3.exe"
printf 'C:\\Apps\\tideboard3,3.18.0.13170' >"$profile/AppData/Local/tideboard3/tideboard_update_config.txt"

"$wine_run" "$work/update.exe" || fail "the update ended with exit code $?"
logdir=$profile/AppData/Roaming/Corvane/Log/tideboardferrylift
iconv -f GBK -t UTF-8 "$logdir"/*.log | grep -F "HandleTimer 更新完毕" >/dev/null ||
    fail "the update did not complete: $(iconv -f GBK -t UTF-8 "$logdir"/*.log | tail -n 5)"
cmp -s "$suite/tideboard3.exe" "$root/tideboard3.exe" || fail "the client was not updated"
(cd "$suite" && find reelwright -type f) | while read -r file; do
    cmp -s "$suite/$file" "$root/$file" || fail "$file was not installed whole"
done
wineserver -w 2>/dev/null || true

# The installed editor opens a lesson at a Chinese path with a blank, shows it and saves.
bash "$source_dir/editor/tests/windows/reelwright-wine.sh" "$root/reelwright" "$work/edit"
echo "install-then-edit: passed"
