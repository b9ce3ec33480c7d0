# The Windows build compiles minizip from Debian's zlib source package (the same code as the
# native libminizip). Fetched once into build/sources/ with apt-get source; the deb-src entries
# it needs are derived from the machine's own deb entries, so no host is named here.
# build/sources/minizip links to the fetched contrib/minizip: the build finds it by that name.
set -euo pipefail
case ${1:-} in
    "") ;;
    -h|--help) echo "usage: scripts/setup.d/20-zlib-source.sh (fetches Debian's zlib source into build/sources; adds deb-src entries under /etc/apt/sources.list.d when apt has none)"; exit 0 ;;
    *) echo "20-zlib-source: unknown argument $1" >&2
       echo "usage: scripts/setup.d/20-zlib-source.sh" >&2; exit 2 ;;
esac
root=$(cd "$(dirname "$0")/../.." && pwd)
sources=$root/build/sources
link_minizip() {
    local found
    found=$(compgen -G "$sources/zlib-*/contrib/minizip/unzip.c" | sort | tail -n 1) || return 1
    ln -sfn "$(basename "$(dirname "$(dirname "$(dirname "$found")")")")/contrib/minizip" \
        "$sources/minizip"
}
if link_minizip; then
    exit 0
fi
sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)

if [ -z "$(apt-cache showsrc zlib 2>/dev/null)" ]; then
    derived=/etc/apt/sources.list.d/tideboard-deb-src.sources
    : | "${sudo[@]}" tee "$derived" >/dev/null
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -e "$file" ] && [ "$file" != "$derived" ] || continue
        # Each deb822 stanza that offers binary packages gets a twin for sources.
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Types:([^\n]* )?deb( |\n|$)/ && !/(^|\n)Enabled: *no/ {
                 gsub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' \
            "$file" | "${sudo[@]}" tee -a "$derived" >/dev/null
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -e "$file" ] || continue
        sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file"
    done | "${sudo[@]}" tee /etc/apt/sources.list.d/tideboard-deb-src.list >/dev/null
    # A third-party repository without sources makes update complain; zlib only needs Debian's.
    "${sudo[@]}" apt-get update -qq || true
fi

mkdir -p "$sources"
cd "$sources"
# The installed zlib's version first; a mirror may lack the sources of some suites.
installed=$(dpkg-query -W -f='${Version}' zlib1g 2>/dev/null || true)
versions=$( { echo "$installed"; apt-cache showsrc zlib | sed -n 's/^Version: //p'; } | awk 'NF && !seen[$0]++')
for version in $versions; do
    apt-get source -qq "zlib=$version" >/dev/null 2>&1 && break
    rm -rf "$sources"/zlib[-_]*
done
link_minizip || {
    echo "20-zlib-source: zlib source has no contrib/minizip" >&2
    exit 1
}
