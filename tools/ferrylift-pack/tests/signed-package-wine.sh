#!/usr/bin/env bash
# Packages made by ferrylift-pack, installed by the real installer under Wine: a signed one
# (osslsigncode and --verify accept it), an unsigned one whose version resource had to grow,
# and one whose carried version follows a different suite client. Private Wine prefix and
# profile in a scratch folder, as in the installer's own Wine scenarios.
#   signed-package-wine.sh <wine-run> <ferrylift.exe> <native ferrylift-pack> <client fixtures>
set -euo pipefail
wine_run=$1 ferrylift=$2 pack=$3 fixtures=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/signed-package-wine-XXXXXX")
export WINEPREFIX=$work/prefix HOME=$work/home
mkdir -p "$HOME/Desktop"
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

scenario=setup
fail() { echo "FAIL [$scenario]: $*" >&2; show; exit 1; }
show() {
    echo "--- log (GBK, shown as UTF-8)" >&2
    iconv -f GBK -t UTF-8 "$logdir"/*.log >&2 2>/dev/null || true
}

"$wine_run" cmd /c exit >/dev/null 2>&1 || true
user=${USER:-$(id -un)}
profile=$WINEPREFIX/drive_c/users/$user
logdir=$profile/AppData/Roaming/Corvane/Log/tideboardferrylift
config=$profile/AppData/Local/tideboard3/tideboard_update_config.txt
[ -d "$profile" ] || fail "no profile in the private prefix"
mkdir -p "$(dirname "$config")"

# A throw-away code-signing certificate.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj '/CN=Ferrylift test signer' >/dev/null 2>&1
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
    -passout pass:secret >/dev/null 2>&1
printf secret > "$work/pass.txt"

suite=$work/suite
mkdir -p "$suite/lib" "$suite/web"
cp "$fixtures/tideboard3-3.19.3.15504.exe" "$suite/tideboard3.exe"
echo "new core library" > "$suite/lib/core.dll"
echo "<html>页面</html>" > "$suite/web/页面.html"

scenario=signed
"$pack" --installer "$ferrylift" --suite "$suite" --lowest 3.18.0.13170 --output "$work/signed.exe" \
    --sign "$work/cert.p12" --sign-password-file "$work/pass.txt" > "$work/pack.out" ||
    fail "packing: $(cat "$work/pack.out")"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe" > "$work/ossl.out" 2>&1 ||
    fail "osslsigncode verify: $(cat "$work/ossl.out")"
"$pack" --verify "$work/signed.exe" > "$work/verify.out" || fail "--verify refused the signed package"
grep -q '^  signed: *yes' "$work/verify.out" || fail "not reported as signed: $(cat "$work/verify.out")"
grep -q '^  program: *Windows GUI program, x86-64' "$work/verify.out" || fail "$(cat "$work/verify.out")"

begin() {
    scenario=$1
    rm -rf "$WINEPREFIX/drive_c/Apps" "$logdir"
    root=$WINEPREFIX/drive_c/Apps/tideboard3
    mkdir -p "$root/lib"
    printf 'C:\\Apps\\tideboard3,%s' "$2" > "$config"
    cp "$fixtures/tideboard3-$2.exe" "$root/tideboard3.exe"
}
log() { iconv -f GBK -t UTF-8 "$logdir"/*.log; }
has_log() { log | grep -F -- "$1" >/dev/null || fail "log lacks: $1"; }
lacks_log() { ! log | grep -F -- "$1" >/dev/null || fail "log has: $1"; }
run() { "$wine_run" "$1" || fail "exit code $?"; }
installed() { cmp -s "$suite/$1" "$root/$1" || fail "$1 not installed"; }

begin signed-install 3.18.2.14000
run "$work/signed.exe"
has_log "Update::ReadFileToData certificate_table("
has_log "HandleTimer 检查版本 1"
has_log "HandleTimer 更新完毕"
lacks_log "GetModuleSize()"
installed tideboard3.exe
installed lib/core.dll
installed web/页面.html

# Unsigned, with a lowest version written longer than the built one: the version resource
# moves into an added section, which Windows' own reader must find.
scenario=grown
"$pack" --installer "$ferrylift" --suite "$suite" --lowest 03.18.00.13170 --output "$work/grown.exe" \
    > "$work/pack.out" || fail "packing: $(cat "$work/pack.out")"
grep -q '^  signed: *no' "$work/pack.out" || fail "$(cat "$work/pack.out")"
begin grown-install 3.18.0.13170
run "$work/grown.exe"
has_log "HandleTimer 检查版本 1"
has_log "HandleTimer 更新完毕"
lacks_log "certificate_table("
installed lib/core.dll
begin grown-incompatible 3.18.0.13169
run "$work/grown.exe"
has_log "HandleTimer 检查版本 2"

# The installer was built to carry 3.19.3.15504; with a 3.19.3.15503 client in the suite the
# package carries 3.19.3.15503, so that installation is already the latest.
scenario=suite-version
cp "$fixtures/tideboard3-3.19.3.15503.exe" "$suite/tideboard3.exe"
"$pack" --installer "$ferrylift" --suite "$suite" --lowest 3.18.0.13170 --output "$work/older.exe" \
    > "$work/pack.out" || fail "packing: $(cat "$work/pack.out")"
begin suite-version-latest 3.19.3.15503
run "$work/older.exe"
has_log "HandleTimer 检查版本 3"
has_log "product_version 3.19.3.15503 fixed_file_versionn 3,18,0,13170"
begin suite-version-update 3.18.2.14000
run "$work/older.exe"
has_log "HandleTimer 检查版本 1"
installed tideboard3.exe
echo "PASS [wine: signed package verified and installed, grown version resource, carried version from the suite]"
