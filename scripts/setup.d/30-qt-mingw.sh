# Qt 5.15 and libzip for x86_64-w64-mingw32, built once per machine from Debian's own source
# packages (Debian ships no MinGW Qt). The result is a cache outside the clone, named after the
# Qt version and a hash of this recipe, so every clone shares it and a changed recipe builds
# anew. build/qt-mingw in the clone links to it: the windows preset finds Qt there.
set -euo pipefail
usage() {
    cat <<'EOF'
usage: scripts/setup.d/30-qt-mingw.sh
Builds Qt 5.15 (qtbase, qtdeclarative, qtquickcontrols2) and libzip for 64-bit Windows with
MinGW-w64 from Debian's source packages into
  ${TIDEBOARD_CACHE:-/var/cache/tideboard}/qt5-<version>-mingw64-<recipe hash>
unless that folder is complete already, and links build/qt-mingw to it. The first run takes
about an hour on two cores. Clear the cache by removing the folder.
EOF
}
case ${1:-} in
    "") ;;
    -h|--help) usage; exit 0 ;;
    *) echo "30-qt-mingw: unknown argument $1" >&2; usage >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/../.." && pwd)
recipe=$(sha256sum "$0" | cut -c1-12)
cache_root=${TIDEBOARD_CACHE:-/var/cache/tideboard}
jobs=$(nproc 2>/dev/null || echo 2)
sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)

link_prefix() {
    mkdir -p "$root/build"
    ln -sfn "$1" "$root/build/qt-mingw"
}

# The Qt version is that of Debian's qtbase source package (the same as the host's Qt).
qt_version=$(apt-cache showsrc qtbase-opensource-src 2>/dev/null |
             sed -n 's/^Version: \([0-9.]*\).*/\1/p' | sort -V | tail -n 1)
[ -n "$qt_version" ] || { echo "30-qt-mingw: apt knows no qtbase-opensource-src (deb-src entries?)" >&2; exit 1; }
prefix=$cache_root/qt5-$qt_version-mingw64-$recipe
if [ -e "$prefix/.complete" ]; then
    link_prefix "$prefix"
    exit 0
fi

"${sudo[@]}" mkdir -p "$cache_root"
"${sudo[@]}" chown "$(id -u):$(id -g)" "$cache_root"
# One build at a time per machine; a second clone waits for the first.
exec 9>"$cache_root/.qt-mingw.lock"
if ! flock -n 9; then
    echo "30-qt-mingw: another set-up is building Qt for Windows; waiting"
    flock 9
fi
if [ -e "$prefix/.complete" ]; then
    link_prefix "$prefix"
    exit 0
fi

started=$(date +%s)
say() { echo "30-qt-mingw: [$(( ($(date +%s) - started) / 60 )) min] $*"; }
# The work folder survives a failed run: finished stages are not built again.
work=$cache_root/work-$qt_version
mkdir -p "$work/src" "$work/tools" "$prefix"
logs=$work/logs
mkdir -p "$logs"
done_stage() { [ -e "$work/$1.done" ]; }
step() {  # step <name> <command...>: output to the stage's log, its tail on failure
    local name=$1; shift
    if ! "$@" >>"$logs/$name.log" 2>&1; then
        echo "30-qt-mingw: $name failed; the end of $logs/$name.log:" >&2
        tail -n 30 "$logs/$name.log" >&2
        exit 1
    fi
}

# The posix-thread compilers under the names Qt's mkspec derives from CROSS_COMPILE
# (the win32-thread ones lack std::mutex); binutils are the plain ones.
for tool in gcc g++ c++ cpp gcc-ar gcc-nm gcc-ranlib; do
    real=$(command -v "x86_64-w64-mingw32-$tool-posix" || true)
    [ -n "$real" ] || real=$(command -v "x86_64-w64-mingw32-$tool")
    ln -sfn "$real" "$work/tools/x86_64-w64-mingw32-$tool"
