#!/usr/bin/env bash
# bench_copy_profile.sh <ferrylift-bench-copy>
# The installer benchmark's driver installs a package, writes its log and
# registry values, all in the profile named by --profile: the user's own
# profile (HOME, XDG folders, TMPDIR) stays as it was.
set -uo pipefail
case ${1:-} in --help|-h) echo "usage: bench_copy_profile.sh <ferrylift-bench-copy>"; exit 0 ;; esac
if [ $# -ne 1 ] || [[ $1 == -* ]]; then
    echo "usage: bench_copy_profile.sh <ferrylift-bench-copy>" >&2
    exit 2
fi
driver=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-copy-profile-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# A package as the packager lays it out: program, ZIP archive, then the archive's
# size and the total size as little-endian 32-bit words.
mkdir -p "$work/suite/web"
echo client >"$work/suite/tideboard3.exe"
echo page >"$work/suite/web/index.html"
(cd "$work/suite" && zip -q -r "$work/archive.zip" .) || { echo "FAIL: zip" >&2; exit 1; }
cp "$driver" "$work/package"
cat "$work/archive.zip" >>"$work/package"
le32() { local i; for i in 0 8 16 24; do printf "\\x$(printf %02x $((($1 >> i) & 255)))"; done; }
archive_size=$(stat -c %s "$work/archive.zip")
total=$(($(stat -c %s "$work/package") + 8))
{ le32 "$archive_size"; le32 "$total"; } >>"$work/package"

# The user's own profile, and the private one the benchmark hands over.
own=$work/own
mkdir -p "$own/home" "$own/config" "$own/data" "$own/tmp"
private=$work/private
mkdir -p "$private/local/tideboard3"
printf '%s,benchmark' "$work/install" >"$private/local/tideboard3/tideboard_update_config.txt"

status=0
HOME=$own/home XDG_CONFIG_HOME=$own/config XDG_DATA_HOME=$own/data TMPDIR=$own/tmp \
    "$driver" --profile "$private" "$work/package" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 0 ] || { cat "$work/out" "$work/err" >&2; fail "exit status $status"; }
grep -qx 'copy_result 1' "$work/out" || fail "no successful copy: $(paste -sd' ' "$work/out")"
[ "$(cat "$work/install/web/index.html" 2>/dev/null)" = page ] || fail "the suite was not installed"
log=$(sed -n 's/^log //p' "$work/out")
case $log in
    "$private"/roaming/*) [ -s "$log" ] || fail "log $log is empty" ;;
    *) fail "log outside the private profile: $log" ;;
esac
[ -n "$(find "$private/roaming/registry" -type f 2>/dev/null)" ] || fail "no registry values in the private profile"
touched=$(find "$own" -mindepth 2 | head -n 5)
[ -z "$touched" ] || fail "wrote into the user's own profile: $touched"

# Without a profile it refuses, before anything is written.
status=0
HOME=$own/home XDG_CONFIG_HOME=$own/config XDG_DATA_HOME=$own/data TMPDIR=$own/tmp \
    "$driver" "$work/package" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "without --profile: exit status $status, not 2"
touched=$(find "$own" -mindepth 2 | head -n 5)
[ -z "$touched" ] || fail "without --profile it wrote into the user's own profile: $touched"

[ "$failures" -eq 0 ] || exit 1
echo "the driver wrote only into the given profile"
