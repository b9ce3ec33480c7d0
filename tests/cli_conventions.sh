#!/usr/bin/env bash
# cli_conventions.sh <source folder> <program folder>
# Every tool and script of the tree keeps one command-line convention:
#   --help                  usage on standard output, exit 0, and nothing else done;
#   an unknown option       usage on standard error, exit 2, nothing done.
# "Nothing done" is checked, not assumed: each call runs in a scratch profile
# (HOME, XDG folders, TMPDIR) and a scratch working folder that must stay empty,
# with the tools that do real work (apt-get, cmake, wine, rsvg-convert …) replaced
# on PATH by stand-ins that record any call.
# Programs of the build that this build does not have are reported and skipped.
set -uo pipefail
case ${1:-} in --help|-h) echo "usage: cli_conventions.sh <source folder> <program folder>"; exit 0 ;; esac
if [ $# -ne 2 ] || [[ $1 == -* ]]; then
    echo "usage: cli_conventions.sh <source folder> <program folder>" >&2
    exit 2
fi
source_dir=$(cd "$1" && pwd) bin_dir=$(cd "$2" 2>/dev/null && pwd) || bin_dir=$2

# What is checked: "script <path in the source tree>", "step <set-up step run with bash>"
# or "program <name in the build>".
checked=(
    "script scripts/test"
    "script scripts/demo"
    "script scripts/fuzz"
    "script scripts/run-fuzzer"
    "script scripts/wine-run"
    "script scripts/install-deps"
    "script scripts/demo.d/editor"
    "script scripts/demo.d/installer"
    "step scripts/setup.d/10-locale.sh"
    "step scripts/setup.d/20-zlib-source.sh"
    "script tools/make-sample-suite"
    "script tools/render-images"
    "script bench/installer/run"
    "script bench/editor/run"
    "script installer/resources/make-icons.sh"
    "script tests/cli_conventions.sh"
    "script tests/deb_package.sh"
    "script tests/bench_copy_profile.sh"
    "program ferrylift-pack"
    "program make-sample-track"
    "program ferrylift-bench-copy"
    "program reelwright-bench"
    "program reelwright-render"
)

work=$(mktemp -d "${TMPDIR:-/tmp}/cli-conventions-XXXXXX")
trap 'rm -rf "$work"' EXIT
stubs=$work/stubs
mkdir -p "$stubs" "$work/runtime"
chmod 700 "$work/runtime"
for tool in apt-get apt sudo cmake ctest cpack ninja wine wine64 wineboot wineserver xvfb-run \
    rsvg-convert convert locale-gen systemctl; do
    printf '#!/bin/sh\necho "%s $*" >>"$CLI_STUB_LOG"\nexit 1\n' "$tool" >"$stubs/$tool"
    chmod +x "$stubs/$tool"
done

failures=() skipped=() passed=0

# check <label> <expected status> <stream that must hold the usage> <command...>
check() {
    local label=$1 expected=$2 stream=$3; shift 3
    local run=$work/run profile=$work/run/profile cwd=$work/run/cwd status=0 problems=()
    rm -rf "$run" && mkdir -p "$profile/home" "$profile/config" "$profile/data" "$profile/tmp" "$cwd"
    : >"$work/stub.log"
    # No display either: usage needs none, and a window is not "nothing else".
    # The group's own stderr is dropped: the shell's "Aborted" notices land there.
    { (cd "$cwd" && exec env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/runtime" \
        HOME="$profile/home" XDG_CONFIG_HOME="$profile/config" \
        XDG_DATA_HOME="$profile/data" XDG_DESKTOP_DIR="$profile/home/Desktop" \
        TMPDIR="$profile/tmp" CLI_STUB_LOG="$work/stub.log" PATH="$stubs:$PATH" \
        timeout -k 5 60 "$@" </dev/null >"$work/out" 2>"$work/err") || status=$?; } 2>/dev/null
    [ "$status" -eq "$expected" ] || problems+=("exit status $status, not $expected")
    grep -qi usage "$work/$stream" || problems+=("no usage on standard ${stream/err/error}")
    if [ "$stream" = out ] && [ -s "$work/err" ]; then
        problems+=("standard error not empty: $(head -c 200 "$work/err")")
    fi
    [ ! -s "$work/stub.log" ] || problems+=("ran $(paste -sd';' "$work/stub.log")")
    written=$(cd "$run" && find profile cwd -mindepth 1 \( -type f -o -type l \) | head -n 3)
    [ -z "$written" ] || problems+=("wrote $written")
    extra=$(cd "$profile" && find . -mindepth 1 -maxdepth 1 ! -name home ! -name config ! -name data ! -name tmp)
    [ -z "$extra" ] || problems+=("made $extra in the profile")
    if [ ${#problems[@]} -eq 0 ]; then
        passed=$((passed + 1))
    else
        local joined
        joined=$(printf '%s; ' "${problems[@]}")
        failures+=("$label: ${joined%; }")
    fi
}

for entry in "${checked[@]}"; do
    read -r kind name <<<"$entry"
    if [ "$kind" = script ]; then
        command=("$source_dir/$name")
        [ -x "${command[0]}" ] || { failures+=("$name: missing or not executable"); continue; }
    elif [ "$kind" = step ]; then
        command=(bash "$source_dir/$name")
        [ -f "${command[1]}" ] || { failures+=("$name: missing"); continue; }
    else
        command=("$bin_dir/$name")
        [ -x "${command[0]}" ] || { skipped+=("$name"); continue; }
    fi
    started=$(date +%s%N)
    check "$name --help" 0 out "${command[@]}" --help
    check "$name --no-such-option" 2 err "${command[@]}" --no-such-option
    [ -z "${CLI_TIMES:-}" ] || echo "$name: $((($(date +%s%N) - started) / 1000000)) ms"
done

for name in "${skipped[@]}"; do echo "skipped: $name is not built here"; done
for failure in "${failures[@]}"; do echo "FAIL: $failure"; done
echo "${passed} passed, ${#failures[@]} failed"
[ ${#failures[@]} -eq 0 ]
