#!/usr/bin/env bash
# deb_package.sh <build folder> <source folder> <qmake>
# Makes the Reelwright Debian package of a build with CPack and checks it as a
# clean machine would meet it:
#   - every Qt Quick module that the shipped QML imports is in Depends, by the
#     Debian package that owns the module's qmldir on this machine;
#   - the files unpacked into a scratch root (dpkg -x) are where desktops look,
#     and the menu entry and AppStream metadata pass their validators;
#   - the unpacked program creates its window when the engine sees only the
#     QML modules of Depends and what those depend on (a qt.conf beside it
#     narrows the import path), instead of exiting for a missing module.
set -uo pipefail
case ${1:-} in --help|-h) echo "usage: deb_package.sh <build folder> <source folder> <qmake>"; exit 0 ;; esac
if [ $# -ne 3 ] || [[ $1 == -* ]]; then
    echo "usage: deb_package.sh <build folder> <source folder> <qmake>" >&2
    exit 2
fi
build=$1 source=$2 qmake=$3
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

work=$(mktemp -d "${TMPDIR:-/tmp}/deb-package-XXXXXX")
trap 'rm -rf "$work"' EXIT

if ! (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") \
        >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack -G DEB" >&2
    exit 1
fi
deb=$(ls "$work"/out/reelwright_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: cpack made no reelwright_*.deb" >&2; exit 1; }
echo "package: $(basename "$deb")"

# Depends, every alternative's name.
mapfile -t depends < <(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' |
    sed -E 's/\(.*\)//; s/:any//; s/[[:space:]]//g' | grep -v '^$' | sort -u)
depends_has() { printf '%s\n' "${depends[@]}" | grep -qx "$1"; }

qml_dir=$("$qmake" -query QT_INSTALL_QML)
plugin_dir=$("$qmake" -query QT_INSTALL_PLUGINS)

# qmldir_of <Module.Name> <major> <minor>: the module's qmldir, searched in the
# engine's order (most specific version first, on the last and then inner parts).
qmldir_of() {
    local module=$1 major=$2 minor=$3 path=${1//.//} parts candidate
    IFS=. read -r -a parts <<<"$module"
    local versions=(".$major.$minor" ".$major")
    for version in "${versions[@]}"; do
        candidate=$qml_dir/$path$version/qmldir
        [ -f "$candidate" ] && { echo "$candidate"; return 0; }
        local i
        for ((i = ${#parts[@]} - 2; i >= 0; i--)); do
            local copy=("${parts[@]}")
            copy[i]=${copy[i]}$version
            candidate=$qml_dir/$(IFS=/; echo "${copy[*]}")/qmldir
            [ -f "$candidate" ] && { echo "$candidate"; return 0; }
        done
    done
    candidate=$qml_dir/$path/qmldir
    [ -f "$candidate" ] && { echo "$candidate"; return 0; }
    return 1
}

# The shipped QML's module imports (QML "import X 2.12", JavaScript ".import X 2.12 as Y").
mapfile -t imports < <(find "$source/editor/qml" \( -name "*.qml" -o -name "*.js" \) -print0 |
    xargs -0 grep -hE '^[[:space:]]*\.?import[[:space:]]+[A-Za-z]' |
    sed -E 's/^[[:space:]]*\.?import[[:space:]]+([A-Za-z][A-Za-z0-9_.]*)[[:space:]]+([0-9]+)\.?([0-9]*).*/\1 \2 \3/' |
    sort -u)
[ ${#imports[@]} -gt 0 ] || fail "no QML imports found under $source/editor/qml"
for entry in "${imports[@]}"; do
    read -r module major minor <<<"$entry"
    if ! qmldir=$(qmldir_of "$module" "$major" "${minor:-0}"); then
        fail "$module $major: no qmldir under $qml_dir (its package is not installed here)"
        continue
    fi
    owner=$(dpkg -S "$qmldir" 2>/dev/null | head -n 1 | cut -d: -f1)
    if [ -z "$owner" ]; then
        fail "$module $major: $qmldir belongs to no Debian package"
    elif depends_has "$owner"; then
        echo "ok: $module $major -> $owner"
    else
        fail "$module $major is imported, but $owner (owner of $qmldir) is not in Depends"
    fi
done

# The files, unpacked as dpkg would.
root=$work/root
dpkg -x "$deb" "$root" || { echo "FAIL: dpkg -x" >&2; exit 1; }
id=org.tideboard.Reelwright
[ -x "$root/usr/bin/reelwright" ] || fail "usr/bin/reelwright missing or not executable"
for path in share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/man/man1/reelwright.1.gz \
    share/doc/reelwright/copyright share/doc/reelwright/changelog.gz; do
    [ -s "$root/usr/$path" ] || fail "usr/$path missing"
done
for size in 16 22 24 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/$id.png
    # PNG: width and height are the big-endian words at bytes 16 and 20.
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" 2>/dev/null |
        awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')
    [ "${width:-0}x${height:-0}" = "${size}x$size" ] ||
        fail "icon ${size}x$size: ${width:-missing}x${height:-missing}"
done
unexpected=$(cd "$root" && find . -path ./usr/bin -prune -o -type f -print | grep -vE \
    '^\./usr/share/(applications|metainfo|icons/hicolor|man/man1|doc/reelwright)/' || true)
[ -z "$unexpected" ] || fail "files the package should not hold: $unexpected"
programs=$(ls "$root/usr/bin")
[ "$programs" = reelwright ] || fail "usr/bin holds more than reelwright: $programs"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=reelwright %f' "$root/usr/share/applications/$id.desktop" || fail "Exec is not 'reelwright %f'"
appstreamcli validate --no-net --no-color "$root/usr/share/metainfo/$id.metainfo.xml" >"$work/as.log" 2>&1 ||
    { cat "$work/as.log" >&2; fail "appstreamcli validate"; }

# The QML modules a machine with only Depends installed has: those of Depends
# and of everything Depends pulls in, as installed here.
declare -A closure=() depends_of=()
while IFS=$'\t' read -r package more; do
    depends_of[$package]=$more
done < <(dpkg-query -W -f='${db:Status-Status}\t${Package}\t${Depends}, ${Pre-Depends}\n' |
    awk -F'\t' '$1 == "installed" { print $2 "\t" $3 }')
queue=("${depends[@]}")
while [ ${#queue[@]} -gt 0 ]; do
    package=${queue[0]}; queue=("${queue[@]:1}")
    [ -z "${closure[$package]:-}" ] || continue
    closure[$package]=1
    more=${depends_of[$package]:-}
    while read -r name; do
        [ -n "$name" ] && [ -z "${closure[$name]:-}" ] && queue+=("$name")
    done < <(tr ',|' '\n\n' <<<"$more" | sed -E 's/\(.*\)//; s/:any//; s/[[:space:]]//g')
done
visible=$work/qml
mkdir -p "$visible"
# Owners of every qmldir in one dpkg call ("package[:arch]: path").
declare -A owner_of=()
mapfile -t all_qmldirs < <(find "$qml_dir" -name qmldir)
while IFS= read -r line; do
    owner_of[${line#*: }]=${line%%[:,]*}
done < <(dpkg -S "${all_qmldirs[@]}" 2>/dev/null)
while read -r qmldir; do
    rel=${qmldir#"$qml_dir"/}
    module=$(dirname "$rel")
    # A module inside one already linked comes with it.
    covered=$module
    while [ "$covered" != . ] && [ ! -L "$visible/$covered" ]; do covered=$(dirname "$covered"); done
    [ "$covered" = . ] || continue
    owner=${owner_of[$qmldir]:-}
    [ -n "$owner" ] && [ -n "${closure[$owner]:-}" ] || continue
    mkdir -p "$visible/$(dirname "$module")"
    ln -s "$qml_dir/$module" "$visible/$module"
done < <(printf '%s\n' "${all_qmldirs[@]}" | awk '{ print length($0), $0 }' | sort -n | cut -d' ' -f2-)
[ -f "$qml_dir/builtins.qmltypes" ] && ln -s "$qml_dir/builtins.qmltypes" "$visible/"
printf '[Paths]\nPrefix=/usr\nPlugins=%s\nQml2Imports=%s\n' "$plugin_dir" "$visible" \
    >"$root/usr/bin/qt.conf"

profile=$work/profile
mkdir -p "$profile/data" "$profile/config" "$profile/cache" "$profile/runtime"
chmod 700 "$profile/runtime"
status=0
env -u QML2_IMPORT_PATH -u QML_IMPORT_PATH -u QT_PLUGIN_PATH \
    XDG_DATA_HOME="$profile/data" XDG_CONFIG_HOME="$profile/config" \
    XDG_CACHE_HOME="$profile/cache" XDG_RUNTIME_DIR="$profile/runtime" \
    QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software \
    timeout 6 "$root/usr/bin/reelwright" >"$work/run.log" 2>&1 || status=$?
# Still running when the time was up: the window was created.
if [ "$status" -eq 124 ]; then
    echo "ok: the unpacked program runs with the QML modules of its dependencies only"
else
    sed 's/^/    /' "$work/run.log" >&2
    fail "the unpacked program ended with status $status instead of running"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
