#!/usr/bin/env bash
# Regenerates the committed icons from ferrylift-icon.svg (needs librsvg2-bin and imagemagick):
# ferrylift.ico (icon group 107: 16, 32, 48 px) and small.ico (icon group 108: 16 px).
set -euo pipefail
usage="usage: make-icons.sh   (rewrites ferrylift.ico and small.ico beside this script)"
case ${1:-} in
    --help|-h) echo "$usage"; exit 0 ;;
    "") ;;
    *) echo "make-icons.sh: unknown argument $1" >&2; echo "$usage" >&2; exit 2 ;;
esac
command -v rsvg-convert >/dev/null && [ -x /usr/bin/convert ] ||
    { echo "make-icons.sh: needs rsvg-convert (librsvg2-bin) and convert (imagemagick)" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 32 48; do
    rsvg-convert -w "$size" -h "$size" "$here/ferrylift-icon.svg" -o "$work/$size.png"
done
/usr/bin/convert "$work/16.png" "$work/32.png" "$work/48.png" "$here/ferrylift.ico"
/usr/bin/convert "$work/16.png" "$here/small.ico"