done
for tool in ar as ld nm objcopy objdump ranlib strip windres dlltool; do
    ln -sfn "$(command -v "x86_64-w64-mingw32-$tool")" "$work/tools/x86_64-w64-mingw32-$tool"
done
cross=$work/tools/x86_64-w64-mingw32-

if ! done_stage sources; then
    say "fetching Debian's sources of Qt $qt_version and libzip"
    rm -rf "$work/src" && mkdir -p "$work/src" && cd "$work/src"
    for package in qtbase-opensource-src qtdeclarative-opensource-src \
                   qtquickcontrols2-opensource-src libzip; do
        step sources apt-get source -qq "$package"
    done
    touch "$work/sources.done"
fi
src_of() { compgen -G "$work/src/$1-*/" | head -n 1; }
qtbase=$(src_of qtbase-opensource-src)
qtdeclarative=$(src_of qtdeclarative-opensource-src)
qtquickcontrols2=$(src_of qtquickcontrols2-opensource-src)
libzip=$(src_of libzip)

if ! done_stage libzip; then
say "libzip: build (static, zlib from libz-mingw-w64-dev)"
mkdir -p "$work/libzip" && cd "$work/libzip"
step libzip cmake -S "$libzip" -B . -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER="${cross}gcc" \
    -DCMAKE_RC_COMPILER="${cross}windres" -DCMAKE_FIND_ROOT_PATH=/usr/x86_64-w64-mingw32 \
    -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DZLIB_USE_STATIC_LIBS=ON -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF \
    -DENABLE_ZSTD=OFF -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF \
    -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=OFF -DBUILD_TOOLS=OFF \
    -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DBUILD_OSSFUZZ=OFF
step libzip ninja
step libzip ninja install
touch "$work/libzip.done"
fi

if ! done_stage qtbase; then
say "qtbase: configure"
mkdir -p "$work/qtbase" && cd "$work/qtbase"
no_sql=()
for driver in db2 ibase mysql oci odbc psql sqlite sqlite2 tds; do no_sql+=("-no-sql-$driver"); done
step qtbase "$qtbase/configure" -release -opensource -confirm-license \
    -xplatform win32-g++ -device-option "CROSS_COMPILE=$cross" -prefix "$prefix" \
    -nomake examples -nomake tests -no-feature-tabletevent -opengl desktop -no-direct2d \
    -no-dbus -no-icu -no-openssl -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-pcre \
    -qt-harfbuzz -no-feature-sql "${no_sql[@]}"
say "qtbase: build (the longest step)"
step qtbase make -j"$jobs"
step qtbase make install
touch "$work/qtbase.done"
fi

if ! done_stage qtdeclarative; then
say "qtdeclarative: build"
mkdir -p "$work/qtdeclarative" && cd "$work/qtdeclarative"
step qtdeclarative "$prefix/bin/qmake" "$qtdeclarative/qtdeclarative.pro" -- \
    -no-feature-qml-debug -no-feature-d3d12
step qtdeclarative make -j"$jobs" sub-src
step qtdeclarative make -C src install
touch "$work/qtdeclarative.done"
fi

if ! done_stage qtquickcontrols2; then
say "qtquickcontrols2: build"
mkdir -p "$work/qtquickcontrols2" && cd "$work/qtquickcontrols2"
step qtquickcontrols2 "$prefix/bin/qmake" "$qtquickcontrols2/qtquickcontrols2.pro"
step qtquickcontrols2 make -j"$jobs" sub-src
step qtquickcontrols2 make -C src install
touch "$work/qtquickcontrols2.done"
fi


echo "qt $qt_version recipe $recipe built in $(( $(date +%s) - started )) s" >"$prefix/.complete"
cd "$cache_root"
rm -rf "$work"
# Older recipes' caches are of no use to anybody now.
for old in "$cache_root"/qt5-*-mingw64-*; do
    [ "$old" = "$prefix" ] || rm -rf "$old"
done
link_prefix "$prefix"
say "done: $prefix"
