# The Windows tests run Wine with LC_ALL=zh_CN.UTF-8 (ANSI code page 936).
set -euo pipefail
case ${1:-} in
    "") ;;
    -h|--help) echo "usage: scripts/setup.d/10-locale.sh (adds zh_CN.UTF-8 and zh_CN.GBK to /etc/locale.gen and runs locale-gen when missing)"; exit 0 ;;
    *) echo "10-locale: unknown argument $1" >&2
       echo "usage: scripts/setup.d/10-locale.sh" >&2; exit 2 ;;
esac
# The native tests of double-byte names run under zh_CN.GBK, whose trail bytes may be "\".
sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
generate=0
for entry in 'zh_CN.UTF-8 UTF-8:zh_CN\.utf-\?8' 'zh_CN.GBK GBK:zh_CN\.gbk'; do
    line=${entry%%:*} pattern=${entry#*:}
    locale -a 2>/dev/null | grep -qi "^$pattern$" && continue
    if ! grep -q "^$line" /etc/locale.gen; then
        echo "$line" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    fi
    generate=1
done
[ "$generate" = 0 ] || "${sudo[@]}" locale-gen >/dev/null
