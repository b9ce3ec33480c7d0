# The Windows tests run Wine with LC_ALL=zh_CN.UTF-8 (ANSI code page 936).
set -euo pipefail
case ${1:-} in
    "") ;;
    -h|--help) echo "usage: scripts/setup.d/10-locale.sh (adds zh_CN.UTF-8 to /etc/locale.gen and runs locale-gen when missing)"; exit 0 ;;
    *) echo "10-locale: unknown argument $1" >&2
       echo "usage: scripts/setup.d/10-locale.sh" >&2; exit 2 ;;
esac
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    if ! grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen; then
        echo 'zh_CN.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    fi
    "${sudo[@]}" locale-gen >/dev/null
fi
